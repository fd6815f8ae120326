#include "testsupport.h"

#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <vector>

QString ScriptedChooser::openFile(QWidget*, const QString& filter) {
    ++opens;
    lastFilter = filter;
    return nextOpen;
}

QString ScriptedChooser::saveFile(QWidget*, const QString& filter, int& filterIndex,
                                  const QString& proposedName, const QString& defaultSuffix) {
    ++saves;
    lastFilter = filter;
    lastFilterIndex = filterIndex;
    lastProposedName = proposedName;
    lastSuffix = defaultSuffix;
    if (!nextSave.isEmpty() && nextSaveFilterIndex > 0)
        filterIndex = nextSaveFilterIndex;
    return nextSave;
}

bool ScriptedPrinters::setup(QWidget*) {
    if (!setupConfirms)
        return false;
    current = setupChooses;
    copyCount = setupCopies;
    return true;
}

void ScriptedPrinters::print(const PrintJob& job) {
    if (!failure.isEmpty())
        throw std::runtime_error(failure.toStdString());
    copyCount = job.copies;
    jobs << job;
}

QString testData(const QString& name) {
    return QStringLiteral(PELVANOR_TEST_DATA "/") + name;
}

QString tempDir() {
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs; // removed when the test program ends
    dirs.push_back(std::make_unique<QTemporaryDir>());
    return dirs.back()->path();
}

#pragma once

#include "platform.h"

#include <QFileInfo>
#include <QStringList>

// A file chooser that passes every call to the program's current one and remembers the files it
// opened, so that a window shown only a file's name can be given back its path (the toric report
// dates the comparison's reference photo this way).
class RememberingChooser : public FileChooser {
public:
    // Follows the pointer, so that a chooser replaced later is the one used.
    explicit RememberingChooser(FileChooser* const& current) : current(current) {}

    QString openFile(QWidget* parent, const QString& filter) override {
        const QString path = current->openFile(parent, filter);
        if (!path.isEmpty())
            opened.append(path);
        return path;
    }
    QString saveFile(QWidget* parent, const QString& filter, int& filterIndex, const QString& proposedName,
                     const QString& defaultSuffix) override {
        return current->saveFile(parent, filter, filterIndex, proposedName, defaultSuffix);
    }
    void setFallbackFolder(const QString& folder) override { current->setFallbackFolder(folder); }

    // The last file opened under this name; empty when none was.
    QString pathOf(const QString& fileName) const {
        for (auto it = opened.crbegin(); it != opened.crend(); ++it)
            if (QFileInfo(*it).fileName() == fileName)
                return *it;
        return QString();
    }

private:
    FileChooser* const& current;
    QStringList opened;
};

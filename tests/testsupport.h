#pragma once

#include "app/platform.h"
#include "output/printer_backend.h"

#include <QImage>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Scripted stand-ins for the modal choosers and message boxes.
class ScriptedChooser : public FileChooser {
public:
    QString nextOpen;
    QString nextSave;
    int nextSaveFilterIndex = 0; // the filter the user picks in the save dialog; 0 leaves it
    int opens = 0;
    int saves = 0;
    QString lastFilter;
    int lastFilterIndex = 0;
    QString lastProposedName;
    QString lastSuffix;
    QString openFile(QWidget*, const QString& filter) override;
    QString saveFile(QWidget*, const QString& filter, int& filterIndex, const QString& proposedName,
                     const QString& defaultSuffix) override;
};

class RecordingSink : public MessageSink {
public:
    QStringList messages;
    QStringList errors;
    void message(QWidget*, const QString& text) override { messages << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
};

// Printers as a script gives them: names, printable areas, a setup dialog that chooses or cancels,
// and the jobs printed (or a failure to throw).
class ScriptedPrinters : public PrinterBackend {
public:
    QStringList names;
    QString defaultName;
    QString current;
    QMap<QString, PrintableArea> areas; // by name; "" is the PDF file
    int copyCount = 1;
    bool setupConfirms = false;
    QString setupChooses;
    int setupCopies = 1;
    QString failure;
    QList<PrintJob> jobs;

    QStringList printerNames() override { return names; }
    QString defaultPrinter() override { return defaultName; }
    QString currentPrinter() override { return current; }
    void setCurrentPrinter(const QString& name) override { current = name; }
    PrintableArea printableArea() override { return areas.value(current); }
    int copies() override { return copyCount; }
    bool setup(QWidget*) override;
    void print(const PrintJob& job) override;
};

// Runs act once dialog (any window when null) is the active modal window: for a dialog or message
// box that a window opens when its background work ends, not at once.
void onceModal(QWidget* dialog, std::function<void()> act);

QString testData(const QString& name);
// A fresh temporary folder for the calling test.
QString tempDir();

// A file system entry of the given kind inside dir: "fifo" (a named pipe nobody writes to), "socket"
// (a bound Unix socket) or "folder"; returns its path.
QString makeSpecialFile(const QString& dir, const QString& kind);
// A BMP header that claims width x height pixels of 24 bits but carries no pixel data.
QByteArray bmpHeaderClaiming(qint32 width, qint32 height);
// Writes bytes to dir/name and returns the path.
QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes);

// The CRC-32 that PNG chunks carry, so tests can write valid chunks with chosen contents.
quint32 pngCrc32(const char* data, int size);

// A named control of a window; a missing one ends the test at once, naming it.
template <class T> T* requireChild(const QObject* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("control %s missing", name);
    return w;
}

// DICOM files made at test time from the project's own photos with DCMTK's and GDCM's tools.
// Runs a tool; empty when it exits with 0, else what it said. Its output (stdout and stderr) goes
// to output when given.
QString runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);
// The eye photo as a 24-bit BMP in dir, for img2dcm.
QString eyeBmp(const QString& dir);
// A DICOM file whose data set nests sequences `depth` deep.
QByteArray nestedSequences(int depth);

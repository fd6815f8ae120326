#pragma once

#include <QString>

class QWidget;

// Seams to the modal choosers and message boxes, so tests drive handlers without a blocking dialog.

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen path, or an empty string when the user cancels. filter uses Qt's ";;" form.
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    // proposedName is the file name shown first. A name typed without extension gets that of the file
    // type chosen when it names one, else defaultSuffix.
    // filterIndex (from 1) is the filter shown first and, when a name is chosen, the one the user
    // left selected.
    virtual QString saveFile(QWidget* parent, const QString& filter, int& filterIndex,
                             const QString& proposedName, const QString& defaultSuffix) = 0;
    // The folder the dialogs start in while none has been used in this run: the folder of a photo
    // opened from the command line or the file manager.
    virtual void setFallbackFolder(const QString& folder) { (void)folder; }
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A plain box with the fixed text, no icon, one "OK" button, titled with the application title.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // The same with the error icon, for errors that escaped a handler.
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// Qt implementations used by the program.
FileChooser& qtFileChooser();
MessageSink& qtMessageSink();

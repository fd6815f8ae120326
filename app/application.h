#pragma once

#include <QApplication>

class MessageSink;

// Text of an error as shown to the user: a full stop is appended unless the text already ends in
// "." or in a character that sorts before it.
QString withFullStop(const QString& text);

// The application: catches whatever escapes an event handler, shows it in an error box titled with
// the application title, and lets the program go on.
class PelvanorApplication : public QApplication {
public:
    PelvanorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Where escaped errors are shown; the Qt message box unless a test replaces it.
    void setErrorSink(MessageSink* sink) { errorSink = sink; }
    void showEscapedError(const QString& text);

private:
    MessageSink* errorSink;
    bool reporting = false;
};

#pragma once

#include <QApplication>

#include <functional>
#include <memory>

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

// Runs a window's creation step. An error it raises is reported like one escaping a handler (when
// the application is a PelvanorApplication) and the program goes on with the window as far as the
// step got, so start-up continues.
void runCreationStep(const std::function<void()>& step);

// A window made under runCreationStep: null when its making failed and was reported.
template <class Window> std::unique_ptr<Window> createWindow(QWidget* parent) {
    std::unique_ptr<Window> window;
    runCreationStep([&] { window = std::make_unique<Window>(parent); });
    return window;
}

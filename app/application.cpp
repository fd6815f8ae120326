#include "application.h"

#include "app_title.h"
#include "platform.h"

#include <exception>

QString withFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() <= QLatin1Char('.'))
        return text;
    return text + QLatin1Char('.');
}

PelvanorApplication::PelvanorApplication(int& argc, char** argv)
    : QApplication(argc, argv), errorSink(&qtMessageSink()) {
    // The application name titles message boxes; the display name stays unset so the window
    // manager shows the main window's caption unchanged.
    setApplicationName(QString::fromUtf8(kApplicationTitle));
    // The classic style draws group titles on the frame line, where the tool panel puts its check boxes.
    setStyle(QStringLiteral("Windows"));
}

bool PelvanorApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showEscapedError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showEscapedError(QStringLiteral("Unknown error"));
    }
    return false;
}

void PelvanorApplication::showEscapedError(const QString& text) {
    if (reporting)
        return; // an error inside the error box itself must not open box after box
    reporting = true;
    errorSink->error(activeWindow(), withFullStop(text));
    reporting = false;
}

void runCreationStep(const std::function<void()>& step) {
    auto* app = dynamic_cast<PelvanorApplication*>(QCoreApplication::instance());
    if (!app) {
        step();
        return;
    }
    try {
        step();
    } catch (const std::exception& e) {
        app->showEscapedError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        app->showEscapedError(QStringLiteral("Unknown error"));
    }
}

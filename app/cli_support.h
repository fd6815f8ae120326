#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

#include <cstdio>

// What the command-line programs share: plain output, and a GUI application without a display.

inline void printTo(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Success prints nothing: Qt's own notices (a missing runtime folder, font fallbacks) are dropped,
// its critical messages still reach stderr.
inline void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        printTo(stderr, message + QLatin1Char('\n'));
}

// Fonts, painting and image plugins need a GUI application; the offscreen platform needs no display.
// Call before constructing the application.
inline void prepareHeadless() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
}

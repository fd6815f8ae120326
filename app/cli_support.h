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

// --help and --version, answered alike by every program: true when the argument was one of them
// (and its text printed), so that the program exits there with success.
inline bool answeredStandardOption(const QString& argument, const char* usage, const char* program,
                                   const char* version) {
    if (argument == QLatin1String("--help")) {
        printTo(stdout, QString::fromUtf8(usage));
        return true;
    }
    if (argument == QLatin1String("--version")) {
        printTo(stdout, QStringLiteral("%1 %2\n").arg(QLatin1String(program), QLatin1String(version)));
        return true;
    }
    return false;
}

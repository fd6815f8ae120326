#include "desktop_integration.h"

#include <QGuiApplication>

QIcon programIcon() {
    Q_INIT_RESOURCE(resources);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/pelvanor-%1.png").arg(size), QSize(size, size));
    return icon;
}

void setUpDesktopIntegration(QGuiApplication& app) {
    app.setWindowIcon(programIcon());
    app.setDesktopFileName(QString::fromLatin1(kDesktopId));
}

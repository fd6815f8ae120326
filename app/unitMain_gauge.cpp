// The main window's gauge: overlay redraws and dragging the gauge with the pointer.
#include "unitMain.h"

#include "ui_unitMain.h"

#include <QEvent>

void TFormMain::ClearOverlay() {
    QImage overlay(ui->imgScreen->size(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    ui->imgLineas->setPixmap(QPixmap::fromImage(overlay));
}

void TFormMain::DrawOverlay() {
    ClearOverlay();
}

void TFormMain::tbRadioChange() {
    DrawOverlay();
}

void TFormMain::GuiaGradosChange() {
    DrawOverlay();
}

bool TFormMain::overlayPointerEvent(QEvent* /*event*/) {
    return false;
}

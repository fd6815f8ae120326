// Zoom and pan of the photo panel: the wheel and pinch zoom about the pointer, Ctrl++ and Ctrl+-
// about the panel's centre, Ctrl+0 back to the fitted view; the middle button, or the left one
// with Space held, pans. The view is of the fitted layer, so the gauge and every number stay those
// of the fitted view; only what the panel shows changes.
#include "unitMain.h"

#include "ui_unitMain.h"

#include "gauge/geometry.h"
#include "i18n/catalogue.h"
#include "imaging/fit.h"
#include "imaging/screen_scale.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QShortcut>
#include <QWheelEvent>

#include <cmath>

namespace {

const char kZoomTip[] = "Ampliación %1 %. La rueda acerca y aleja, Ctrl+0 vuelve a la foto entera; "
                        "arrastre con el botón central, o con Espacio pulsado, para desplazarla.";
constexpr int kNotch = 120; // angle delta of one wheel notch

} // namespace

void TFormMain::setupZoom() {
    zoomIndicator = new QLabel(ui->pnlScreen);
    zoomIndicator->setObjectName(QStringLiteral("lblZoom"));
    zoomIndicator->setStyleSheet(
        QStringLiteral("background: rgba(0, 0, 0, 170); color: white; padding: 2px 4px;"));
    zoomIndicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    zoomIndicator->hide();
    const auto bind = [this](QKeySequence keys, void (TFormMain::*slot)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    // Ctrl+= is Ctrl++ without Shift on keyboards that put + above =.
    bind(QKeySequence(Qt::CTRL | Qt::Key_Plus), &TFormMain::zoomIn);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Equal), &TFormMain::zoomIn);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Minus), &TFormMain::zoomOut);
    bind(QKeySequence(Qt::CTRL | Qt::Key_0), &TFormMain::zoomFitted);
}

ZoomFrame TFormMain::currentFrame() const {
    const QSize panel = ui->pnlScreen->size();
    return ZoomFrame{fitPhotoRect(panel.width(), panel.height(), Photo.width(), Photo.height()), panel};
}

QSize TFormMain::layerSize() const {
    return Photo.isNull() || view.fitted() ? ui->imgScreen->size() : frame.fitted.size();
}

double TFormMain::mostZoom() const {
    return maxZoom(frame.fitted.size(), Photo.size());
}

void TFormMain::setView(const ZoomView& next) {
    if (Photo.isNull() || next == view)
        return;
    view = next;
    FitPhoto();
    DrawOverlay();
    updateZoomIndicator();
}

void TFormMain::zoomBy(double factor, const QPointF& panelPoint) {
    if (Photo.isNull())
        return;
    frame = currentFrame();
    setView(zoomedAbout(view, factor, panelPoint, frame, mostZoom()));
}

void TFormMain::zoomIn() {
    zoomBy(kZoomStep, QRectF(ui->pnlScreen->rect()).center());
}

void TFormMain::zoomOut() {
    zoomBy(1 / kZoomStep, QRectF(ui->pnlScreen->rect()).center());
}

void TFormMain::zoomFitted() {
    setView(fittedView(currentFrame()));
}

// The photo as the zoomed view shows it, on the part of the panel the layer covers.
void TFormMain::showZoomedPhoto() {
    const QRect visible = visibleLayerRect(view, frame);
    const qreal ratio = ui->imgScreen->devicePixelRatioF();
    QImage shown(imaging::devicePixelSize(visible.size(), ratio), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    const QTransform toShown = photoToPanel(view, frame.fitted.size(), Photo.size()) *
                               QTransform::fromTranslate(-visible.left(), -visible.top()) *
                               QTransform::fromScale(ratio, ratio);
    imaging::drawPhotoView(shown, photoCopies, toShown);
    shown.setDevicePixelRatio(ratio);
    ui->imgScreen->setGeometry(visible);
    ui->imgScreen->setPixmap(QPixmap::fromImage(shown));
    ui->imgLineas->setGeometry(visible);
}

OverlayView TFormMain::overlayView() const {
    return OverlayView{view, ui->imgScreen->geometry(), Photo.size()};
}

QTransform TFormMain::photoToOverlay() const {
    return photoToPanel(view, frame.fitted.size(), Photo.size()) *
           QTransform::fromTranslate(-ui->imgLineas->x(), -ui->imgLineas->y());
}

void TFormMain::updateZoomIndicator() {
    if (Photo.isNull() || view.fitted()) {
        zoomIndicator->hide();
        ui->imgLineas->setToolTip(QString());
        ui->imgLineas->setStatusTip(QString());
        return;
    }
    const int percent = zoomPercent(view.zoom, frame.fitted.size(), Photo.size());
    zoomIndicator->setText(QStringLiteral("%1 %").arg(percent));
    zoomIndicator->adjustSize();
    zoomIndicator->move(6, 6);
    zoomIndicator->show();
    zoomIndicator->raise();
    const QString tip = i18n::lookup(QString::fromUtf8(kZoomTip)).arg(percent);
    ui->imgLineas->setToolTip(tip);
    ui->imgLineas->setStatusTip(tip);
}

// Wheel and pinch over the panel, and Space held while it has the focus.
bool TFormMain::zoomEvent(QObject* watched, QEvent* event) {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (!Photo.isNull())
            ui->pnlScreen->setFocus(Qt::MouseFocusReason); // Space then pans, not a focused button
        if (delta != 0)
            zoomBy(std::pow(kZoomStep, double(delta) / kNotch),
                   widget->mapTo(ui->pnlScreen, wheel->position()));
        return true;
    }
    case QEvent::NativeGesture: {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture)
            return false;
        zoomBy(1 + gesture->value(), widget->mapTo(ui->pnlScreen, gesture->position()));
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched != ui->pnlScreen || key->key() != Qt::Key_Space)
            return false;
        if (!key->isAutoRepeat()) {
            spaceHeld = event->type() == QEvent::KeyPress;
            if (!panning)
                showPanCursor();
        }
        return true;
    }
    case QEvent::FocusOut:
        if (watched == ui->pnlScreen)
            spaceHeld = false;
        return false;
    default:
        return false;
    }
}

void TFormMain::showPanCursor() {
    if (spaceHeld)
        ui->imgLineas->setCursor(Qt::OpenHandCursor);
    else
        ui->imgLineas->unsetCursor();
}

// Pans with the middle button, or the left one while Space is held; true when the event is a pan's.
bool TFormMain::panPointerEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool panButton =
        mouse->button() == Qt::MiddleButton || (mouse->button() == Qt::LeftButton && spaceHeld && !Dragging);
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) && panButton && !Dragging) {
        panning = true;
        panLast = mouse->globalPosition();
        ui->imgLineas->setCursor(Qt::ClosedHandCursor);
        ui->pnlScreen->setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (type == QEvent::MouseMove && panning) {
        const QPointF delta = mouse->globalPosition() - panLast;
        panLast = mouse->globalPosition();
        setView(pannedBy(view, delta, frame, mostZoom()));
        return true;
    }
    if (type == QEvent::MouseButtonRelease && panning) {
        if (mouse->buttons() & (Qt::MiddleButton | Qt::LeftButton))
            return true;
        panning = false;
        showPanCursor();
        return true;
    }
    if (type == QEvent::MouseMove && spaceHeld && !Dragging)
        return true; // the open hand stays; no gauge element is picked while Space is held
    return panning;
}

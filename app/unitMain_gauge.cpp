// The main window's gauge: overlay redraws and dragging the gauge with the pointer.
#include "unitMain.h"

#include "toric_window.h"
#include "ui_unitMain.h"

#include "app/unitOpciones.h"
#include "gauge/gauge_history.h"
#include "gauge/geometry.h"
#include "imaging/screen_scale.h"

#include <QMouseEvent>

#include <utility>

GaugeInputs TFormMain::gaugeInputs() const {
    GaugeInputs in;
    in.layer = layerSize();
    in.offsetX = CentreOffsetX;
    in.offsetY = CentreOffsetY;
    in.centreSize = ui->tbRadio->value();
    in.guide = ui->GuiaGrados->fieldValue();
    in.sectorStart = ui->SectorIniGrados->fieldValue();
    in.sectorEnd = ui->SectorFinGrados->fieldValue();
    in.guideShown = ui->GuiaMostrar->isChecked();
    in.sectorShown = ui->SectorMostrar->isChecked();
    in.settings = formOpciones ? formOpciones->settings() : GaugeSettings();
    in.dpi = logicalDpiY();
    return in;
}

void TFormMain::showOverlay(const QImage& overlay) {
    shownOverlay = overlay;
    // Shown unscaled from the layer's top-left corner, whatever the layer's own size.
    ui->imgLineas->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui->imgLineas->setPixmap(
        QPixmap::fromImage(imaging::enlargedForScreen(overlay, ui->imgLineas->devicePixelRatioF())));
}

void TFormMain::ClearOverlay() {
    if (!Photo.isNull() && !view.fitted())
        showOverlay(renderOverlayView(gaugeInputs(), overlayView(), true).image);
    else
        showOverlay(renderCentreMark(gaugeInputs()));
}

void TFormMain::DrawOverlay() {
    ++overlayRedraws;
    const OverlayResult result = !Photo.isNull() && !view.fitted()
                                     ? renderOverlayView(gaugeInputs(), overlayView())
                                     : renderOverlay(gaugeInputs());
    showOverlay(result.image);
    ui->SectorGrados->setText(result.readout);
    if (toricWindow)
        toricWindow->setMarks(ui->GuiaGrados->fieldValue());
    showCarriedNote();
    showPanelHints();
}

void TFormMain::tbRadioChange() {
    DrawOverlay();
}

void TFormMain::GuiaGradosChange() {
    DrawOverlay();
}

// The pointer at a pixel of the overlay layer; when zoomed, through the view onto the fitted layer.
PointerGeometry TFormMain::pointerGeometryAt(const QPoint& onOverlay) const {
    if (Photo.isNull() || view.fitted()) {
        const QSize photoLayer = ui->imgScreen->size();
        return pointerGeometry(onOverlay.x(), onOverlay.y(), photoLayer.width(), photoLayer.height(),
                               CentreOffsetX, CentreOffsetY, ui->tbRadio->value());
    }
    const QPointF onPanel = QPointF(ui->imgLineas->pos() + onOverlay) + QPointF(0.5, 0.5);
    return pointerGeometryOnLayer(view.toLayer(onPanel), frame.fitted.size(), Photo.size(), CentreOffsetX,
                                  CentreOffsetY, ui->tbRadio->value());
}

bool TFormMain::overlayPointerEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick: // the left button centres; any other is a press like the first
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            imgLineasDoubleClick(static_cast<QMouseEvent*>(event));
        else
            imgLineasMouseDown(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonPress:
        imgLineasMouseDown(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        imgLineasMouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        imgLineasMouseUp(static_cast<QMouseEvent*>(event));
        return true;
    default:
        return false;
    }
}

// Any button starts a drag; Qt's implicit grab keeps the moves and the release coming to the
// layer while the pointer is outside it.
void TFormMain::imgLineasMouseDown(QMouseEvent* event) {
    if (Photo.isNull())
        return;
    const QPoint at = event->position().toPoint();
    DownX = at.x();
    DownY = at.y();
    ui->pnlScreen->setFocus(Qt::MouseFocusReason); // for the arrow keys
    Dragging = true;
    dragStart = gaugePlacement();
    if (GrabTarget == GrabCentre)
        ClearOverlay();
    if (GrabTarget != GrabNone)
        showLoupe(event->globalPosition());
}

void TFormMain::imgLineasMouseMove(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const PointerGeometry p = pointerGeometryAt(at);
    if (!Dragging) {
        GrabbableAngles angles;
        angles.guide = ui->GuiaGrados->fieldValue();
        angles.sectorStart = ui->SectorIniGrados->fieldValue();
        angles.sectorEnd = ui->SectorFinGrados->fieldValue();
        angles.guideShown = ui->GuiaMostrar->isChecked();
        angles.sectorShown = ui->SectorMostrar->isChecked();
        GrabTarget = grabTargetAt(p, angles);
        if (GrabTarget != GrabNone)
            ui->imgLineas->setCursor(Qt::PointingHandCursor);
        else
            ui->imgLineas->unsetCursor();
        return;
    }
    if (GrabTarget != GrabNone)
        showLoupe(event->globalPosition());
    SpinField* field = nullptr;
    switch (GrabTarget) {
    case GrabCentre:
        // The event position is in the layer's own, moving coordinates, so the grabbed point
        // stays under the pointer. Only the layer moves; the overlay is redrawn on release.
        ui->imgLineas->move(ui->imgLineas->pos() + QPoint(at.x() - DownX, at.y() - DownY));
        return;
    case GrabGuide:
        field = ui->GuiaGrados;
        break;
    case GrabSectorStart:
        field = ui->SectorIniGrados;
        break;
    case GrabSectorEnd:
        field = ui->SectorFinGrados;
        break;
    default:
        return;
    }
    // A changed value has redrawn the overlay through the field's notification already.
    const int redraws = overlayRedraws;
    field->setValue(dragAngleValue(GaugeGrab(GrabTarget), p));
    if (overlayRedraws == redraws)
        DrawOverlay();
}

void TFormMain::imgLineasMouseUp(QMouseEvent*) {
    if (Photo.isNull() || !Dragging)
        return;
    Dragging = false;
    const QRect overlay = ui->imgLineas->geometry();
    const QRect photoLayer = ui->imgScreen->geometry();
    // The layer's size on screen: the overlay's own in the fitted view, enlarged when zoomed.
    const QSizeF span = view.fitted() ? QSizeF(overlay.size()) : QSizeF(frame.fitted.size()) * view.zoom;
    if (span.width() > 0 && span.height() > 0) {
        CentreOffsetX = float(double(CentreOffsetX) + (overlay.left() - photoLayer.left()) / span.width());
        CentreOffsetY = float(double(CentreOffsetY) + (overlay.top() - photoLayer.top()) / span.height());
    }
    FitPhoto();
    DrawOverlay();
    hideLoupe();
    if (dragStart)
        recordGaugeChange(*std::exchange(dragStart, std::nullopt));
}

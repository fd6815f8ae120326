// Placing the gauge precisely: a double-click centres it on the round outline around the point,
// the arrow keys nudge the centre, Ctrl+Z and Ctrl+Shift+Z step through pointer and key changes,
// and a loupe shows the photo at full resolution while the gauge is dragged.
#include "unitMain.h"

#include "platform.h"
#include "ui_unitMain.h"

#include "analysis/round_outline.h"
#include "gauge/gauge_history.h"
#include "gauge/loupe.h"
#include "i18n/catalogue.h"
#include "imaging/fit.h"
#include "output/outline_refusal.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QThread>
#include <QUndoStack>

#include <memory>

namespace {
constexpr int kHistoryLimit = 100;
const QSize kLoupeSize(160, 160);
} // namespace

void TFormMain::setupPrecisePlacement() {
    gaugeUndo = new QUndoStack(this);
    gaugeUndo->setUndoLimit(kHistoryLimit);
    // Window-wide; a focused text field takes Ctrl+Z first for its own typing.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this), &QShortcut::activated, gaugeUndo,
            &QUndoStack::undo);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this), &QShortcut::activated,
            gaugeUndo, &QUndoStack::redo);
    ui->pnlScreen->setFocusPolicy(Qt::ClickFocus);
    loupe = new QLabel(ui->pnlScreen);
    loupe->setObjectName(QStringLiteral("loupe"));
    loupe->setFixedSize(kLoupeSize);
    loupe->setAttribute(Qt::WA_TransparentForMouseEvents);
    loupe->hide();
}

GaugePlacement TFormMain::gaugePlacement() const {
    GaugePlacement p;
    p.offsetX = CentreOffsetX;
    p.offsetY = CentreOffsetY;
    p.guide = ui->GuiaGrados->fieldValue();
    p.sectorStart = ui->SectorIniGrados->fieldValue();
    p.sectorEnd = ui->SectorFinGrados->fieldValue();
    p.guideShown = ui->GuiaMostrar->isChecked();
    return p;
}

void TFormMain::applyGaugePlacement(const GaugePlacement& placement) {
    CentreOffsetX = placement.offsetX;
    CentreOffsetY = placement.offsetY;
    ui->GuiaGrados->setValue(placement.guide);
    ui->SectorIniGrados->setValue(placement.sectorStart);
    ui->SectorFinGrados->setValue(placement.sectorEnd);
    ui->GuiaMostrar->setChecked(placement.guideShown);
    DrawOverlay();
}

// Called after a change has been made and drawn; an unchanged gauge leaves no step behind.
void TFormMain::recordGaugeChange(const GaugePlacement& before) {
    const GaugePlacement after = gaugePlacement();
    if (after != before)
        gaugeUndo->push(new GaugeChangeCommand(before, after,
                                               [this](const GaugePlacement& p) { applyGaugePlacement(p); }));
}

// The search reads the photo at full resolution, which on a large photo takes longer than a frame: it
// runs on a worker thread with a busy cursor. Its answer is used only while it still fits what is on
// screen: the same photo, the gauge not moved meanwhile, and no newer double-click.
void TFormMain::imgLineasDoubleClick(QMouseEvent* event) {
    if (Photo.isNull())
        return;
    const QSize layer = ui->imgScreen->size();
    if (layer.isEmpty())
        return;
    const QPoint at = event->position().toPoint();
    const QPointF photoPoint = view.fitted()
                                   ? photoPointOfLayerPixel(at, layer, Photo.size())
                                   : photoToOverlay().inverted().map(QPointF(at) + QPointF(0.5, 0.5));
    const QImage photo = Photo; // shares the pixels; a new photo detaches from it
    auto outline = std::make_shared<OutlineSearch>();
    QThread* worker =
        QThread::create([photo, photoPoint, outline] { *outline = searchRoundOutline(photo, photoPoint); });
    outlineWorkers.append(worker);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    connect(worker, &QThread::finished, this,
            [this, worker, outline, key = photo.cacheKey(), before = gaugePlacement(),
             search = ++outlineSearches] {
                QApplication::restoreOverrideCursor();
                const bool newest = search == outlineSearches;
                outlineWorkers.removeOne(worker);
                worker->deleteLater();
                if (newest && !Photo.isNull() && Photo.cacheKey() == key && gaugePlacement() == before &&
                    !Dragging)
                    centreOnOutline(*outline);
            });
    worker->start();
}

void TFormMain::centreOnOutline(const OutlineSearch& search) {
    const std::optional<RoundOutline>& outline = search.outline;
    if (!outline) {
        QString text = i18n::lookup(QString::fromUtf8(outlineRefusalMessage(search.refusedBy)));
        if (const char* next = outlineRefusalNextStep(search.refusedBy))
            text += QStringLiteral("\n\n") + i18n::lookup(QString::fromUtf8(next));
        messages->message(this, text);
        return;
    }
    const GaugePlacement before = gaugePlacement();
    CentreOffsetX = float(outline->centre.x() / Photo.width() - 0.5);
    CentreOffsetY = float(outline->centre.y() / Photo.height() - 0.5);
    DrawOverlay();
    recordGaugeChange(before);
    // The outline stays in view until the next redraw, that is the next change of the gauge.
    QImage withOutline = shownOverlay;
    const GaugeSettings settings = gaugeInputs().settings;
    if (view.fitted())
        drawFoundOutline(withOutline, Photo.size(), outline->centre, outline->radius, settings.refColor);
    else
        drawFoundOutline(withOutline, photoToOverlay(), outline->centre, outline->radius, settings.refColor);
    showOverlay(withOutline);
}

// Arrows move the centre one screen pixel, with Ctrl one photo pixel.
bool TFormMain::gaugeKeyPress(QKeyEvent* event) {
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    default:
        return false;
    }
    if (Photo.isNull() || Dragging)
        return true;
    const bool fine = event->modifiers() & Qt::ControlModifier;
    // A screen pixel is a smaller part of the layer when zoomed.
    const QSizeF unit = fine ? QSizeF(Photo.size()) : QSizeF(layerSize()) * view.zoom;
    if (unit.isEmpty())
        return true;
    const GaugePlacement before = gaugePlacement();
    CentreOffsetX = float(double(CentreOffsetX) + dx / unit.width());
    CentreOffsetY = float(double(CentreOffsetY) + dy / unit.height());
    DrawOverlay();
    recordGaugeChange(before);
    return true;
}

void TFormMain::showLoupe(const QPointF& globalPos) {
    if (Photo.isNull() || ui->imgScreen->width() <= 0)
        return;
    const QPointF onPhotoLayer = ui->imgScreen->mapFromGlobal(globalPos);
    const double screenScale = screenPerPhotoPixel(view.zoom, layerSize(), Photo.size());
    // A zoomed view already as close as the loupe would be needs none.
    if (!view.fitted() && screenScale >= loupeMagnification(screenScale))
        return;
    const QPointF panelPoint = ui->pnlScreen->mapFromGlobal(globalPos) + QPointF(0.5, 0.5);
    const QPointF photoPoint =
        view.fitted() ? (onPhotoLayer + QPointF(0.5, 0.5)) * (double(Photo.width()) / ui->imgScreen->width())
                      : photoToPanel(view, layerSize(), Photo.size()).inverted().map(panelPoint);
    loupe->setPixmap(
        QPixmap::fromImage(renderLoupe(Photo, photoPoint, loupeMagnification(screenScale), kLoupeSize)));
    const QPoint onPanel = ui->pnlScreen->mapFromGlobal(globalPos.toPoint());
    loupe->move(loupeCorner(ui->pnlScreen->size(), kLoupeSize, onPanel));
    loupe->raise();
    loupe->show();
}

void TFormMain::hideLoupe() {
    loupe->hide();
}

#pragma once

#include "gauge/gauge_settings.h"
#include "gauge/zoom_view.h"

#include <QImage>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QString>

class QFont;
class QPainter;

// Everything one screen redraw of the gauge reads, gathered at the moment of drawing.
struct GaugeInputs {
    QSize layer;          // the photo layer's W x H
    float offsetX = 0.0f; // CentreOffsetX
    float offsetY = 0.0f; // CentreOffsetY
    int centreSize = 10;  // tbRadio
    int guide = 15;
    int sectorStart = 25;
    int sectorEnd = 50;
    bool guideShown = false;
    bool sectorShown = false;
    GaugeSettings settings;
    int dpi = 96; // pixel density that turns the label's point size into pixels
};

struct OverlayResult {
    QImage image;    // W x H, premultiplied ARGB: fully transparent or fully opaque pixels only
    QString readout; // the sector width |start - end|
};

// Pixels drawn in this colour are shown transparent, so the photo shows through.
constexpr QRgb kOverlayKey = 0xff111111;

// The full redraw: centre mark, guide line, sector rays, centre mark again, the angle template
// with its numbers, the guide and sector numbers. Drawn without anti-aliasing.
OverlayResult renderOverlay(const GaugeInputs& in);

// The overlay holding only the centre mark, which is what moves while the centre is dragged.
QImage renderCentreMark(const GaugeInputs& in);

// The numbers' font: the UI face at trunc(W / 100) points, unsmoothed; 0 points keeps the default size.
QFont overlayLabelFont(int width, int dpi);

// Draws text in the painter's font and pen with its box centred on (x, y) over an opaque key-colour
// (transparent) background. The painter draws on canvas.
void DrawTextCentered(QImage& canvas, QPainter& painter, int x, int y, const QString& text);

// The gauge over a zoomed view of the fitted layer in.layer: where the fitted overlay would be
// enlarged, this one is drawn at screen size (line widths, numbers) at the enlarged positions, on
// the part of the panel the layer covers. The centre lies on gaugeCentreOnLayer. With
// centreMarkOnly, the centre mark alone (what moves while the centre is dragged).
struct OverlayView {
    ZoomView view;
    QRect visible; // panel pixels drawn: the canvas is visible.size()
    QSize photo;
};
OverlayResult renderOverlayView(const GaugeInputs& in, const OverlayView& v, bool centreMarkOnly = false);

// Draws a round outline found on the photo (centre and radius in photo pixels) onto a screen
// overlay of the photo, one pixel wide, so that what the centre locked on can be seen.
void drawFoundOutline(QImage& overlay, const QSize& photo, const QPointF& centre, double radius,
                      const QColor& colour);
// The same through a mapping from photo pixels to overlay pixels, for a zoomed view.
void drawFoundOutline(QImage& overlay, const QTransform& photoToOverlay, const QPointF& centre, double radius,
                      const QColor& colour);

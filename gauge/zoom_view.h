#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QTransform>

// Zoom and pan of the photo panel: a view of the fitted layer (photo and gauge together). The gauge,
// the composite and every number stay defined on the fitted layer; the view only changes where that
// layer lands on the panel.

struct ZoomView {
    double zoom = 1.0; // panel pixels per fitted-layer pixel; 1 is the fitted view
    QPointF origin;    // where the layer's top-left corner lies on the panel

    bool fitted() const { return zoom == 1.0; }
    QPointF toPanel(const QPointF& layer) const { return layer * zoom + origin; }
    QPointF toLayer(const QPointF& panel) const { return (panel - origin) / zoom; }
    // The whole layer on the panel, usually larger than the panel when zoomed.
    QRectF layerOnPanel(const QSizeF& layer) const { return QRectF(origin, layer * zoom); }
    bool operator==(const ZoomView& o) const { return zoom == o.zoom && origin == o.origin; }
    bool operator!=(const ZoomView& o) const { return !(*this == o); }
};

// Where the view stands: the fitted layer's rectangle on the panel and the panel's size.
struct ZoomFrame {
    QRect fitted;
    QSize panel;
};

constexpr double kZoomStep = 1.25;            // a wheel notch, Ctrl++ and Ctrl+-
constexpr double kMostScreenPerPhotoPx = 8.0; // the closest view: 8 screen pixels per photo pixel

ZoomView fittedView(const ZoomFrame& frame);

// The largest zoom for a photo shown on the fitted layer: 8 screen pixels per photo pixel, never
// below the fitted view.
double maxZoom(const QSize& layer, const QSize& photo);

// Screen pixels per photo pixel at this zoom, and the zoom level shown to the user in percent.
double screenPerPhotoPixel(double zoom, const QSize& layer, const QSize& photo);
int zoomPercent(double zoom, const QSize& layer, const QSize& photo);

// Keeps the view lawful: zoom between fitted and the maximum, the fitted view exactly at 1; on each
// side of the panel no wider a bare band than the fitted view leaves there (none where the fitted
// layer reaches the panel's edge). Zooming in about a point of the layer then never has to move
// that point, whatever bands a letterboxed or pillarboxed photo leaves.
ZoomView clampedView(const ZoomView& view, const ZoomFrame& frame, double maximum);

// Zoom by factor keeping the layer point under panelPoint where it is (as far as the limits allow).
ZoomView zoomedAbout(const ZoomView& view, double factor, const QPointF& panelPoint, const ZoomFrame& frame,
                     double maximum);

// The layer moved by delta panel pixels, within the limits.
ZoomView pannedBy(const ZoomView& view, const QPointF& delta, const ZoomFrame& frame, double maximum);

// After the panel has changed size: the same screen pixels per photo pixel, and the photo point
// that was under the panel's centre is under the new panel's centre.
ZoomView resizedView(const ZoomView& view, const ZoomFrame& before, const ZoomFrame& after, double maximum);

// The part of the panel the layer covers, in whole panel pixels: where the photo and gauge are drawn.
QRect visibleLayerRect(const ZoomView& view, const ZoomFrame& frame);

// Photo pixels to panel pixels (photo pixel i covering [i, i + 1)), through the fitted layer,
// whose sides scale the photo's each by itself.
QTransform photoToPanel(const ZoomView& view, const QSize& layer, const QSize& photo);

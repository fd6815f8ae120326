#include "gauge/zoom_view.h"

#include <algorithm>
#include <cmath>

namespace {

// One axis of clampedView: the layer's origin for a zoomed length on a panel of panelLength, leaving
// no more of the panel bare before and after the layer than the fitted view does.
double clampedOrigin(double origin, double length, double panelLength, double bandBefore, double bandAfter) {
    return std::clamp(origin, std::min(panelLength - length - bandAfter, bandBefore), bandBefore);
}

} // namespace

ZoomView fittedView(const ZoomFrame& frame) {
    return ZoomView{1.0, QPointF(frame.fitted.topLeft())};
}

double maxZoom(const QSize& layer, const QSize& photo) {
    if (layer.isEmpty() || photo.isEmpty())
        return 1.0;
    return std::max(1.0, kMostScreenPerPhotoPx * photo.width() / layer.width());
}

double screenPerPhotoPixel(double zoom, const QSize& layer, const QSize& photo) {
    return photo.isEmpty() ? 0.0 : zoom * layer.width() / photo.width();
}

int zoomPercent(double zoom, const QSize& layer, const QSize& photo) {
    return int(std::lround(100.0 * screenPerPhotoPixel(zoom, layer, photo)));
}

ZoomView clampedView(const ZoomView& view, const ZoomFrame& frame, double maximum) {
    const double zoom = std::min(view.zoom, maximum);
    // A hair above fitted after zooming out and in again is the fitted view.
    if (zoom <= 1.0 + 1e-9 || frame.fitted.isEmpty())
        return fittedView(frame);
    const QSizeF length = QSizeF(frame.fitted.size()) * zoom;
    const QRect& f = frame.fitted;
    const int right = frame.panel.width() - f.x() - f.width(),
              bottom = frame.panel.height() - f.y() - f.height();
    return ZoomView{
        zoom, QPointF(clampedOrigin(view.origin.x(), length.width(), frame.panel.width(), f.x(), right),
                      clampedOrigin(view.origin.y(), length.height(), frame.panel.height(), f.y(), bottom))};
}

ZoomView zoomedAbout(const ZoomView& view, double factor, const QPointF& panelPoint, const ZoomFrame& frame,
                     double maximum) {
    const double zoom = std::clamp(view.zoom * factor, 1.0, std::max(1.0, maximum));
    const QPointF layerPoint = view.toLayer(panelPoint);
    return clampedView(ZoomView{zoom, panelPoint - layerPoint * zoom}, frame, maximum);
}

ZoomView pannedBy(const ZoomView& view, const QPointF& delta, const ZoomFrame& frame, double maximum) {
    if (view.fitted())
        return view;
    return clampedView(ZoomView{view.zoom, view.origin + delta}, frame, maximum);
}

ZoomView resizedView(const ZoomView& view, const ZoomFrame& before, const ZoomFrame& after, double maximum) {
    if (view.fitted() || before.fitted.isEmpty() || after.fitted.isEmpty())
        return fittedView(after);
    // The centre's point as a fraction of the layer, which is the same photo point on both layers.
    const QPointF centre = view.toLayer(QRectF(QPointF(), QSizeF(before.panel)).center());
    const QPointF fraction(centre.x() / before.fitted.width(), centre.y() / before.fitted.height());
    const double zoom = view.zoom * before.fitted.width() / after.fitted.width();
    const QPointF onNewLayer(fraction.x() * after.fitted.width(), fraction.y() * after.fitted.height());
    const QPointF newCentre = QRectF(QPointF(), QSizeF(after.panel)).center();
    if (zoom <= 1.0)
        return fittedView(after);
    return clampedView(ZoomView{zoom, newCentre - onNewLayer * zoom}, after, maximum);
}

QRect visibleLayerRect(const ZoomView& view, const ZoomFrame& frame) {
    if (view.fitted())
        return frame.fitted;
    const QRectF layer = view.layerOnPanel(QSizeF(frame.fitted.size()));
    const QRect whole(QPoint(int(std::floor(layer.left())), int(std::floor(layer.top()))),
                      QPoint(int(std::ceil(layer.right())) - 1, int(std::ceil(layer.bottom())) - 1));
    return whole & QRect(QPoint(), frame.panel);
}

QTransform photoToPanel(const ZoomView& view, const QSize& layer, const QSize& photo) {
    if (photo.isEmpty())
        return QTransform();
    const double sx = view.zoom * layer.width() / photo.width();
    const double sy = view.zoom * layer.height() / photo.height();
    return QTransform(sx, 0, 0, sy, view.origin.x(), view.origin.y());
}

#include "imaging/fit.h"

#include "imaging/rounding.h"

QRect fitPhotoRect(int panelW, int panelH, int photoW, int photoH) {
    if (photoW <= 0 || photoH <= 0 || panelW <= 0 || panelH <= 0)
        return QRect(0, 0, std::max(panelW, 0), std::max(panelH, 0));
    const double ra = double(photoW) / double(photoH);
    const double rp = double(panelW) / double(panelH);
    if (ra >= rp) {
        const int h = roundHalfEven(panelW / ra);
        return QRect(0, divTrunc(panelH - h, 2), panelW, h);
    }
    const int w = roundHalfEven(panelH * ra);
    return QRect(divTrunc(panelW - w, 2), 0, w, panelH);
}

QPointF photoPointOfLayerPixel(const QPoint& layerPixel, const QSize& layer, const QSize& photo) {
    const QPointF at = QPointF(layerPixel) + QPointF(0.5, 0.5);
    return QPointF(at.x() * photo.width() / layer.width(), at.y() * photo.height() / layer.height());
}

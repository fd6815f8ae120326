#include "loupe.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

double loupeMagnification(double screenScale) {
    return std::min(4.0, std::max(1.0, 4.0 * screenScale));
}

QImage renderLoupe(const QImage& photo, const QPointF& photoPoint, double magnification, const QSize& size) {
    QImage out(size, QImage::Format_RGB32);
    out.fill(QColor(32, 32, 32));
    QPainter p(&out);
    // Photo pixels are drawn as sharp blocks, so the user sees where one ends and the next begins.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.translate(size.width() / 2.0, size.height() / 2.0);
    p.scale(magnification, magnification);
    p.translate(-photoPoint);
    const QRectF seen = p.transform().inverted().mapRect(QRectF(out.rect()));
    const QRect source = seen.toAlignedRect().intersected(photo.rect());
    if (!source.isEmpty())
        p.drawImage(source.topLeft(), photo, source);
    p.resetTransform();
    const int cx = size.width() / 2, cy = size.height() / 2;
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(cx - 12, cy, cx + 12, cy);
    p.drawLine(cx, cy - 12, cx, cy + 12);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(cx - 12, cy, cx + 12, cy);
    p.drawLine(cx, cy - 12, cx, cy + 12);
    return out;
}

QPoint loupeCorner(const QSize& panelSize, const QSize& loupeSize, const QPoint& pointer, int margin) {
    const bool right = pointer.x() < panelSize.width() / 2;
    const bool bottom = pointer.y() < panelSize.height() / 2;
    return QPoint(right ? panelSize.width() - margin - loupeSize.width() : margin,
                  bottom ? panelSize.height() - margin - loupeSize.height() : margin);
}

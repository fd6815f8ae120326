#include "limbus_view.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr double kGrabPixels = 8; // how near the pointer must be to the ring or its centre

} // namespace

LimbusView::LimbusView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 260);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void LimbusView::setPhoto(const QImage& photo) {
    shown = photo;
    scaledCache = QImage();
    update();
}

void LimbusView::setLimbus(const std::optional<Circle>& limbus) {
    ring = limbus;
    update();
}

void LimbusView::setCarriedZero(const std::optional<double>& degrees) {
    carriedZero = degrees;
    update();
}

void LimbusView::setLandmarks(const std::vector<QPointF>& points) {
    landmarks = points;
    update();
}

QRectF LimbusView::photoRect() const {
    if (shown.isNull())
        return QRectF();
    const double s = std::min(double(width()) / shown.width(), double(height()) / shown.height());
    const QSizeF size(shown.width() * s, shown.height() * s);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QPointF LimbusView::photoPoint(const QPointF& v) const {
    const QRectF r = photoRect();
    return r.isEmpty() ? QPointF() : (v - r.topLeft()) * (shown.width() / r.width());
}

QPointF LimbusView::viewPoint(const QPointF& p) const {
    const QRectF r = photoRect();
    return r.isEmpty() ? QPointF() : r.topLeft() + p * (r.width() / shown.width());
}

void LimbusView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRectF r = photoRect();
    if (r.isEmpty())
        return;
    if (scaledCache.size() != r.size().toSize())
        scaledCache = shown.scaled(r.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(r.topLeft(), scaledCache);
    p.setRenderHint(QPainter::Antialiasing);
    if (ring) {
        const QPointF c = viewPoint(ring->centre);
        const double radius = ring->radius * r.width() / shown.width();
        p.setPen(QPen(Qt::green, 2));
        p.drawEllipse(c, radius, radius);
        p.drawLine(c - QPointF(4, 0), c + QPointF(4, 0));
        p.drawLine(c - QPointF(0, 4), c + QPointF(0, 4));
        // The photo's own 0 degrees, to the right; the reference's, turned with the eye.
        p.setPen(QPen(Qt::yellow, 2));
        p.drawLine(c, c + QPointF(1.3 * radius, 0));
        if (carriedZero) {
            const double a = *carriedZero * M_PI / 180;
            p.setPen(QPen(Qt::cyan, 2, Qt::DashLine));
            p.drawLine(c, c + 1.3 * radius * QPointF(std::cos(a), -std::sin(a)));
        }
    }
    p.setPen(QPen(Qt::magenta, 2));
    for (size_t i = 0; i < landmarks.size(); ++i) {
        const QPointF v = viewPoint(landmarks[i]);
        p.drawEllipse(v, 5, 5);
        p.drawText(v + QPointF(7, -7), QString::number(i + 1));
    }
}

void LimbusView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || shown.isNull())
        return;
    if (landmarkMode) {
        emit landmarkClicked(photoPoint(event->position()));
        return;
    }
    if (!ring)
        return;
    const QPointF c = viewPoint(ring->centre);
    const double radius = ring->radius * photoRect().width() / shown.width();
    const double d = std::hypot(event->position().x() - c.x(), event->position().y() - c.y());
    drag = d <= kGrabPixels ? Drag::Centre : std::abs(d - radius) <= kGrabPixels ? Drag::Edge : Drag::None;
}

void LimbusView::mouseMoveEvent(QMouseEvent* event) {
    if (drag == Drag::None || !ring)
        return;
    const QPointF p = photoPoint(event->position());
    if (drag == Drag::Centre)
        ring->centre = p;
    else
        ring->radius = std::max(2.0, std::hypot(p.x() - ring->centre.x(), p.y() - ring->centre.y()));
    update();
}

void LimbusView::mouseReleaseEvent(QMouseEvent*) {
    if (drag != Drag::None && ring)
        emit limbusEdited(*ring);
    drag = Drag::None;
}

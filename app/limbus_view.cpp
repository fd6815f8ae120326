#include "limbus_view.h"

#include "i18n/catalogue.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kGrabPixels = 8; // how near the pointer must be to the ring or its centre

const char kLimbusName[] = "Limbo";
const char kZeroName[] = "0° de esta foto";
const char kCarriedZeroName[] = "0° de la referencia";
const char kLandmarksName[] = "Puntos";

QPen ringPen() {
    return QPen(Qt::green, 2);
}
QPen zeroPen() {
    return QPen(Qt::yellow, 2);
}
QPen carriedZeroPen() {
    return QPen(Qt::cyan, 2, Qt::DashLine);
}
QPen axisPen() {
    return QPen(QColor(255, 140, 0), 2);
}
QPen landmarkPen() {
    return QPen(Qt::magenta, 2);
}

// A point at a screen angle (degrees counter-clockwise from the right) and distance from a centre.
QPointF polar(const QPointF& centre, double degrees, double distance) {
    const double a = degrees * M_PI / 180;
    return centre + distance * QPointF(std::cos(a), -std::sin(a));
}

} // namespace

LimbusView::LimbusView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMouseTracking(true);
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

void LimbusView::setAxis(const std::optional<double>& degrees, const char* name) {
    axis = degrees;
    axisName = name;
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
    // Every mark stays on its photo, never on the window around it.
    p.setClipRect(r);
    p.setRenderHint(QPainter::Antialiasing);
    if (ring) {
        const QPointF c = viewPoint(ring->centre);
        const double radius = ring->radius * r.width() / shown.width();
        p.setPen(ringPen());
        p.drawEllipse(c, radius, radius);
        p.drawLine(c - QPointF(4, 0), c + QPointF(4, 0));
        p.drawLine(c - QPointF(0, 4), c + QPointF(0, 4));
        if (axis) {
            p.setPen(axisPen());
            p.drawLine(polar(c, *axis, 1.5 * radius), polar(c, *axis + 180, 1.5 * radius));
        }
        // The photo's own 0 degrees, to the right; the reference's, turned with the eye.
        p.setPen(zeroPen());
        p.drawLine(c, polar(c, 0, 1.3 * radius));
        if (carriedZero) {
            p.setPen(carriedZeroPen());
            p.drawLine(c, polar(c, *carriedZero, 1.3 * radius));
        }
    }
    p.setPen(landmarkPen());
    for (size_t i = 0; i < landmarks.size(); ++i) {
        const QPointF v = viewPoint(landmarks[i]);
        p.drawEllipse(v, 5, 5);
        p.drawText(v + QPointF(7, -7), QString::number(i + 1));
    }
    drawLegend(p, r);
}

// One row for each kind of mark drawn: a short stroke in its pen, then its name.
void LimbusView::drawLegend(QPainter& p, const QRectF& photoArea) const {
    std::vector<std::pair<QPen, QString>> rows;
    const auto add = [&rows](const QPen& pen, const char* name) {
        rows.emplace_back(pen, i18n::lookup(QString::fromUtf8(name)));
    };
    if (ring) {
        add(ringPen(), kLimbusName);
        add(zeroPen(), kZeroName);
        if (carriedZero)
            add(carriedZeroPen(), kCarriedZeroName);
        if (axis)
            add(axisPen(), axisName);
    }
    if (!landmarks.empty())
        add(landmarkPen(), kLandmarksName);
    if (rows.empty())
        return;
    QFont font = p.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const double line = metrics.height() + 2, stroke = 22, gap = 6;
    double textWidth = 0;
    for (const auto& row : rows)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(row.second));
    const QSizeF size(stroke + 3 * gap + textWidth, line * rows.size() + gap);
    // On a photo shown small the legend would hide most of it; it shows again when the window grows.
    if (size.width() > photoArea.width() / 2 || size.height() > photoArea.height() / 2)
        return;
    const QRectF box = legendBox(photoArea, size);
    p.fillRect(box, QColor(0, 0, 0, 150));
    for (size_t i = 0; i < rows.size(); ++i) {
        const double y = box.top() + gap / 2 + line * (i + 0.5);
        p.setPen(rows[i].first);
        p.drawLine(QPointF(box.left() + gap, y), QPointF(box.left() + gap + stroke, y));
        p.setPen(Qt::white);
        p.drawText(QPointF(box.left() + 2 * gap + stroke, y + metrics.ascent() / 2 - 1), rows[i].second);
    }
}

// The corner of the photo where the legend hides the fewest marks, never the one under the pointer,
// so that what lies under it can always be seen and clicked.
QRectF LimbusView::legendBox(const QRectF& photoArea, const QSizeF& size) const {
    std::vector<QPointF> marks;
    for (const QPointF& landmark : landmarks)
        marks.push_back(viewPoint(landmark));
    if (ring)
        marks.push_back(viewPoint(ring->centre));
    const QRectF inner = photoArea.adjusted(4, 4, -4, -4);
    const QPointF corners[] = {inner.topLeft(), inner.topRight() - QPointF(size.width(), 0),
                               inner.bottomLeft() - QPointF(0, size.height()),
                               inner.bottomRight() - QPointF(size.width(), size.height())};
    QRectF best;
    int fewest = std::numeric_limits<int>::max();
    for (const QPointF& corner : corners) {
        const QRectF box(corner, size);
        const QRectF reach = box.adjusted(-kGrabPixels, -kGrabPixels, kGrabPixels, kGrabPixels);
        int covered = pointer && reach.contains(*pointer) ? 1000 : 0;
        for (const QPointF& m : marks)
            covered += reach.contains(m) ? 1 : 0;
        if (covered < fewest)
            fewest = covered, best = box;
    }
    return best;
}

void LimbusView::leaveEvent(QEvent*) {
    pointer.reset();
    update();
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
    pointer = event->position();
    if (drag == Drag::None || !ring) {
        update(); // the legend may step out of the pointer's way
        return;
    }
    const QPointF p = photoPoint(event->position());
    if (drag == Drag::Centre) // the centre stays on the photo
        ring->centre = QPointF(std::clamp(p.x(), 0.0, double(shown.width())),
                               std::clamp(p.y(), 0.0, double(shown.height())));
    else
        ring->radius = std::max(2.0, std::hypot(p.x() - ring->centre.x(), p.y() - ring->centre.y()));
    update();
}

void LimbusView::mouseReleaseEvent(QMouseEvent*) {
    if (drag != Drag::None && ring)
        emit limbusEdited(*ring);
    drag = Drag::None;
}

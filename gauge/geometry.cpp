#include "gauge/geometry.h"

#include "imaging/rounding.h"

#include <algorithm>
#include <cmath>

QPoint gaugeCentre(int width, int height, float offsetX, float offsetY) {
    return QPoint(roundHalfEven(width * double(offsetX) + width / 2.0),
                  roundHalfEven(height * double(offsetY) + height / 2.0));
}

QPoint pointAt(const QPoint& c, double alphaDeg, double r) {
    const double a = alphaDeg * M_PI / 180.0;
    return QPoint(c.x() + roundHalfEven(r * std::cos(a)), c.y() - roundHalfEven(r * std::sin(a)));
}

GaugeRadii gaugeRadii(int width, int height, int centreSize, const QPoint& c) {
    GaugeRadii r;
    r.centre = divTrunc(std::min(width, height) * centreSize, 200);
    r.reach = std::max(width, height);
    r.number = std::min({c.x(), width - c.x(), c.y(), height - c.y()}) - 20;
    return r;
}

qint64 sectorWidth(int start, int end) {
    return std::abs(qint64(start) - qint64(end));
}

int labelPointSize(int width) {
    return divTrunc(width, 100);
}

int thicknessPenWidth(int index) {
    switch (index) {
    case 1:
        return 5;
    case 2:
        return 7;
    default:
        return 3;
    }
}

std::vector<TemplateDirection> templateDirections(int step) {
    const int s = step == 5 ? 5 : 10;
    std::vector<TemplateDirection> dirs;
    dirs.reserve(4 * 90 / s);
    for (int theta = 0; theta < 90; theta += s) {
        const double c = std::cos(theta * M_PI / 180.0);
        const double sn = std::sin(theta * M_PI / 180.0);
        const bool axis = theta == 0;
        const bool numbered = theta % 10 == 0;
        const auto text = [numbered](int n) { return numbered ? QString::number(n) : QString(); };
        dirs.push_back({c, sn, axis, text(theta)});
        dirs.push_back({-c, -sn, axis, text(theta == 0 ? 180 : theta)});
        dirs.push_back({-sn, c, axis, text(theta + 90)});
        dirs.push_back({sn, -c, axis, text(theta + 90)});
    }
    return dirs;
}

QPoint pointAlong(const QPoint& c, const TemplateDirection& d, double r) {
    return QPoint(c.x() + roundHalfEven(r * d.cos), c.y() - roundHalfEven(r * d.sin));
}

std::vector<TemplateRay> templateRays(const QPoint& c, const GaugeRadii& radii, int step) {
    std::vector<TemplateRay> rays;
    for (const TemplateDirection& d : templateDirections(step))
        rays.push_back({pointAlong(c, d, radii.centre), pointAlong(c, d, radii.reach),
                        pointAlong(c, d, radii.number), d.text, d.axis ? 2 : 1});
    return rays;
}

namespace {

PointerGeometry pointerGeometryOf(double dx, double dy, int width, int height, int centreSize) {
    PointerGeometry p;
    p.dx = float(dx);
    p.dy = float(dy);
    p.angle = float(std::atan2(double(p.dy), double(p.dx)) * 180.0 / M_PI);
    p.angle360 = p.angle < 0 ? float(double(p.angle) + 360.0) : p.angle;
    p.angle180 = p.angle < 0 ? float(double(p.angle) + 180.0) : p.angle;
    p.distance = std::sqrt(double(p.dx) * p.dx + double(p.dy) * p.dy);
    p.hitRadius = float(std::min(width, height) * double(centreSize) / 200.0);
    return p;
}

} // namespace

PointerGeometry pointerGeometry(int x, int y, int width, int height, float offsetX, float offsetY,
                                int centreSize) {
    return pointerGeometryOf(x - width / 2.0 - width * double(offsetX),
                             -y + height / 2.0 + height * double(offsetY), width, height, centreSize);
}

QPointF gaugeCentreOnLayer(const QSize& layer, const QSize& photo, float offsetX, float offsetY) {
    if (photo.isEmpty())
        return QPointF(layer.width() * (double(offsetX) + 0.5), layer.height() * (double(offsetY) + 0.5));
    const double px = photo.width() * double(offsetX) + photo.width() / 2.0 + 0.5;
    const double py = photo.height() * double(offsetY) + photo.height() / 2.0 + 0.5;
    return QPointF(px * layer.width() / photo.width(), py * layer.height() / photo.height());
}

PointerGeometry pointerGeometryOnLayer(const QPointF& layerPoint, const QSize& layer, const QSize& photo,
                                       float offsetX, float offsetY, int centreSize) {
    const QPointF c = gaugeCentreOnLayer(layer, photo, offsetX, offsetY);
    return pointerGeometryOf(layerPoint.x() - c.x(), c.y() - layerPoint.y(), layer.width(), layer.height(),
                             centreSize);
}

GaugeGrab grabTargetAt(const PointerGeometry& p, const GrabbableAngles& g) {
    const auto near = [](int field, float angle) { return std::abs(field - double(angle)) < 0.5; };
    if (p.distance < p.hitRadius)
        return GrabCentre;
    if (g.sectorShown && near(g.sectorStart, p.angle360))
        return GrabSectorStart;
    if (g.sectorShown && near(g.sectorEnd, p.angle360))
        return GrabSectorEnd;
    if (g.guideShown && near(g.guide, p.angle180))
        return GrabGuide;
    return GrabNone;
}

int dragAngleValue(GaugeGrab target, const PointerGeometry& p) {
    switch (target) {
    case GrabGuide:
        return roundHalfEven(p.angle180);
    case GrabSectorStart:
    case GrabSectorEnd:
        return roundHalfEven(p.angle360);
    default:
        return -1;
    }
}

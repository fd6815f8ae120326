#include "round_outline.h"

#include "circle_fit.h"
#include "ray_edges.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCoarseRays = 180;
constexpr int kFineRays = 360;
constexpr int kFinePasses = 3;
constexpr double kMinCoverage = 0.6;   // share of the outline's directions where it must be seen
constexpr double kMinAgreement = 0.45; // share of the fine rays whose edge must lie on it
constexpr double kMaxGapDegrees = 150; // largest arc the outline may be hidden on

// A candidate outline: circles through three edges of one direction on rays from the point, polished
// on the edges that agree with them and kept when the grey level steps across them most of the way
// round. Candidates are grouped by place and size and tried innermost first, since the outline
// wanted is the innermost one around the point (the pupil before the limbus).
struct Hypothesis {
    Circle circle;
    int sign = 0;
    int support = 0; // rays from the point that agree
    Contrast contrast;
};

bool sameOutline(const Hypothesis& a, const Hypothesis& b, double share = 0.1) {
    const double r = std::max(a.circle.radius, b.circle.radius);
    const QPointF d = a.circle.centre - b.circle.centre;
    return a.sign == b.sign && std::abs(a.circle.radius - b.circle.radius) <= share * r &&
           std::hypot(d.x(), d.y()) <= share * r;
}

// Refits a circle to the edges that support it and counts again, twice, so that circles through
// different edges of one outline settle on the same circle. False when it loses itself.
bool polish(const std::vector<RayEdges>& rays, const QPointF& origin, Hypothesis& h) {
    for (int round = 0; round < 2; ++round) {
        std::vector<QPointF> points;
        countSupport(rays, origin, h.circle, h.sign, &points);
        if (points.size() < 6)
            return false;
        const auto refined = fitCircleLeastSquares(points);
        if (!refined)
            return false;
        const QPointF d = refined->centre - origin;
        if (!(refined->radius > 4) || std::hypot(d.x(), d.y()) > refined->radius - 1)
            return false;
        h.circle = *refined;
        h.support = countSupport(rays, origin, h.circle, h.sign, nullptr);
    }
    return true;
}

// A deterministic random sequence, so that a search repeats exactly.
class Draw {
public:
    int below(int bound) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % uint32_t(bound));
    }

private:
    uint32_t state = 0x9e3779b9u;
};

// The circle through one edge of each of three rays about 120 degrees apart, all of one direction;
// none when a ray has no such edge or the circle does not enclose the origin.
std::optional<Hypothesis> drawCircle(const std::vector<RayEdges>& rays, const QPointF& origin, Draw& draw) {
    const int n = int(rays.size());
    const int i = draw.below(n);
    if (rays[i].edges.empty())
        return std::nullopt;
    const Edge& first = rays[i].edges[draw.below(int(rays[i].edges.size()))];
    const int sign = first.strength > 0 ? 1 : -1;
    QPointF pts[3] = {rays[i].pointAt(origin, first.r)};
    for (int k = 1; k < 3; ++k) {
        const RayEdges& ray = rays[(i + k * n / 3 + draw.below(n / 6 + 1) - n / 12 + n) % n];
        const Edge* same[4];
        int count = 0;
        for (const Edge& e : ray.edges)
            if ((e.strength > 0) == (sign > 0) && count < 4)
                same[count++] = &e;
        if (count == 0)
            return std::nullopt;
        pts[k] = ray.pointAt(origin, same[draw.below(count)]->r);
    }
    const auto c = circleThrough(pts[0], pts[1], pts[2]);
    if (!c || c->radius < 4 ||
        std::hypot(c->centre.x() - origin.x(), c->centre.y() - origin.y()) > c->radius - 1)
        return std::nullopt;
    return Hypothesis{*c, sign, 0, {}};
}

std::vector<Hypothesis> candidateOutlines(const std::vector<RayEdges>& rays, const QPointF& origin,
                                          const ReducedGray& image) {
    const int minSupport = int(rays.size()) / 4;
    std::vector<Hypothesis> groups, seen; // seen: every polished circle, kept or not
    Draw draw;
    for (int it = 0; it < 2000; ++it) {
        auto drawn = drawCircle(rays, origin, draw);
        // A quick look at every fourth ray turns most chance circles away.
        if (!drawn ||
            countSupport(rays, origin, drawn->circle, drawn->sign, nullptr, 4) * 4 < minSupport * 3 / 4)
            continue;
        Hypothesis& h = *drawn;
        h.support = countSupport(rays, origin, h.circle, h.sign, nullptr);
        // Circles close to one already polished are not polished again; a looser match merges
        // polished circles into one outline.
        const auto polished = [&](const Hypothesis& g) { return sameOutline(g, h, 0.03); };
        if (h.support < minSupport || std::any_of(seen.begin(), seen.end(), polished))
            continue;
        if (!polish(rays, origin, h) || h.support < minSupport ||
            std::any_of(seen.begin(), seen.end(), polished))
            continue;
        seen.push_back(h);
        h.contrast = circleContrast(image, h.circle, h.sign, 2 * noiseStep(rays));
        if (h.contrast.coverage < kMinCoverage)
            continue;
        const auto group = std::find_if(groups.begin(), groups.end(),
                                        [&](const Hypothesis& g) { return sameOutline(g, h); });
        if (group == groups.end())
            groups.push_back(h);
        else if (h.contrast.coverage > group->contrast.coverage)
            *group = h;
    }
    // Innermost first: the pupil before the limbus.
    std::sort(groups.begin(), groups.end(),
              [](const Hypothesis& x, const Hypothesis& y) { return x.circle.radius < y.circle.radius; });
    return groups;
}

// The ellipse through the edge points, refitted without the points far off it: what is left of
// lids and lashes after the circle fit. Its centre is the outline's, since a slightly oval outline
// seen only in part pulls a circle's centre off.
struct RobustEllipse {
    Ellipse ellipse;
    std::vector<QPointF> points; // those on it
    double typicalDistance = 0;  // median distance of those from it
};

std::optional<RobustEllipse> fitEllipseRobust(std::vector<QPointF> points) {
    RobustEllipse out;
    for (int round = 0; round < 4; ++round) {
        const auto e = fitEllipse(points);
        if (!e)
            return std::nullopt;
        std::vector<double> distances;
        for (const QPointF& p : points)
            distances.push_back(e->distance(p));
        std::vector<double> sorted = distances;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        out.ellipse = *e;
        out.typicalDistance = sorted[sorted.size() / 2];
        const double cut = std::max(1.0, 3 * 1.4826 * out.typicalDistance);
        std::vector<QPointF> kept;
        for (size_t i = 0; i < points.size(); ++i)
            if (distances[i] <= cut)
                kept.push_back(points[i]);
        const bool settled = kept.size() == points.size();
        points = std::move(kept);
        if (settled)
            break;
    }
    out.points = std::move(points);
    return out;
}

double largestGapDegrees(std::vector<double> angles) {
    if (angles.empty())
        return 360;
    std::sort(angles.begin(), angles.end());
    double gap = angles.front() + 360 - angles.back();
    for (size_t i = 1; i < angles.size(); ++i)
        gap = std::max(gap, angles[i] - angles[i - 1]);
    return gap;
}

struct FineFit {
    RobustCircle fit;
    std::vector<QPointF> points;
};

// Edges at full resolution in a band about the circle, on rays from its centre, refitted robustly.
FineFit refineAtFullSize(const PhotoGray& photo, Circle circle, int sign, int factor) {
    FineFit out;
    const int half = std::max(1, factor / 2);
    for (int pass = 0; pass < kFinePasses; ++pass) {
        const double band = pass == 0 ? std::max(3.0 * factor, 0.06 * circle.radius)
                                      : std::max(2.0 + 2 * half, 0.04 * circle.radius);
        out.points = edgesAcrossCircle(photo, circle, sign, kFineRays, band, half);
        if (out.points.size() < 6)
            return out;
        out.fit = fitCircleRobust(out.points, circle);
        circle = out.fit.circle;
    }
    return out;
}

// The outline at full resolution from a coarse circle, or none when the edges there do not make one.
std::optional<RoundOutline> outlineAtFullSize(const PhotoGray& full, const Hypothesis& h, int factor,
                                              const QPointF& point) {
    const Circle start{h.circle.centre * factor, h.circle.radius * factor};
    const FineFit fine = refineAtFullSize(full, start, h.sign, factor);
    if (fine.points.size() < 6)
        return std::nullopt;
    const Circle& c = fine.fit.circle;
    std::vector<QPointF> inliers;
    for (size_t i = 0; i < fine.points.size(); ++i)
        if (fine.fit.inliers[i])
            inliers.push_back(fine.points[i]);
    const auto e = fitEllipseRobust(inliers);
    if (!e)
        return std::nullopt;
    std::vector<double> angles;
    for (const QPointF& p : e->points)
        angles.push_back(std::atan2(p.y() - c.centre.y(), p.x() - c.centre.x()) * 180 / M_PI + 180);
    // Enough of the outline must be seen, all round, and the edge must follow the ellipse closely.
    const double agreement = double(e->points.size()) / kFineRays;
    const QPointF shift = e->ellipse.centre - c.centre;
    if (agreement < kMinAgreement || largestGapDegrees(angles) > kMaxGapDegrees || c.radius < 4 ||
        std::hypot(point.x() - c.centre.x(), point.y() - c.centre.y()) >= c.radius ||
        e->typicalDistance > std::max(0.75, 0.01 * c.radius) || e->ellipse.minor < 0.7 * e->ellipse.major ||
        std::hypot(shift.x(), shift.y()) > 0.1 * c.radius)
        return std::nullopt;
    return RoundOutline{e->ellipse.centre, c.radius, agreement};
}

} // namespace

std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point) {
    if (photo.isNull() || !QRectF(0, 0, photo.width(), photo.height()).contains(point))
        return std::nullopt;
    const int factor = reductionFactor(photo.size());
    const ReducedGray reduced(photo, factor);
    if (reduced.width() < 8 || reduced.height() < 8)
        return std::nullopt;
    const QPointF origin = point / factor;
    const std::vector<RayEdges> rays = castRays(reduced, origin, kCoarseRays);
    const PhotoGray full(photo);
    for (const Hypothesis& h : candidateOutlines(rays, origin, reduced))
        if (const auto outline = outlineAtFullSize(full, h, factor, point))
            return outline;
    return std::nullopt;
}

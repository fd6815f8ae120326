#include "outline_fit.h"

#include "numerics.h"
#include "outline_checks.h"
#include "ray_edges.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>

namespace {

std::vector<QPointF> inliersOf(const FineFit& fine) {
    std::vector<QPointF> out;
    for (size_t i = 0; i < fine.points.size(); ++i)
        if (fine.fit.inliers[i])
            out.push_back(fine.points[i]);
    return out;
}

} // namespace

std::optional<RobustEllipse> fitEllipseRobust(std::vector<QPointF> points) {
    const OutlineTuning& t = tuning().outline;
    RobustEllipse out;
    for (int round = 0; round < t.ellipseRounds; ++round) {
        const auto e = fitEllipse(points);
        if (!e)
            return std::nullopt;
        std::vector<double> distances;
        for (const QPointF& p : points)
            distances.push_back(e->distance(p));
        out.ellipse = *e;
        out.typicalDistance = medianOf(distances);
        const double cut =
            std::max(t.ellipseCutPixels, t.ellipseCutSpreads * kMadToSigma * out.typicalDistance);
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

FineFit refineAtFullSize(const PhotoGray& photo, Circle circle, int sign, int factor, bool lateralOnly,
                         float glareLevel) {
    const OutlineTuning& t = tuning().outline;
    FineFit out;
    // The limbus is a soft edge: its steps are measured over a few pixels more.
    const int half = std::max(std::max(t.minSmoothing, factor / 2),
                              lateralOnly ? int(circle.radius / t.limbusSoftEdge) : t.minSmoothing);
    for (int pass = 0; pass < t.finePasses; ++pass) {
        const double band = pass == 0
                                ? std::max(t.firstBandReduced * factor, t.firstBandShare * circle.radius)
                                : std::max(t.bandPixels + 2 * half, t.bandShare * circle.radius);
        // The first, wide pass only needs to bring the circle near: half the rays do.
        out.points = edgesAcrossCircle(photo, circle, sign, pass == 0 ? t.fineRays / 2 : t.fineRays, band,
                                       half, lateralOnly, glareLevel, &out.raysRead);
        if (out.points.size() < kLeastEllipsePoints)
            return out;
        out.fit = fitCircleRobust(out.points, circle);
        circle = out.fit.circle;
    }
    return out;
}

std::optional<RoundOutline> fitAllRound(const PhotoGray& full, const Circle& start, int sign, int factor,
                                        float glareLevel, Refusal& refusedBy) {
    const FineFit fine = refineAtFullSize(full, start, sign, factor, false, glareLevel);
    refusedBy = OutlineCheck::FewEdges;
    if (fine.points.size() < kLeastEllipsePoints)
        return std::nullopt;
    const Circle& c = fine.fit.circle;
    const auto e = fitEllipseRobust(inliersOf(fine));
    refusedBy = OutlineCheck::NoEllipse;
    if (!e)
        return std::nullopt;
    std::vector<double> angles;
    for (const QPointF& p : e->points)
        angles.push_back(std::atan2(p.y() - c.centre.y(), p.x() - c.centre.x()) * 180 / M_PI + 180);
    // Rays across a reflection tell nothing either way.
    const double agreement =
        double(e->points.size()) / std::max(fine.raysRead, tuning().outline.fineRays / 2);
    refusedBy = allRoundRefusal(
        AllRoundEvidence{full, start, c, e->ellipse, e->typicalDistance, agreement, std::move(angles), sign});
    if (refusedBy != OutlineCheck::None)
        return std::nullopt;
    return RoundOutline{e->ellipse.centre, c.radius, agreement};
}

std::optional<RoundOutline> limbusAtFullSize(const PhotoGray& full, const Circle& start, int factor,
                                             const QPointF& point, Refusal& refusedBy) {
    const int rays = tuning().outline.fineRays;
    const FineFit fine = refineAtFullSize(full, start, 1, factor, true);
    refusedBy = OutlineCheck::FewEdges;
    if (fine.points.size() < kLeastEllipsePoints)
        return std::nullopt;
    LimbusEvidence e{full, start, fine.fit.circle, fine.fit.scale, {0, 0}, 0, point};
    for (int i = 0; i < rays; ++i)
        e.lateralRays += isLateral(2 * M_PI * i / rays);
    for (size_t i = 0; i < fine.points.size(); ++i)
        if (fine.fit.inliers[i])
            ++e.sides[fine.points[i].x() > e.circle.centre.x()];
    refusedBy = limbusRefusal(e);
    if (refusedBy != OutlineCheck::None)
        return std::nullopt;
    return RoundOutline{e.circle.centre, e.circle.radius, double(e.sides[0] + e.sides[1]) / e.lateralRays};
}

std::optional<RoundOutline> AllRoundFits::fit(const Circle& start, int sign, const QPointF& point,
                                              Refusal* refusedBy) {
    auto known = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.sign == sign && e.start.centre == start.centre && e.start.radius == start.radius;
    });
    if (known == entries.end()) {
        Refusal why;
        auto outline = fitAllRound(full, start, sign, factor, glareLevel, why);
        known = entries.insert(entries.end(), Entry{start, sign, std::move(outline), why});
    }
    Refusal why = known->refusedBy;
    if (known->outline && !inside(point, known->outline->centre, known->outline->radius))
        why = OutlineCheck::PointOutside;
    if (refusedBy)
        *refusedBy = why;
    if (why != OutlineCheck::None)
        return std::nullopt;
    return known->outline;
}

ClickSearch::ClickSearch(const QImage& photo, const EyePlanes& planes, const QPointF& point)
    : planes(planes), f(planes.factor), point(point), p(planes.reduced(point)), full(photo),
      brightest(photo, PhotoGray::Brightest),
      // Rays across a saturated reflection are skipped: its own edges are the strongest steps near a
      // pupil's border.
      fits(brightest, planes.factor, tuning().outline.saturated) {}

bool ClickSearch::pupilMissed(const RoundOutline& outline) const {
    return inDarkCore(planes.value, p, Circle{outline.centre / f, outline.radius / f});
}

#include "bright_field.h"

#include "dark_region.h"
#include "numerics.h"
#include "outline_checks.h"
#include "pupil_search.h"
#include "tuning.h"

#include <cmath>

namespace {

// The plane's level at q, when q lies on the plane.
bool levelAt(const cv::Mat& value, const QPointF& q, uchar& level) {
    if (q.x() < 0 || q.y() < 0 || q.x() >= value.cols || q.y() >= value.rows)
        return false;
    level = value.at<uchar>(int(q.y()), int(q.x()));
    return true;
}

// Where a ray from the region's centre, in direction u, first meets two pixels in a row darker than
// dark; none when it reaches the photo's border still on the field.
std::optional<QPointF> rimOnRay(const cv::Mat& value, const Circle& region, const QPointF& u, double dark) {
    const OutlineTuning& t = tuning().outline;
    for (double r = t.rimFrom * region.radius; r < t.rimReach * region.radius; r += 1) {
        const QPointF q = region.centre + r * u;
        uchar here = 0, next = 0;
        if (!levelAt(value, q, here))
            break;
        if (here < dark && levelAt(value, q + u, next) && next < dark)
            return q;
    }
    return std::nullopt;
}

// The start circle for a bright field: its rim where the field gives way to the dark about it, along
// rays from the region's centre, fitted with a circle. Rays that reach the photo's border while still
// on the field are left out, so that a field cut off by the frame (at top and bottom, or on all four
// sides) is not taken for the smaller disc of the same area.
std::optional<Circle> fieldRim(const cv::Mat& value, const Circle& region, double frame) {
    const OutlineTuning& t = tuning().outline;
    const int rays = t.rimRays;
    std::vector<uchar> inner;
    for (int i = 0; i < rays; ++i) {
        const double a = 2 * M_PI * i / rays;
        uchar level = 0;
        if (levelAt(value, region.centre + t.rimFrom * region.radius * QPointF(std::cos(a), std::sin(a)),
                    level))
            inner.push_back(level);
    }
    if (inner.size() < size_t(rays / 2))
        return std::nullopt;
    const double dark = frame + t.frameShare * (medianOf(inner) - frame);
    std::vector<QPointF> rim;
    for (int i = 0; i < rays; ++i) {
        const QPointF u(std::cos(2 * M_PI * i / rays), std::sin(2 * M_PI * i / rays));
        if (const auto q = rimOnRay(value, region, u, dark))
            rim.push_back(*q);
    }
    if (rim.size() < size_t(rays / t.leastRimDivisor))
        return std::nullopt;
    const RobustCircle fit = fitCircleRobust(rim, region);
    if (!(fit.circle.radius > 0))
        return std::nullopt;
    return fit.circle;
}

} // namespace

FieldSearch brightFieldAround(ClickSearch& s, const std::vector<RoundOutline>& aboutPupilZone) {
    const OutlineTuning& t = tuning().outline;
    const cv::Mat& value = s.planes.value;
    const int f = s.f;
    const double planeArea = double(value.cols) * value.rows;
    const double frame = darkestLevel(value);
    FieldSearch out;
    const auto refuse = [&](const Refusal& check) {
        if (!out.seen)
            out.refusedBy = check;
        out.seen = true;
    };
    // Innermost first: the field's lighter middle and the rings of its uneven lighting are regions
    // too, each refused in turn until the whole field, framed in black, is reached.
    for (const RegionEllipse& r : roundRegionsAround(value, s.p, true)) {
        if (r.area < t.minFieldShare * planeArea)
            continue;
        const Circle start = fieldRim(value, circleOf(r, 1), frame).value_or(circleOf(r, 1));
        Refusal why;
        const auto outline = s.fits.fit(Circle{start.centre * f, start.radius * f}, -1, s.point, &why);
        if (!outline) {
            refuse(why);
            continue;
        }
        const Circle field{outline->centre / f, outline->radius / f};
        why = Refusal(!framedInBlack(value, field, frame)        ? OutlineCheck::FieldUnframed
                      : onDarkSpot(value, s.p, field)            ? OutlineCheck::FieldDarkSpot
                      : holdsPupilZone(*outline, aboutPupilZone) ? OutlineCheck::PupilZone
                                                                 : OutlineCheck::None);
        if (why != OutlineCheck::None) {
            refuse(why);
            continue;
        }
        out.field = outline;
        out.refusedBy = OutlineCheck::None;
        out.seen = true;
        return out;
    }
    return out;
}

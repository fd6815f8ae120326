#include "round_outline.h"

#include "circle_fit.h"
#include "dark_region.h"
#include "eye_planes.h"
#include "limbus_search.h"
#include "ray_edges.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

// The search, in order:
// 1. Dark round regions around the point (the pupil, or the whole iris of a dark eye), flooded in
//    reduced planes with the reflections filled, each refined on its edge at full size and fitted
//    with an ellipse; a darker, even disc inside the first one found (a pupil inside a dark ring of
//    the iris) is preferred.
// 2. The pupil near the point, from the darkest spots about it: when it holds the point it is the
//    answer; when it lies beside the point, the point is on its iris, and the outline found in 1
//    must hold it as a limbus does.
// 3. Else the limbus, by the step from iris to sclera on the sides of the eye: about that pupil,
//    or, with no pupil in sight, for a point well away from the limbus's middle.
// 4. Else, with no pupil in sight, a large bright round field (a fundus photo).
// A pupil found only in part, a veil (a window's reflection, haze) lying over the rest, is grown to the
// whole dark disc. Whatever is answered is refused when the point lies in a dark core of it, a pupil
// not found.

namespace {

constexpr int kFineRays = 360;
constexpr int kFinePasses = 3;
constexpr double kMinAgreement = 0.5;     // share of the rays whose edge lies on an outline seen all round
constexpr double kMaxGapDegrees = 150;    // largest arc such an outline may be hidden on
constexpr double kMaxScatter = 0.04;      // typical distance of its edges from it, in radii
constexpr double kStepInside = 0.85;      // where the grey level is read inside and outside it,
constexpr double kStepOutside = 1.15;     // in radii
constexpr double kMinStepping = 0.75;     // share of its directions in which it must step the right way
constexpr double kMinGreyStep = 4;        // grey levels
constexpr double kMinSideShare = 0.35;    // share of each side's rays that must see the limbus
constexpr double kSoftEdge = 25;          // a limbus's step is measured over a 25th of its radius
constexpr double kScleraShare = 1.08;     // how far out, in limbus radii, the photo must reach on both sides
constexpr double kMinRadiusShare = 0.012; // of the photo's longer side: smaller dark spots are texture
constexpr double kMinFieldShare = 0.1;    // a bright field fills at least this much of the photo
constexpr double kFieldFrame = 0.35;      // and the photo beyond it is at most this bright, of the field
constexpr double kDarkCore = 0.8;         // a point this much darker than the iris is in the pupil
constexpr double kDarkCoreStep = 10;      // grey levels, so that a dark outline's own shading does not count
constexpr double kCoreShare = 0.4;        // when it lies this near the middle, in radii of the outline
constexpr double kPupilSearchShare = 0.3; // how far from a point on the iris its pupil is looked for
constexpr int kPupilSeeds = 8;            // dark spots tried there
constexpr double kPupilZone = 0.4;        // of a limbus radius: where a pupil not found may lie
constexpr int kLimbusCandidates = 5;      // circles from the limbus search refined at full size
constexpr double kInnerStep = 0.1;        // an inner outline steps at least this share of the outer one's
                                          // step (a pupil in a dark iris against the iris-to-white step)
constexpr double kComparableStep = 0.7;   // an inner limbus candidate steps this much of the strongest
constexpr double kMaxIrisShare = 5;       // a point on the iris lies within this many pupil radii
constexpr double kMinRoundOutline = 0.8;  // minor / major axis: more oval than an eye seen 35 degrees aside
                                          // is no pupil, but the clear part of one
constexpr float kSaturated = 250;         // a reflection's level in the brightest channel
constexpr double kVeilLevel = 0.45;       // a veiled pupil is darker than this share of the way to its iris
constexpr double kWholerDisc = 1.05;      // and its whole disc at least this much wider than its clear part

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
    int raysRead = 0; // in the last pass
};

// Edges at full resolution in a band about the circle, on rays from its centre, refitted robustly.
FineFit refineAtFullSize(const PhotoGray& photo, Circle circle, int sign, int factor, bool lateralOnly,
                         float glareLevel = 0) {
    FineFit out;
    // The limbus is a soft edge: its steps are measured over a few pixels more.
    const int half = std::max(std::max(1, factor / 2), lateralOnly ? int(circle.radius / kSoftEdge) : 1);
    for (int pass = 0; pass < kFinePasses; ++pass) {
        const double band = pass == 0 ? std::max(3.0 * factor, 0.08 * circle.radius)
                                      : std::max(2.0 + 2 * half, 0.04 * circle.radius);
        // The first, wide pass only needs to bring the circle near: half the rays do.
        out.points = edgesAcrossCircle(photo, circle, sign, pass == 0 ? kFineRays / 2 : kFineRays, band, half,
                                       lateralOnly, glareLevel, &out.raysRead);
        if (out.points.size() < 6)
            return out;
        out.fit = fitCircleRobust(out.points, circle);
        circle = out.fit.circle;
    }
    return out;
}

std::vector<QPointF> inliersOf(const FineFit& fine) {
    std::vector<QPointF> out;
    for (size_t i = 0; i < fine.points.size(); ++i)
        if (fine.fit.inliers[i])
            out.push_back(fine.points[i]);
    return out;
}

bool inside(const QPointF& point, const QPointF& centre, double radius) {
    return std::hypot(point.x() - centre.x(), point.y() - centre.y()) < radius;
}

// The share of directions round a circle (of those on the photo) in which the grey level steps across it the
// right way, from well inside to well outside, by a good part of its typical step. Edges can be found on a
// circle that only parts a dark pupil from a lighter part of the same pupil (haze, a reflection
// lying on it); beyond such a circle the pupil goes on, no lighter than inside.
double steppingShare(const PhotoGray& full, const Circle& c, int sign) {
    constexpr int kDirections = 72;
    std::vector<double> steps;
    for (int i = 0; i < kDirections; ++i) {
        const double a = 2 * M_PI * i / kDirections;
        const QPointF u(std::cos(a), std::sin(a));
        const QPointF in = c.centre + u * (kStepInside * c.radius),
                      out = c.centre + u * (kStepOutside * c.radius);
        float vin = 0, vout = 0;
        if (full.sample(in.x(), in.y(), vin) && full.sample(out.x(), out.y(), vout))
            steps.push_back(sign * (vout - vin));
    }
    // Mostly off the photo: nothing to tell. A bright field may fill the frame, leaving only its corners
    // to see beyond it; whether those are dark is asked apart.
    if (steps.size() < size_t(sign < 0 ? kDirections / 9 : kDirections / 3))
        return 0;
    std::vector<double> sorted = steps;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double cut = std::max(kMinGreyStep, 0.25 * sorted[sorted.size() / 2]);
    return double(std::count_if(steps.begin(), steps.end(), [&](double s) { return s >= cut; })) /
           steps.size();
}

// An outline seen nearly all round (a pupil, a fundus field), refined at full size from a start
// circle and fitted with an ellipse; none when the edges there do not make one close to the start.
std::optional<RoundOutline> fitAllRound(const PhotoGray& full, const Circle& start, int sign, int factor,
                                        float glareLevel) {
    const FineFit fine = refineAtFullSize(full, start, sign, factor, false, glareLevel);
    if (fine.points.size() < 6)
        return std::nullopt;
    const Circle& c = fine.fit.circle;
    const auto e = fitEllipseRobust(inliersOf(fine));
    if (!e)
        return std::nullopt;
    std::vector<double> angles;
    for (const QPointF& p : e->points)
        angles.push_back(std::atan2(p.y() - c.centre.y(), p.x() - c.centre.x()) * 180 / M_PI + 180);
    // Rays across a reflection tell nothing either way.
    const double agreement = double(e->points.size()) / std::max(fine.raysRead, kFineRays / 2);
    const QPointF shift = e->ellipse.centre - c.centre, moved = c.centre - start.centre;
    const double smallest = std::max(3.0, kMinRadiusShare * std::max(full.width(), full.height()));
    if (agreement < kMinAgreement || largestGapDegrees(angles) > kMaxGapDegrees || c.radius < smallest ||
        c.radius < 0.7 * start.radius || c.radius > 1.4 * start.radius ||
        std::hypot(moved.x(), moved.y()) > 0.25 * start.radius ||
        e->typicalDistance > std::max(1.0, kMaxScatter * c.radius) ||
        e->ellipse.minor < kMinRoundOutline * e->ellipse.major ||
        std::hypot(shift.x(), shift.y()) > 0.1 * c.radius ||
        steppingShare(full, Circle{e->ellipse.centre, c.radius}, sign) < kMinStepping)
        return std::nullopt;
    return RoundOutline{e->ellipse.centre, c.radius, agreement};
}

// Outlines refined from start circles, kept for one search: the pupil is often reached both from
// the point and from the darkest spot near it, and each refinement reads the photo at full size.
class AllRoundFits {
public:
    AllRoundFits(const PhotoGray& full, int factor, float glareLevel = 0)
        : full(full), factor(factor), glareLevel(glareLevel) {}

    // The outline refined from the start circle, when it holds the point.
    std::optional<RoundOutline> fit(const Circle& start, int sign, const QPointF& point) {
        auto known = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.sign == sign && e.start.centre == start.centre && e.start.radius == start.radius;
        });
        if (known == entries.end())
            known = entries.insert(entries.end(),
                                   Entry{start, sign, fitAllRound(full, start, sign, factor, glareLevel)});
        if (!known->outline || !inside(point, known->outline->centre, known->outline->radius))
            return std::nullopt;
        return known->outline;
    }

private:
    struct Entry {
        Circle start;
        int sign;
        std::optional<RoundOutline> outline;
    };
    const PhotoGray& full;
    int factor;
    float glareLevel;
    std::vector<Entry> entries;
};

// The limbus at full size from a candidate: a robust circle through its edges on both sides of the
// eye; none unless both sides show it and the point lies inside.
std::optional<RoundOutline> limbusAtFullSize(const PhotoGray& full, const Circle& start, int factor,
                                             const QPointF& point) {
    const FineFit fine = refineAtFullSize(full, start, 1, factor, true);
    if (fine.points.size() < 6)
        return std::nullopt;
    const Circle& c = fine.fit.circle;
    int sides[2] = {0, 0}, lateralRays = 0;
    for (int i = 0; i < kFineRays; ++i)
        lateralRays += isLateral(2 * M_PI * i / kFineRays);
    for (size_t i = 0; i < fine.points.size(); ++i)
        if (fine.fit.inliers[i])
            ++sides[fine.points[i].x() > c.centre.x()];
    const QPointF moved = c.centre - start.centre;
    if (sides[0] < kMinSideShare * lateralRays / 2 || sides[1] < kMinSideShare * lateralRays / 2 ||
        c.radius < 0.8 * start.radius || c.radius > 1.25 * start.radius ||
        std::hypot(moved.x(), moved.y()) > 0.15 * start.radius || !inside(point, c.centre, 0.97 * c.radius) ||
        fine.fit.scale > std::max(1.0, kMaxScatter * c.radius) ||
        // The white of the eye must show beyond it on both sides, within the photo: a step at the
        // photo's own edge is no limbus.
        c.centre.x() - kScleraShare * c.radius < 0 || c.centre.x() + kScleraShare * c.radius > full.width())
        return std::nullopt;
    return RoundOutline{c.centre, c.radius, double(sides[0] + sides[1]) / lateralRays};
}

// The median of grey levels sampled from a plane (reordered in place); v must not be empty.
double medianOf(std::vector<uchar>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return double(v[v.size() / 2]);
}

// The levels of the pixels whose centres lie within reach of a point.
std::vector<uchar> levelsWithin(const cv::Mat& value, const QPointF& point, double reach) {
    std::vector<uchar> out;
    for (int y = int(point.y() - reach); y <= int(point.y() + reach); ++y)
        for (int x = int(point.x() - reach); x <= int(point.x() + reach); ++x)
            if (x >= 0 && y >= 0 && x < value.cols && y < value.rows &&
                inside(QPointF(x + 0.5, y + 0.5), point, reach))
                out.push_back(value.at<uchar>(y, x));
    return out;
}

// Whether the point lies in a dark core of the outline, a pupil not found, rather than on what
// fills the outline: an outline found around such a point would be the limbus answered for a click
// in the pupil. Both levels are medians, the outline's over a ring on its sides, away from the lids.
bool inDarkCore(const cv::Mat& value, const QPointF& point, const Circle& outline) {
    const double reach = std::max(1.0, 0.06 * outline.radius);
    std::vector<uchar> core = levelsWithin(value, point, reach), ring;
    for (int i = 0; i < 72; ++i) {
        const double a = 2 * M_PI * i / 72;
        if (!isLateral(a))
            continue;
        for (double share = 0.55; share <= 0.86; share += 0.1) {
            const QPointF q = outline.centre + outline.radius * share * QPointF(std::cos(a), std::sin(a));
            if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
                ring.push_back(value.at<uchar>(int(q.y()), int(q.x())));
        }
    }
    if (!inside(point, outline.centre, kCoreShare * outline.radius) || core.empty() || ring.empty())
        return false;
    const double coreLevel = medianOf(core), ringLevel = medianOf(ring);
    return coreLevel < kDarkCore * ringLevel && ringLevel - coreLevel >= kDarkCoreStep;
}

// Whether a bright field is framed in black, as a fundus camera frames its field: what the photo
// shows just beyond it is far darker than the field itself.
bool framedInBlack(const cv::Mat& value, const Circle& field) {
    std::vector<uchar> in, out;
    for (int i = 0; i < 180; ++i) {
        const double a = 2 * M_PI * i / 180;
        const QPointF u(std::cos(a), std::sin(a));
        for (double share : {0.6, 0.7, 0.8, 1.1, 1.15, 1.2}) {
            const QPointF q = field.centre + field.radius * share * u;
            if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
                (share < 1 ? in : out).push_back(value.at<uchar>(int(q.y()), int(q.x())));
        }
    }
    if (in.empty() || out.size() < 12)
        return true; // nothing shows beyond the field: the photo is cropped to it
    return medianOf(out) < kFieldFrame * medianOf(in);
}

// The start circle for a bright field: its rim where the field gives way to the dark about it, along
// rays from the region's centre, fitted with a circle. Rays that reach the photo's border while still
// on the field are left out, so that a field cut off by the frame (at top and bottom, or on all four
// sides) is not taken for the smaller disc of the same area.
std::optional<Circle> fieldRim(const cv::Mat& value, const Circle& region) {
    constexpr int kRays = 180;
    std::vector<uchar> inner;
    for (int i = 0; i < kRays; ++i) {
        const double a = 2 * M_PI * i / kRays;
        const QPointF q = region.centre + 0.5 * region.radius * QPointF(std::cos(a), std::sin(a));
        if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
            inner.push_back(value.at<uchar>(int(q.y()), int(q.x())));
    }
    if (inner.size() < kRays / 2)
        return std::nullopt;
    const double dark = kFieldFrame * medianOf(inner);
    std::vector<QPointF> rim;
    for (int i = 0; i < kRays; ++i) {
        const QPointF u(std::cos(2 * M_PI * i / kRays), std::sin(2 * M_PI * i / kRays));
        for (double r = 0.5 * region.radius; r < 2 * region.radius; r += 1) {
            const QPointF q = region.centre + r * u;
            if (q.x() < 0 || q.y() < 0 || q.x() >= value.cols || q.y() >= value.rows)
                break;
            const QPointF next = q + u;
            if (value.at<uchar>(int(q.y()), int(q.x())) < dark && next.x() >= 0 && next.y() >= 0 &&
                next.x() < value.cols && next.y() < value.rows &&
                value.at<uchar>(int(next.y()), int(next.x())) < dark) {
                rim.push_back(q);
                break;
            }
        }
    }
    if (rim.size() < kRays / 6)
        return std::nullopt;
    const RobustCircle fit = fitCircleRobust(rim, region);
    if (!(fit.circle.radius > 0))
        return std::nullopt;
    return fit.circle;
}

// Whether the point lies on a spot as dark as what frames a bright field: a pupil not found inside
// a camera's round aperture, say, which is no point of the field.
bool onDarkSpot(const cv::Mat& value, const QPointF& point, const Circle& field) {
    const double reach = std::max(1.0, 0.03 * field.radius);
    std::vector<uchar> spot = levelsWithin(value, point, reach), in;
    for (int i = 0; i < 180; ++i) {
        const double a = 2 * M_PI * i / 180;
        for (double share : {0.3, 0.5, 0.7}) {
            const QPointF q = field.centre + field.radius * share * QPointF(std::cos(a), std::sin(a));
            if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
                in.push_back(value.at<uchar>(int(q.y()), int(q.x())));
        }
    }
    return !spot.empty() && !in.empty() && medianOf(spot) < kFieldFrame * medianOf(in);
}

// Whether two outlines are one: centres and radii within a twentieth of the radius.
bool sameOutline(const RoundOutline& a, const RoundOutline& b) {
    const double r = std::max(a.radius, b.radius);
    return std::abs(a.radius - b.radius) <= 0.05 * r && inside(a.centre, b.centre, 0.05 * r);
}

// Whether a limbus lies about its pupil as limbi do: wider, and nearly concentric.
bool holdsPupil(const RoundOutline& limbus, const Circle& pupil) {
    const QPointF off = limbus.centre - pupil.centre;
    return limbus.radius >= tuning().limbus.minPupilRatio * pupil.radius &&
           std::hypot(off.x(), off.y()) <= tuning().limbus.maxDecentring * limbus.radius;
}

Circle circleOf(const RegionEllipse& r, int factor) {
    return Circle{r.centre * factor, std::sqrt(r.major * r.minor) * factor};
}

// The radius of a darker disc about a centre inside a dark outline of radius r0: the strongest step
// up all round between a seventh and most of r0, when the disc is even and clearly darker than the
// ring about it.
std::optional<double> innerDiscRadius(const PhotoGray& full, const QPointF& centre, double r0) {
    constexpr int kRays = 90;
    const double step = std::max(1.0, r0 / 60);
    std::vector<double> ring;
    // Medians round each circle, so that reflections and lashes do not count.
    std::vector<float> values;
    for (double r = 0.05 * r0; r <= 1.15 * r0; r += step) {
        values.clear();
        for (int i = 0; i < kRays; ++i) {
            const double a = 2 * M_PI * i / kRays;
            float v = 0;
            if (full.sample(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a), v))
                values.push_back(v);
        }
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        ring.push_back(values.empty() ? 0 : values[values.size() / 2]);
    }
    const auto stepAt = [&](size_t k) { return ring[k + 2] + ring[k + 1] - ring[k - 1] - ring[k - 2]; };
    double outerStep = 0, innerStep = 0;
    size_t innerAt = 0;
    for (size_t k = 2; k + 2 < ring.size(); ++k) {
        const double r = 0.05 * r0 + k * step;
        if (r >= 0.9 * r0)
            outerStep = std::max(outerStep, stepAt(k));
        else if (r >= 0.15 * r0 && stepAt(k) > innerStep)
            innerStep = stepAt(k), innerAt = k;
    }
    if (innerAt == 0 || innerStep < kInnerStep * outerStep)
        return std::nullopt;
    // The disc must be clearly darker than the ring about it: a pupil, not a ring of the iris.
    const double rIn = 0.05 * r0 + innerAt * step;
    // It must also be even, as a pupil is, not a ring of the iris with the pupil inside it.
    double disc = 0, ringMean = 0, lowest = 1e9, highest = -1e9;
    int nDisc = 0, nRing = 0;
    for (size_t k = 0; k < ring.size(); ++k) {
        const double r = 0.05 * r0 + k * step;
        if (r >= 0.3 * rIn && r <= 0.8 * rIn)
            disc += ring[k], ++nDisc, lowest = std::min(lowest, ring[k]),
                                      highest = std::max(highest, ring[k]);
        else if (r >= 1.1 * rIn && r <= 0.9 * r0)
            ringMean += ring[k], ++nRing;
    }
    if (!nDisc || !nRing)
        return std::nullopt;
    disc /= nDisc, ringMean /= nRing;
    if (disc > kDarkCore * ringMean || highest - lowest > 0.5 * (ringMean - disc))
        return std::nullopt;
    return rIn;
}

// A darker disc inside a dark outline that holds the point, as a pupil inside a dark ring of the
// iris around it or inside the whole iris of a dark eye.
std::optional<RoundOutline> innerOutline(const PhotoGray& full, AllRoundFits& fits, const RoundOutline& outer,
                                         const QPointF& point) {
    const auto rIn = innerDiscRadius(full, outer.centre, outer.radius);
    const auto first = rIn ? fits.fit(Circle{outer.centre, *rIn}, 1, point) : std::nullopt;
    if (!first)
        return std::nullopt;
    // A pupil off the outline's centre blurs the rings read about that centre, and its step with
    // them: they are read again about the disc found.
    const auto again = innerDiscRadius(full, first->centre, outer.radius);
    const auto second = again ? fits.fit(Circle{first->centre, *again}, 1, point) : std::nullopt;
    return second ? second : first;
}

// The whole of a pupil of which an outline found is only the clear part, a veil (a reflection of a
// window, haze) lying over the rest: the dark region about the outline, taken at a level well below
// the iris, with its holes and notches closed by its convex hull, refined at full size. None when
// that region is no larger than the outline, as for a pupil seen whole.
std::optional<RoundOutline> wholeDarkDisc(const EyePlanes& planes, AllRoundFits& fits,
                                          const RoundOutline& found, const QPointF& point) {
    const int f = planes.factor;
    const Circle c{found.centre / f, found.radius / f};
    const cv::Mat& value = planes.value;
    const auto levelAt = [&](double from, double to) {
        std::vector<uchar> v;
        for (int i = 0; i < 72; ++i) {
            const double a = 2 * M_PI * i / 72;
            for (double s = from; s <= to + 1e-9; s += 0.05) {
                const QPointF q = c.centre + c.radius * s * QPointF(std::cos(a), std::sin(a));
                if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
                    v.push_back(value.at<uchar>(int(q.y()), int(q.x())));
            }
        }
        return v.empty() ? -1.0 : medianOf(v);
    };
    const double pupil = levelAt(0.1, 0.6), iris = levelAt(1.2, 1.5);
    if (pupil < 0 || iris - pupil < kMinGreyStep)
        return std::nullopt;
    const int reach = int(std::ceil(2 * c.radius));
    const cv::Rect window =
        cv::Rect(int(c.centre.x()) - reach, int(c.centre.y()) - reach, 2 * reach + 1, 2 * reach + 1) &
        cv::Rect(0, 0, value.cols, value.rows);
    cv::Mat dark = value(window) <= pupil + kVeilLevel * (iris - pupil);
    // Lashes reaching the pupil are thin: opened away, they do not join it.
    const int thin = std::max(3, int(c.radius / 8) | 1);
    cv::morphologyEx(dark, dark, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(thin, thin)));
    const cv::Point seed(int(c.centre.x()) - window.x, int(c.centre.y()) - window.y);
    if (!window.contains(cv::Point(int(c.centre.x()), int(c.centre.y()))) || !dark.at<uchar>(seed))
        return std::nullopt;
    cv::Mat region = cv::Mat::zeros(dark.rows + 2, dark.cols + 2, CV_8U);
    cv::floodFill(dark, region, seed, cv::Scalar(255), nullptr, cv::Scalar(0), cv::Scalar(0),
                  4 | cv::FLOODFILL_MASK_ONLY | (255 << 8));
    std::vector<cv::Point> pixels;
    cv::findNonZero(region(cv::Rect(1, 1, dark.cols, dark.rows)), pixels);
    if (pixels.size() < 6)
        return std::nullopt;
    const cv::Rect box = cv::boundingRect(pixels);
    if (box.x == 0 || box.y == 0 || box.br().x >= dark.cols || box.br().y >= dark.rows)
        return std::nullopt; // spills into lids or lashes: not one disc
    std::vector<cv::Point> hull;
    cv::convexHull(pixels, hull);
    const cv::Moments m = cv::moments(hull);
    const double radius = std::sqrt(m.m00 / M_PI);
    // The dark region lies inside the edge, where the level is halfway: for a pupil seen whole its
    // hull is no wider than the outline.
    if (m.m00 <= 0 || radius <= c.radius)
        return std::nullopt;
    const QPointF centre(window.x + m.m10 / m.m00 + 0.5, window.y + m.m01 / m.m00 + 0.5);
    const auto whole = fits.fit(Circle{centre * f, radius * f}, 1, point);
    // The whole disc must also explain the edges better: the clear part's outline runs partly along
    // the veil, where the edge is weaker or missing.
    if (!whole || whole->radius < kWholerDisc * found.radius || whole->agreement < found.agreement)
        return std::nullopt;
    return whole;
}

// Dark round regions around a point in either plane, innermost first: the brightest channel
// separates a pupil from a brown iris best, the grey level one from a dark ring about the pupil
// when the pupil itself is tinted.
std::vector<RegionEllipse> darkRegionsAround(const EyePlanes& planes, const QPointF& p) {
    std::vector<RegionEllipse> out = roundRegionsAround(planes.value, p, false);
    for (const RegionEllipse& r : roundRegionsAround(planes.luma, p, false)) {
        const bool known = std::any_of(out.begin(), out.end(), [&](const RegionEllipse& o) {
            return std::abs(o.area - r.area) < 0.1 * o.area &&
                   std::hypot(o.centre.x() - r.centre.x(), o.centre.y() - r.centre.y()) < 0.1 * o.major;
        });
        if (!known)
            out.push_back(r);
    }
    std::sort(out.begin(), out.end(),
              [](const RegionEllipse& a, const RegionEllipse& b) { return a.area < b.area; });
    return out;
}

// The pupil near a point: the first dark region seen all round, flooded from one of the darkest
// spots near the point, that lies near enough for the point to be in it or on its iris.
struct NearPupil {
    RoundOutline outline; // in photo pixels
    bool holdsPoint = false;
};

std::optional<NearPupil> pupilNear(const EyePlanes& planes, AllRoundFits& fits, const QPointF& p) {
    const int f = planes.factor;
    const int side = std::max(planes.value.cols, planes.value.rows);
    const int reach = int(kPupilSearchShare * side);
    const cv::Rect window = cv::Rect(int(p.x()) - reach, int(p.y()) - reach, 2 * reach + 1, 2 * reach + 1) &
                            cv::Rect(0, 0, planes.value.cols, planes.value.rows);
    cv::Mat smooth;
    // Blurred enough that lashes, dark but thin, no longer pass for the darkest spots.
    cv::GaussianBlur(planes.value(window), smooth, cv::Size(0, 0), std::max(1.0, side / 100.0));
    cv::Mat open(smooth.size(), CV_8U, cv::Scalar(255));
    for (int seedNo = 0; seedNo < kPupilSeeds; ++seedNo) {
        double lowest = 0;
        cv::Point at;
        cv::minMaxLoc(smooth, &lowest, nullptr, &at, nullptr, open);
        if (open.at<uchar>(at) == 0)
            break;
        cv::circle(open, at, std::max(2, side / 15), cv::Scalar(0), cv::FILLED);
        const QPointF seed(window.x + at.x + 0.5, window.y + at.y + 0.5);
        for (const RegionEllipse& r : darkRegionsAround(planes, seed)) {
            if (r.touchesBorder)
                continue;
            const auto o = fits.fit(circleOf(r, f), 1, seed * f);
            if (!o)
                continue;
            // The darkest round region: the point is in it, on its iris, or too far to belong to it.
            const double d = std::hypot(p.x() * f - o->centre.x(), p.y() * f - o->centre.y());
            if (d < kMaxIrisShare * o->radius)
                return NearPupil{*o, d < o->radius};
            break;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point) {
    if (photo.isNull() || !QRectF(0, 0, photo.width(), photo.height()).contains(point))
        return std::nullopt;
    const EyePlanes planes = makeEyePlanes(photo);
    if (planes.value.cols < 8 || planes.value.rows < 8)
        return std::nullopt;
    const int f = planes.factor;
    const QPointF p = planes.reduced(point);
    const PhotoGray full(photo);
    // Outlines seen all round (the pupil) are read in the brightest channel, where the pupil's edge is
    // sharpest against a brown iris; whether a disc inside one is even stays a question of grey level,
    // since a pupil tinted by a reflection of the sky is uneven in its brightest channel.
    const PhotoGray brightest(photo, PhotoGray::Brightest);
    // Rays across a saturated reflection are skipped: its own edges are the strongest steps near a
    // pupil's border.
    AllRoundFits fits(brightest, f, kSaturated);
    const auto pupilMissed = [&](const RoundOutline& o) {
        return inDarkCore(planes.value, p, Circle{o.centre / f, o.radius / f});
    };
    // The dark round region around the point: the pupil, or the whole iris of a dark eye.
    std::optional<RoundOutline> dark;
    for (const RegionEllipse& r : darkRegionsAround(planes, p))
        if (!r.touchesBorder && (dark = fits.fit(circleOf(r, f), 1, point)))
            break;
    // Failing that, the darkest round region near the point, when it holds the point: a click on a
    // lighter spot of a pupil (a reflection, haze) floods no region of its own.
    const auto near = pupilNear(planes, fits, p);
    if (!dark && near && near->holdsPoint)
        dark = near->outline;
    if (dark)
        if (const auto inner = innerOutline(full, fits, *dark, point))
            dark = inner;
    for (int round = 0; dark && round < 2; ++round)
        if (const auto whole = wholeDarkDisc(planes, fits, *dark, point))
            dark = whole;
    if (dark && pupilMissed(*dark))
        return std::nullopt;
    // A pupil beside the point puts the point on an iris, whose outline is the limbus about that
    // pupil, and the limbus search keeps to circles about as concentric with it as a limbus is.
    std::optional<Circle> pupil, pupilInPhoto;
    if (near && !near->holdsPoint) {
        pupilInPhoto = Circle{near->outline.centre, near->outline.radius};
        pupil = Circle{pupilInPhoto->centre / f, pupilInPhoto->radius / f};
    }
    if (dark && (!pupil || holdsPupil(*dark, *pupilInPhoto)))
        return dark;
    // With no pupil in sight (a dark iris, a soft pupil edge) the limbus is still looked for, but
    // only for a point well away from its middle, where that pupil would be.
    // Beyond the limbus the side of the eye may step up again (skin, the corner of the eye): the
    // innermost outline whose step is comparable with the strongest one is taken. Candidates that
    // settle on the same outline count as one, with the strongest step among them.
    struct Found {
        RoundOutline outline;
        double step;
    };
    std::vector<Found> found;
    // A limbus about the point's own pupil zone says the point is in a pupil not found: no outline
    // about that limbus (the opening of the lids, say) may then be answered either.
    std::vector<RoundOutline> aboutPupil;
    const auto limbi = searchLimbus(planes.luma, p, pupil, kLimbusCandidates);
    for (const LimbusCandidate& c : limbi) {
        const auto outline =
            limbusAtFullSize(full, Circle{c.circle.centre * f, c.circle.radius * f}, f, point);
        if (outline && !pupil && inside(point, outline->centre, kPupilZone * outline->radius))
            aboutPupil.push_back(*outline);
        if (!outline || (pupil ? !holdsPupil(*outline, *pupilInPhoto)
                               : inside(point, outline->centre, kPupilZone * outline->radius)))
            continue;
        const auto same = std::find_if(found.begin(), found.end(),
                                       [&](const Found& o) { return sameOutline(o.outline, *outline); });
        if (same == found.end())
            found.push_back({*outline, c.step});
        else
            same->step = std::max(same->step, c.step);
    }
    double strongest = 0;
    for (const Found& o : found)
        strongest = std::max(strongest, o.step);
    const Found* limbus = nullptr;
    for (const Found& o : found)
        if (o.step >= kComparableStep * strongest && (!limbus || o.outline.radius < limbus->outline.radius))
            limbus = &o;
    const auto holdsPupilZone = [&](const RoundOutline& o) {
        return std::any_of(aboutPupil.begin(), aboutPupil.end(), [&](const RoundOutline& inner) {
            return inner.radius < o.radius && inside(inner.centre, o.centre, o.radius);
        });
    };
    if (limbus)
        return pupilMissed(limbus->outline) || holdsPupilZone(limbus->outline)
                   ? std::nullopt
                   : std::optional<RoundOutline>(limbus->outline);
    if (pupil)
        return std::nullopt;
    // A large bright round field, as on fundus photos, framed by the camera's black mask where the
    // frame leaves room for it: the white of an eye and the skin about it are no such field. A point
    // on a dark spot in it, or in the pupil zone of a limbus inside it, is in a pupil not found inside a
    // camera's round aperture: no field is answered for it.
    const double planeArea = double(planes.value.cols) * planes.value.rows;
    for (const RegionEllipse& r : roundRegionsAround(planes.value, p, true)) {
        if (r.area < kMinFieldShare * planeArea)
            continue;
        Circle start = circleOf(r, 1);
        if (r.touchesBorder)
            start = fieldRim(planes.value, start).value_or(start);
        if (const auto outline = fits.fit(Circle{start.centre * f, start.radius * f}, -1, point)) {
            const Circle field{outline->centre / f, outline->radius / f};
            return framedInBlack(planes.value, field) && !onDarkSpot(planes.value, p, field) &&
                           !holdsPupilZone(*outline)
                       ? outline
                       : std::nullopt;
        }
    }
    return std::nullopt;
}

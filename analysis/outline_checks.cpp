#include "outline_checks.h"

#include "numerics.h"
#include "ray_edges.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

const char* outlineCheckName(OutlineCheck check) {
    static const char* const names[] = {"none",
                                        "off-photo",
                                        "few-edges",
                                        "no-ellipse",
                                        "agreement",
                                        "hidden-arc",
                                        "too-small",
                                        "radius-changed",
                                        "centre-moved",
                                        "scatter",
                                        "too-oval",
                                        "ellipse-off-circle",
                                        "no-step-all-round",
                                        "point-outside",
                                        "limbus-both-sides",
                                        "limbus-radius-changed",
                                        "limbus-centre-moved",
                                        "limbus-point-outside",
                                        "limbus-scatter",
                                        "limbus-sclera-off-photo",
                                        "no-limbus-step",
                                        "limbus-off-pupil",
                                        "limbus-about-point",
                                        "dark-core",
                                        "pupil-zone",
                                        "field-unframed",
                                        "field-dark-spot",
                                        "limbus-not-white"};
    static_assert(std::size(names) == size_t(OutlineCheck::LimbusNotWhite) + 1, "a name for every check");
    return names[size_t(check)];
}

bool inUnseenPupil(OutlineCheck check) {
    return check == OutlineCheck::DarkCore || check == OutlineCheck::PupilZone ||
           check == OutlineCheck::LimbusAboutPoint;
}

namespace {

// A check measures one number of the evidence and refuses it beyond a limit: below its least, above
// its most (the other bound left infinite).
struct Measure {
    double value, least, most;
};
constexpr double kNone = std::numeric_limits<double>::infinity();

template <typename Evidence> struct NamedCheck {
    OutlineCheck check;
    Measure (*measure)(const Evidence&, const OutlineTuning&);
};

template <typename Evidence, size_t n>
Refusal firstRefusal(const NamedCheck<Evidence> (&checks)[n], const Evidence& e) {
    const OutlineTuning& t = tuning().outline;
    for (const NamedCheck<Evidence>& c : checks) {
        const Measure m = c.measure(e, t);
        if (m.value < m.least)
            return Refusal(c.check, m.value, m.least);
        if (m.value > m.most)
            return Refusal(c.check, m.value, m.most);
    }
    return OutlineCheck::None;
}

double distance(const QPointF& a, const QPointF& b) {
    const QPointF d = a - b;
    return std::hypot(d.x(), d.y());
}

using AllRound = AllRoundEvidence;
const NamedCheck<AllRound> allRoundChecks[] = {
    {OutlineCheck::Agreement,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{e.agreement, t.minAgreement, kNone};
     }},
    {OutlineCheck::HiddenArc,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{largestGapDegrees(e.angles), -kNone, t.maxGapDegrees};
     }},
    {OutlineCheck::TooSmall,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{
             e.circle.radius,
             std::max(t.leastRadiusPixels, t.minRadiusShare * std::max(e.full.width(), e.full.height())),
             kNone};
     }},
    {OutlineCheck::RadiusChanged,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{e.circle.radius / e.start.radius, t.minRadiusChange, t.maxRadiusChange};
     }},
    {OutlineCheck::CentreMoved,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{distance(e.circle.centre, e.start.centre) / e.start.radius, -kNone, t.maxCentreMove};
     }},
    {OutlineCheck::Scatter,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{e.typicalDistance, -kNone,
                        std::max(t.leastScatterPixels, t.maxScatter * e.circle.radius)};
     }},
    {OutlineCheck::TooOval,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{e.ellipse.minor / e.ellipse.major, t.minRoundOutline, kNone};
     }},
    {OutlineCheck::EllipseOffCircle,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{distance(e.ellipse.centre, e.circle.centre) / e.circle.radius, -kNone,
                        t.maxEllipseShift};
     }},
    // The costliest, last: edges can be found on a circle that only parts a dark pupil from a
    // lighter part of the same pupil (haze, a reflection lying on it).
    {OutlineCheck::NoStepAllRound,
     [](const AllRound& e, const OutlineTuning& t) {
         return Measure{steppingShare(e.full, Circle{e.ellipse.centre, e.circle.radius}, e.sign),
                        t.minStepping, kNone};
     }},
};

using Limbus = LimbusEvidence;
const NamedCheck<Limbus> limbusChecks[] = {
    // The side with fewer edges on the limbus, as a share of the rays cast on one side.
    {OutlineCheck::LimbusBothSides,
     [](const Limbus& e, const OutlineTuning& t) {
         const double shown =
             e.lateralRays > 0 ? std::min(e.sides[0], e.sides[1]) / (e.lateralRays / 2.0) : kNone;
         return Measure{shown, t.minSideShare, kNone};
     }},
    {OutlineCheck::LimbusRadiusChanged,
     [](const Limbus& e, const OutlineTuning& t) {
         return Measure{e.circle.radius / e.start.radius, t.limbusMinRadiusChange, t.limbusMaxRadiusChange};
     }},
    {OutlineCheck::LimbusCentreMoved,
     [](const Limbus& e, const OutlineTuning& t) {
         return Measure{distance(e.circle.centre, e.start.centre) / e.start.radius, -kNone,
                        t.limbusMaxCentreMove};
     }},
    // The point's distance from the centre, in radii: it must lie inside, not on the edge itself.
    {OutlineCheck::LimbusPointOutside,
     [](const Limbus& e, const OutlineTuning& t) {
         return Measure{distance(e.point, e.circle.centre) / e.circle.radius, -kNone, t.limbusHoldsPoint};
     }},
    {OutlineCheck::LimbusScatter,
     [](const Limbus& e, const OutlineTuning& t) {
         return Measure{e.scale, -kNone, std::max(t.leastScatterPixels, t.maxScatter * e.circle.radius)};
     }},
    // The white of the eye must show beyond it on both sides, within the photo: a step at the
    // photo's own edge is no limbus. Measured as the photo's reach on the nearer side, in radii.
    {OutlineCheck::LimbusScleraOffPhoto,
     [](const Limbus& e, const OutlineTuning& t) {
         const double reach = std::min(e.circle.centre.x(), e.full.width() - e.circle.centre.x());
         return Measure{reach / e.circle.radius, t.scleraShare, kNone};
     }},
};

} // namespace

Refusal allRoundRefusal(const AllRoundEvidence& e) {
    return firstRefusal(allRoundChecks, e);
}

Refusal limbusRefusal(const LimbusEvidence& e) {
    return firstRefusal(limbusChecks, e);
}

std::string refusalText(const Refusal& r) {
    std::string text = outlineCheckName(r.check);
    if (std::isnan(r.value) || std::isnan(r.limit))
        return text;
    char measure[64];
    std::snprintf(measure, sizeof measure, " %.3g %s %.3g", r.value, r.value < r.limit ? "<" : ">", r.limit);
    return text + measure;
}

namespace {

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

// Appends the plane's level at q, when q lies on the plane.
void sampleAt(const cv::Mat& value, const QPointF& q, std::vector<uchar>& to) {
    if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
        to.push_back(value.at<uchar>(int(q.y()), int(q.x())));
}

} // namespace

double largestGapDegrees(std::vector<double> angles) {
    if (angles.empty())
        return 360;
    std::sort(angles.begin(), angles.end());
    double gap = angles.front() + 360 - angles.back();
    for (size_t i = 1; i < angles.size(); ++i)
        gap = std::max(gap, angles[i] - angles[i - 1]);
    return gap;
}

// Beyond a circle that only parts a dark pupil from a lighter part of the same pupil the pupil goes
// on, no lighter than inside: few directions step up across it.
double steppingShare(const PhotoGray& full, const Circle& c, int sign) {
    const OutlineTuning& t = tuning().outline;
    const int directions = t.steppingDirections;
    std::vector<double> steps;
    for (int i = 0; i < directions; ++i) {
        const double a = 2 * M_PI * i / directions;
        const QPointF u(std::cos(a), std::sin(a));
        const QPointF in = c.centre + u * (t.stepInside * c.radius),
                      out = c.centre + u * (t.stepOutside * c.radius);
        float vin = 0, vout = 0;
        if (full.sample(in.x(), in.y(), vin) && full.sample(out.x(), out.y(), vout))
            steps.push_back(sign * (vout - vin));
    }
    // Mostly off the photo: nothing to tell. A bright field may fill the frame, leaving only its corners
    // to see beyond it; whether those are dark is asked apart.
    if (steps.empty() ||
        steps.size() < size_t(directions / (sign > 0 ? t.darkShownDivisor : t.brightShownDivisor)))
        return 0;
    const double cut = std::max(t.minGreyStep, t.typicalStepShare * medianOf(steps));
    return double(std::count_if(steps.begin(), steps.end(), [&](double s) { return s >= cut; })) /
           steps.size();
}

// An outline found around such a point would be the limbus answered for a click in the pupil. Both
// levels are medians, the outline's over a ring on its sides, away from the lids.
bool inDarkCore(const cv::Mat& value, const QPointF& point, const Circle& outline) {
    const OutlineTuning& t = tuning().outline;
    const double reach = std::max(t.leastReachPixels, t.coreReachShare * outline.radius);
    std::vector<uchar> core = levelsWithin(value, point, reach), ring;
    for (int i = 0; i < t.coreDirections; ++i) {
        const double a = 2 * M_PI * i / t.coreDirections;
        if (!isLateral(a))
            continue;
        for (double share = t.coreRingFrom; share <= t.coreRingTo; share += t.coreRingStep)
            sampleAt(value, outline.centre + outline.radius * share * QPointF(std::cos(a), std::sin(a)),
                     ring);
    }
    if (!inside(point, outline.centre, t.coreShare * outline.radius) || core.empty() || ring.empty())
        return false;
    const double coreLevel = medianOf(core), ringLevel = medianOf(ring);
    return coreLevel < t.darkCore * ringLevel && ringLevel - coreLevel >= t.darkCoreStep;
}

// What the photo shows just beyond a fundus camera's field is far darker than the field itself.
bool framedInBlack(const cv::Mat& value, const Circle& field, double frame) {
    const OutlineTuning& t = tuning().outline;
    std::vector<uchar> in, out;
    for (int i = 0; i < t.frameDirections; ++i) {
        const double a = 2 * M_PI * i / t.frameDirections;
        const QPointF u(std::cos(a), std::sin(a));
        for (double share : t.frameShares)
            sampleAt(value, field.centre + field.radius * share * u, share < 1 ? in : out);
    }
    if (in.empty() || out.size() < size_t(t.leastFrameSamples))
        return true; // nothing shows beyond the field: the photo is cropped to it
    const double level = medianOf(in);
    return frame < t.fieldFrame * level && medianOf(out) < frame + t.frameShare * (level - frame);
}

double darkestLevel(const cv::Mat& value) {
    int histogram[256] = {};
    for (int y = 0; y < value.rows; ++y)
        for (const uchar *p = value.ptr<uchar>(y), *end = p + value.cols; p < end; ++p)
            ++histogram[*p];
    const double wanted = 0.02 * value.total();
    double seen = 0;
    for (int level = 0; level < 256; ++level)
        if ((seen += histogram[level]) >= wanted)
            return level;
    return 255;
}

// A pupil not found inside a camera's round aperture, say, is no point of the field.
bool onDarkSpot(const cv::Mat& value, const QPointF& point, const Circle& field) {
    const OutlineTuning& t = tuning().outline;
    const double reach = std::max(t.leastReachPixels, t.spotReachShare * field.radius);
    std::vector<uchar> spot = levelsWithin(value, point, reach), in;
    for (int i = 0; i < t.frameDirections; ++i) {
        const double a = 2 * M_PI * i / t.frameDirections;
        for (double share : t.fieldInsideShares)
            sampleAt(value, field.centre + field.radius * share * QPointF(std::cos(a), std::sin(a)), in);
    }
    return !spot.empty() && !in.empty() && medianOf(spot) < t.fieldFrame * medianOf(in);
}

double beyondGreyShare(const cv::Mat& value, const cv::Mat& luma, const Circle& limbus) {
    const OutlineTuning& t = tuning().outline;
    std::vector<double> shares;
    for (int i = 0; i < t.coreDirections; ++i) {
        const double a = 2 * M_PI * i / t.coreDirections;
        if (!isLateral(a))
            continue;
        for (double share : {1.1, 1.2, 1.3}) {
            const QPointF q = limbus.centre + limbus.radius * share * QPointF(std::cos(a), std::sin(a));
            if (q.x() < 0 || q.y() < 0 || q.x() >= value.cols || q.y() >= value.rows)
                continue;
            const int v = value.at<uchar>(int(q.y()), int(q.x()));
            if (v > 0)
                shares.push_back(double(luma.at<uchar>(int(q.y()), int(q.x()))) / v);
        }
    }
    return medianOf(shares, 1.0);
}

bool darkMiddle(const cv::Mat& luma, const Circle& limbus) {
    const OutlineTuning& t = tuning().outline;
    std::vector<uchar> beyond;
    for (int i = 0; i < t.coreDirections; ++i) {
        const double a = 2 * M_PI * i / t.coreDirections;
        if (isLateral(a))
            for (double share : {1.1, 1.2, 1.3})
                sampleAt(luma, limbus.centre + limbus.radius * share * QPointF(std::cos(a), std::sin(a)),
                         beyond);
    }
    const std::vector<uchar> middle = levelsWithin(luma, limbus.centre, 0.5 * limbus.radius);
    return middle.empty() || beyond.empty() || medianOf(middle) < medianOf(beyond);
}

bool sameOutline(const RoundOutline& a, const RoundOutline& b) {
    return sameCircle(Circle{a.centre, a.radius}, Circle{b.centre, b.radius},
                      tuning().outline.sameOutlineShare);
}

bool holdsPupil(const RoundOutline& limbus, const Circle& pupil) {
    const LimbusTuning& t = tuning().limbus;
    const QPointF off = limbus.centre - pupil.centre;
    return limbus.radius >= t.minPupilRatio * pupil.radius &&
           std::hypot(off.x(), off.y()) <= t.maxDecentring * limbus.radius;
}

bool holdsPupilZone(const RoundOutline& outline, const std::vector<RoundOutline>& aboutPupil) {
    return std::any_of(aboutPupil.begin(), aboutPupil.end(), [&](const RoundOutline& inner) {
        return inner.radius < outline.radius && inside(inner.centre, outline.centre, outline.radius);
    });
}

#include "pupil_search.h"

#include "numerics.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Dark round regions around a point in either plane, innermost first: the brightest channel
// separates a pupil from a brown iris best, the grey level one from a dark ring about the pupil
// when the pupil itself is tinted.
std::vector<RegionEllipse> darkRegionsAround(const EyePlanes& planes, const QPointF& p) {
    const double same = tuning().outline.sameRegionShare;
    std::vector<RegionEllipse> out = roundRegionsAround(planes.value, p, false);
    for (const RegionEllipse& r : roundRegionsAround(planes.luma, p, false)) {
        const bool known = std::any_of(out.begin(), out.end(), [&](const RegionEllipse& o) {
            return std::abs(o.area - r.area) < same * o.area &&
                   std::hypot(o.centre.x() - r.centre.x(), o.centre.y() - r.centre.y()) < same * o.major;
        });
        if (!known)
            out.push_back(r);
    }
    std::sort(out.begin(), out.end(),
              [](const RegionEllipse& a, const RegionEllipse& b) { return a.area < b.area; });
    return out;
}

// The dark round region around the point, refined at full size: the pupil, or the whole iris of a
// dark eye.
std::optional<RoundOutline> darkOutlineAround(ClickSearch& s) {
    std::optional<RoundOutline> dark;
    for (const RegionEllipse& r : darkRegionsAround(s.planes, s.p))
        if (!r.touchesBorder && (dark = s.fits.fit(circleOf(r, s.f), 1, s.point)))
            break;
    return dark;
}

// Median levels round circles about a centre, from a small share of r0 to past it, step apart:
// medians, so that reflections and lashes do not count.
std::vector<double> medianRings(const PhotoGray& full, const QPointF& centre, double r0, double step) {
    const OutlineTuning& t = tuning().outline;
    std::vector<double> ring;
    std::vector<float> values;
    for (double r = t.innerFrom * r0; r <= t.innerTo * r0; r += step) {
        values.clear();
        for (int i = 0; i < t.innerRays; ++i) {
            const double a = 2 * M_PI * i / t.innerRays;
            float v = 0;
            if (full.sample(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a), v))
                values.push_back(v);
        }
        ring.push_back(medianOf(values));
    }
    return ring;
}

// Whether the disc of radius rIn is clearly darker than the ring about it, a pupil, not a ring of the
// iris; and even, as a pupil is, not a ring of the iris with the pupil inside it.
bool evenDarkDisc(const std::vector<double>& ring, double r0, double step, double rIn) {
    const OutlineTuning& t = tuning().outline;
    double disc = 0, ringMean = 0, lowest = 1e9, highest = -1e9;
    int nDisc = 0, nRing = 0;
    for (size_t k = 0; k < ring.size(); ++k) {
        const double r = t.innerFrom * r0 + k * step;
        if (r >= t.discFrom * rIn && r <= t.discTo * rIn)
            disc += ring[k], ++nDisc, lowest = std::min(lowest, ring[k]),
                                      highest = std::max(highest, ring[k]);
        else if (r >= t.ringFrom * rIn && r <= t.outerEdgeFrom * r0)
            ringMean += ring[k], ++nRing;
    }
    if (!nDisc || !nRing)
        return false;
    disc /= nDisc, ringMean /= nRing;
    return !(disc > t.darkCore * ringMean || highest - lowest > t.discEvenness * (ringMean - disc));
}

// The radius of a darker disc about a centre inside a dark outline of radius r0: the strongest step
// up all round between a seventh and most of r0, when the disc is even and clearly darker than the
// ring about it.
std::optional<double> innerDiscRadius(const PhotoGray& full, const QPointF& centre, double r0) {
    const OutlineTuning& t = tuning().outline;
    const double step = std::max(t.leastRingStep, r0 / t.innerRingsPerRadius);
    const std::vector<double> ring = medianRings(full, centre, r0, step);
    const auto stepAt = [&](size_t k) { return ring[k + 2] + ring[k + 1] - ring[k - 1] - ring[k - 2]; };
    double outerStep = 0, innerStep = 0;
    size_t innerAt = 0;
    for (size_t k = 2; k + 2 < ring.size(); ++k) {
        const double r = t.innerFrom * r0 + k * step;
        if (r >= t.outerEdgeFrom * r0)
            outerStep = std::max(outerStep, stepAt(k));
        else if (r >= t.innerLeast * r0 && stepAt(k) > innerStep)
            innerStep = stepAt(k), innerAt = k;
    }
    if (innerAt == 0 || innerStep < t.innerStepShare * outerStep)
        return std::nullopt;
    const double rIn = t.innerFrom * r0 + innerAt * step;
    if (!evenDarkDisc(ring, r0, step, rIn))
        return std::nullopt;
    return rIn;
}

// A darker disc inside a dark outline that holds the point, as a pupil inside a dark ring of the
// iris around it or inside the whole iris of a dark eye.
std::optional<RoundOutline> innerOutline(ClickSearch& s, const RoundOutline& outer) {
    const auto rIn = innerDiscRadius(s.full, outer.centre, outer.radius);
    const auto first = rIn ? s.fits.fit(Circle{outer.centre, *rIn}, 1, s.point) : std::nullopt;
    if (!first)
        return std::nullopt;
    // A pupil off the outline's centre blurs the rings read about that centre, and its step with
    // them: they are read again about the disc found.
    const auto again = innerDiscRadius(s.full, first->centre, outer.radius);
    const auto second = again ? s.fits.fit(Circle{first->centre, *again}, 1, s.point) : std::nullopt;
    return second ? second : first;
}

// The median level of the plane on rays about a circle, between two shares of its radius; -1 for
// none on the plane.
double levelBetween(const cv::Mat& value, const Circle& c, double from, double to) {
    const OutlineTuning& t = tuning().outline;
    std::vector<uchar> v;
    for (int i = 0; i < t.veilDirections; ++i) {
        const double a = 2 * M_PI * i / t.veilDirections;
        for (double s = from; s <= to + 1e-9; s += t.veilStep) {
            const QPointF q = c.centre + c.radius * s * QPointF(std::cos(a), std::sin(a));
            if (q.x() >= 0 && q.y() >= 0 && q.x() < value.cols && q.y() < value.rows)
                v.push_back(value.at<uchar>(int(q.y()), int(q.x())));
        }
    }
    return medianOf(std::move(v), -1.0);
}

// The pixels of the dark region about a circle (plane pixels) at a level, in the window's
// coordinates; none when it spills out of the window (into lids or lashes: not one disc).
std::optional<std::vector<cv::Point>> darkRegionPixels(const cv::Mat& value, const Circle& c, double level,
                                                       const cv::Rect& window) {
    const OutlineTuning& t = tuning().outline;
    cv::Mat dark = value(window) <= level;
    // Lashes reaching the pupil are thin: opened away, they do not join it.
    const int thin = std::max(t.lashOpenPixels, int(c.radius / t.lashOpenDivisor) | 1);
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
    if (pixels.size() < size_t(t.leastDiscPixels))
        return std::nullopt;
    const cv::Rect box = cv::boundingRect(pixels);
    if (box.x == 0 || box.y == 0 || box.br().x >= dark.cols || box.br().y >= dark.rows)
        return std::nullopt;
    return pixels;
}

// The whole of a pupil of which an outline found is only the clear part, a veil (a reflection of a
// window, haze) lying over the rest: the dark region about the outline, taken at a level well below
// the iris, with its holes and notches closed by its convex hull, refined at full size. None when
// that region is no larger than the outline, as for a pupil seen whole.
std::optional<RoundOutline> wholeDarkDisc(ClickSearch& s, const RoundOutline& found) {
    const OutlineTuning& t = tuning().outline;
    const int f = s.f;
    const Circle c{found.centre / f, found.radius / f};
    const cv::Mat& value = s.planes.value;
    const double pupil = levelBetween(value, c, t.veilPupilFrom, t.veilPupilTo),
                 iris = levelBetween(value, c, t.veilIrisFrom, t.veilIrisTo);
    if (pupil < 0 || iris - pupil < t.minGreyStep)
        return std::nullopt;
    const int reach = int(std::ceil(t.veilWindow * c.radius));
    const cv::Rect window =
        cv::Rect(int(c.centre.x()) - reach, int(c.centre.y()) - reach, 2 * reach + 1, 2 * reach + 1) &
        cv::Rect(0, 0, value.cols, value.rows);
    const auto pixels = darkRegionPixels(value, c, pupil + t.veilLevel * (iris - pupil), window);
    if (!pixels)
        return std::nullopt;
    std::vector<cv::Point> hull;
    cv::convexHull(*pixels, hull);
    const cv::Moments m = cv::moments(hull);
    const double radius = std::sqrt(m.m00 / M_PI);
    // The dark region lies inside the edge, where the level is halfway: for a pupil seen whole its
    // hull is no wider than the outline.
    if (m.m00 <= 0 || radius <= c.radius)
        return std::nullopt;
    const QPointF centre(window.x + m.m10 / m.m00 + 0.5, window.y + m.m01 / m.m00 + 0.5);
    const auto whole = s.fits.fit(Circle{centre * f, radius * f}, 1, s.point);
    // The whole disc must also explain the edges better: the clear part's outline runs partly along
    // the veil, where the edge is weaker or missing.
    if (!whole || whole->radius < t.wholerDisc * found.radius || whole->agreement < found.agreement)
        return std::nullopt;
    return whole;
}

// The pupil near a point: the first dark region seen all round, flooded from one of the darkest
// spots near the point, that lies near enough for the point to be in it or on its iris.
struct NearPupil {
    RoundOutline outline; // in photo pixels
    bool holdsPoint = false;
};

std::optional<NearPupil> pupilNear(ClickSearch& s) {
    const OutlineTuning& t = tuning().outline;
    const EyePlanes& planes = s.planes;
    const int f = s.f;
    const QPointF p = s.p;
    const int side = std::max(planes.value.cols, planes.value.rows);
    const int reach = int(t.pupilSearchShare * side);
    const cv::Rect window = cv::Rect(int(p.x()) - reach, int(p.y()) - reach, 2 * reach + 1, 2 * reach + 1) &
                            cv::Rect(0, 0, planes.value.cols, planes.value.rows);
    cv::Mat smooth;
    // Blurred enough that lashes, dark but thin, no longer pass for the darkest spots.
    cv::GaussianBlur(planes.value(window), smooth, cv::Size(0, 0),
                     std::max(t.leastSeedBlur, side / t.seedBlurDivisor));
    cv::Mat open(smooth.size(), CV_8U, cv::Scalar(255));
    for (int seedNo = 0; seedNo < t.pupilSeeds; ++seedNo) {
        double lowest = 0;
        cv::Point at;
        cv::minMaxLoc(smooth, &lowest, nullptr, &at, nullptr, open);
        if (at.x < 0 || open.at<uchar>(at) == 0) // none left open: no place found
            break;
        cv::circle(open, at, std::max(t.seedSpacingPixels, side / t.seedSpacingDivisor), cv::Scalar(0),
                   cv::FILLED);
        const QPointF seed(window.x + at.x + 0.5, window.y + at.y + 0.5);
        for (const RegionEllipse& r : darkRegionsAround(planes, seed)) {
            if (r.touchesBorder)
                continue;
            const auto o = s.fits.fit(circleOf(r, f), 1, seed * f);
            if (!o)
                continue;
            // The darkest round region: the point is in it, on its iris, or too far to belong to it.
            const double d = std::hypot(p.x() * f - o->centre.x(), p.y() * f - o->centre.y());
            if (d < t.maxIrisShare * o->radius)
                return NearPupil{*o, d < o->radius};
            break;
        }
    }
    return std::nullopt;
}

} // namespace

Circle circleOf(const RegionEllipse& r, int factor) {
    return Circle{r.centre * factor, std::sqrt(r.major * r.minor) * factor};
}

PupilSearch searchPupil(ClickSearch& s) {
    PupilSearch out;
    out.dark = darkOutlineAround(s);
    // Failing that, the darkest round region near the point, when it holds the point: a click on a
    // lighter spot of a pupil (a reflection, haze) floods no region of its own.
    const auto near = pupilNear(s);
    if (!out.dark && near && near->holdsPoint)
        out.dark = near->outline;
    if (out.dark)
        if (const auto inner = innerOutline(s, *out.dark))
            out.dark = inner;
    for (int round = 0; out.dark && round < tuning().outline.wholeDiscRounds; ++round)
        if (const auto whole = wholeDarkDisc(s, *out.dark))
            out.dark = whole;
    if (near && !near->holdsPoint)
        out.besidePoint = Circle{near->outline.centre, near->outline.radius};
    return out;
}

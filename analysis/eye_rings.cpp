#include "eye_rings.h"

#include "dark_spots.h"
#include "eye_planes.h"
#include "limbus_search.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kWorkRadius = 50;   // limbus radius in the plane the pupil is searched on, pixels
constexpr double kPupilOffset = 0.2; // greatest distance of the pupil's centre, in limbus radii
constexpr double kPupilLeast = 0.18; // pupil radii, in limbus radii
constexpr double kPupilMost = 0.65;
constexpr double kMinPupilEdge = 10; // grey levels: a weaker step is no pupil
constexpr int kAngles = 64;          // samples round each circle
constexpr int kCandidatesPerSeed = 3;
constexpr size_t kBroadSeeds = 3;     // limbus candidates about each dark spot
constexpr double kLeastLimbus = 0.15; // of the photo's shorter side: a photo to compare shows the eye larger
constexpr double kMinLimbusStep = 8;  // grey levels across the sharp edge
constexpr double kLeastPupil = 0.02;
constexpr double kSeedEyes[] = {0.15, 0.35}; // limbus radii about a dark spot, in the shorter side
constexpr double kMinInside = 0.7;
constexpr double kMinIrisContrast = 4; // grey levels the white of the eye lies above the iris     // share of
                                       // a limbus's circumference inside the photo
// A ring of reflections inside a pupil outlines a smaller dark disc: reflections lying all round
// on and just outside a dark disc's edge mean it is no pupil. A small pupil's own ring of
// reflections lies inside it; a single corneal reflection covers few directions.
constexpr double kMaxGlareShare = 0.25;
constexpr double kGlareBand[] = {1.0, 1.15, 1.3}; // radii looked at, in the disc's
constexpr double kLateral = 40 * M_PI / 180;      // the sides of the eye, from the horizontal
constexpr double kSharpBand = 0.06;               // of the limbus radius: bands either side of its sharp edge
constexpr double kSoftBand = 0.15;                // of the limbus radius: bands either side of a soft edge
constexpr double kSharpReach = 0.05;    // of the limbus radius: how far the sharp edge is looked for
constexpr double kSideDecentring = 0.1; // of the limbus radius: a limbus's centre from its pupil's
constexpr double kHeightDecentring = 0.04;

// Unit directions round a circle, and on the two sides of the eye (right, then left).
struct Directions {
    QPointF all[kAngles], sides[2][kAngles];
    Directions() {
        for (int k = 0; k < kAngles; ++k) {
            const double a = 2 * M_PI * k / kAngles;
            all[k] = QPointF(std::cos(a), std::sin(a));
            for (int s = 0; s < 2; ++s) {
                const double b = (s == 0 ? 0 : M_PI) + kLateral * (2.0 * k / (kAngles - 1) - 1);
                sides[s][k] = QPointF(std::cos(b), std::sin(b));
            }
        }
    }
};
const Directions kDirections;

struct Found {
    Circle circle;
    double edge = 0;
};

// Mean grey level round circles about one centre, one per whole radius; NaN where most of the
// circle leaves the plane.
std::vector<double> ringMeans(const cv::Mat& plane, double cx, double cy, int radii) {
    std::vector<double> out(radii + 1, NAN);
    for (int r = 1; r <= radii; ++r) {
        double sum = 0;
        int n = 0;
        for (const QPointF& u : kDirections.all) {
            const double x = cx + r * u.x(), y = cy + r * u.y();
            if (x < 0 || y < 0 || x >= plane.cols - 1 || y >= plane.rows - 1)
                continue;
            const int x0 = int(x), y0 = int(y);
            const double fx = x - x0, fy = y - y0;
            const float* r0 = plane.ptr<float>(y0) + x0;
            const float* r1 = plane.ptr<float>(y0 + 1) + x0;
            sum += (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
            ++n;
        }
        if (2 * n > kAngles)
            out[r] = sum / n;
    }
    return out;
}

// Share of the directions round a circle in which a mask is set somewhere from its edge to just
// beyond it.
double maskShare(const cv::Mat& mask, const QPointF& centre, double radius) {
    int on = 0, n = 0;
    for (const QPointF& u : kDirections.all) {
        bool hit = false, seen = false;
        for (const double share : kGlareBand) {
            const int x = int(centre.x() + share * radius * u.x() + 0.5),
                      y = int(centre.y() + share * radius * u.y() + 0.5);
            if (x < 0 || y < 0 || x >= mask.cols || y >= mask.rows)
                continue;
            seen = true;
            hit = hit || mask.at<uchar>(y, x) != 0;
        }
        n += seen;
        on += hit;
    }
    return n ? double(on) / n : 0;
}

// The pupil inside a limbus given in the plane's pixels: the circle with the strongest step up all
// round, the step measured between bands a sixth of the radius wide on either side. A circle drawn
// by reflections (a ring light's spots lie round it) is no pupil, however strong its step.
std::optional<Found> pupilInPlane(const cv::Mat& value, const cv::Mat& glare, const Circle& limbus) {
    const double s = kWorkRadius / limbus.radius;
    const double reach = limbus.radius * (kPupilMost + kPupilOffset + 0.2);
    const cv::Rect box =
        cv::Rect(int(std::floor(limbus.centre.x() - reach)), int(std::floor(limbus.centre.y() - reach)),
                 int(2 * reach) + 2, int(2 * reach) + 2) &
        cv::Rect(0, 0, value.cols, value.rows);
    if (box.width < 4 || box.height < 4)
        return std::nullopt;
    const cv::Size size(std::max(4, int(box.width * s)), std::max(4, int(box.height * s)));
    cv::Mat work, spots;
    cv::resize(value(box), work, size, 0, 0, s < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::resize(glare(box), spots, size, 0, 0, cv::INTER_LINEAR);
    cv::dilate(spots, spots, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3)));
    work.convertTo(work, CV_32F);
    cv::GaussianBlur(work, work, cv::Size(0, 0), 1.0);
    const double sx = double(work.cols) / box.width, sy = double(work.rows) / box.height;
    const QPointF centre((limbus.centre.x() - box.x) * sx - 0.5, (limbus.centre.y() - box.y) * sy - 0.5);
    const int offset = int(kPupilOffset * kWorkRadius), least = int(kPupilLeast * kWorkRadius),
              most = int(kPupilMost * kWorkRadius);
    const int outer = most + std::max(2, int(std::lround(most / 6.0))) + 1;
    std::vector<Found> perRadius(most + 1);
    // Each centre's ring means are read once: the centres tried are the middle's offsets by whole
    // pixels, and the pixels about one radius's best are often those about another's.
    const int span = 2 * offset + 3;
    std::vector<std::vector<double>> means(size_t(span) * span);
    std::vector<QPoint> bestOffset(most + 1);
    const auto tryCentre = [&](int dx, int dy, int from, int to) {
        std::vector<double>& m = means[size_t(dy + offset + 1) * span + dx + offset + 1];
        const double cx = centre.x() + dx, cy = centre.y() + dy;
        if (m.empty())
            m = ringMeans(work, cx, cy, outer);
        for (int r = std::max(least, from); r <= std::min(most, to); ++r) {
            const int b = std::max(2, int(std::lround(r / 6.0)));
            double in = 0, out = 0;
            for (int k = 1; k <= b; ++k)
                in += m[r - k], out += m[r + k];
            const double edge = (out - in) / b;
            if (edge > perRadius[r].edge) { // NaN compares false
                perRadius[r] = {Circle{QPointF(cx, cy), double(r)}, edge};
                bestOffset[r] = QPoint(dx, dy);
            }
        }
    };
    // Every second centre, then the pixels about each radius's best.
    for (int dy = -offset; dy <= offset; dy += 2)
        for (int dx = -offset; dx <= offset; dx += 2)
            if (dx * dx + dy * dy <= offset * offset)
                tryCentre(dx, dy, least, most);
    const std::vector<Found> coarse = perRadius;
    const std::vector<QPoint> coarseOffset = bestOffset;
    for (int r = least; r <= most; ++r)
        if (coarse[r].edge >= kMinPupilEdge)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy)
                        tryCentre(coarseOffset[r].x() + dx, coarseOffset[r].y() + dy, r, r);
    std::sort(perRadius.begin(), perRadius.end(),
              [](const Found& a, const Found& b) { return a.edge > b.edge; });
    for (const Found& f : perRadius) {
        if (f.edge < kMinPupilEdge)
            break;
        if (maskShare(spots, f.circle.centre, f.circle.radius) > kMaxGlareShare)
            continue;
        Found out = f;
        out.circle = Circle{
            QPointF((f.circle.centre.x() + 0.5) / sx + box.x, (f.circle.centre.y() + 0.5) / sy + box.y),
            f.circle.radius / s};
        return out;
    }
    return std::nullopt;
}

// The pupil in whichever of the brightest channel and the red channel shows its edge better.
std::optional<Found> pupilIn(const EyePlanes& planes, const Circle& limbus) {
    auto best = pupilInPlane(planes.value, planes.glare, limbus);
    if (auto red = pupilInPlane(planes.red, planes.glare, limbus); red && (!best || red->edge > best->edge))
        best = red;
    return best;
}

// The step up across a limbus on the sides of the eye, between narrow bands: the weaker side's.
double lateralStep(const cv::Mat& plane, const Circle& c, int band) {
    double side[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        double in = 0, out = 0;
        int n = 0;
        for (const QPointF& u : kDirections.sides[s]) {
            const double ux = u.x(), uy = u.y();
            for (int d = 1; d <= band; ++d) {
                const int xo = int(c.centre.x() + (c.radius + d) * ux),
                          yo = int(c.centre.y() + (c.radius + d) * uy);
                const int xi = int(c.centre.x() + (c.radius - d) * ux),
                          yi = int(c.centre.y() + (c.radius - d) * uy);
                if (xo < 0 || yo < 0 || xo >= plane.cols || yo >= plane.rows || xi < 0 || yi < 0 ||
                    xi >= plane.cols || yi >= plane.rows)
                    continue;
                out += plane.at<uchar>(yo, xo), in += plane.at<uchar>(yi, xi), ++n;
            }
        }
        if (n < band * kAngles / 2)
            return 0;
        side[s] = (out - in) / n;
    }
    return std::min(side[0], side[1]);
}

// The grey levels along the rays of the eye's two sides about one centre, at the radii base + k for
// k from 0 to count - 1, summed along each ray: the lateral step of every circle about that centre is
// then read without sampling the plane again. Gives what lateralStep gives for those circles.
class SideRays {
public:
    SideRays(const cv::Mat& plane, const QPointF& centre, double base, int count) : count_(count) {
        sums_.assign(size_t(2 * kAngles) * (count + 1), 0);
        inside_.assign(size_t(2 * kAngles), {count, -1});
        for (int s = 0; s < 2; ++s)
            for (int a = 0; a < kAngles; ++a) {
                const QPointF& u = kDirections.sides[s][a];
                const size_t ray = size_t(s * kAngles + a);
                int* sum = &sums_[ray * (count + 1)];
                auto& [first, last] = inside_[ray];
                for (int k = 0; k < count; ++k) {
                    const double t = base + k;
                    const int x = int(centre.x() + t * u.x()), y = int(centre.y() + t * u.y());
                    const bool in = x >= 0 && y >= 0 && x < plane.cols && y < plane.rows;
                    sum[k + 1] = sum[k] + (in ? plane.at<uchar>(y, x) : 0);
                    if (in) // a ray leaves the plane once: the radii inside it are one run
                        first = std::min(first, k), last = k;
                }
            }
    }

    // The step across radius base + k between bands of the given width: the weaker side's.
    double step(int k, int band) const {
        double side[2] = {0, 0};
        for (int s = 0; s < 2; ++s) {
            long out = 0, in = 0, n = 0;
            for (int a = 0; a < kAngles; ++a) {
                const size_t ray = size_t(s * kAngles + a);
                const auto [first, last] = inside_[ray];
                // Offsets d whose samples at k + d and k - d both lie inside the plane.
                const int from = std::max({1, first - k, k - last}),
                          to = std::min({band, last - k, k - first});
                if (to < from)
                    continue;
                const int* sum = &sums_[ray * (count_ + 1)];
                out += sum[k + to + 1] - sum[k + from];
                in += sum[k - from + 1] - sum[k - to];
                n += to - from + 1;
            }
            if (n < band * kAngles / 2)
                return 0;
            side[s] = double(out - in) / n;
        }
        return std::min(side[0], side[1]);
    }

private:
    int count_;
    std::vector<int> sums_;                   // per ray: sums of the first k samples, k = 0..count
    std::vector<std::pair<int, int>> inside_; // per ray: first and last k inside the plane
};

// Median grey level on the sides of the eye between two radii about a centre, in a plane's pixels.
double lateralLevel(const cv::Mat& plane, const QPointF& centre, double r0, double r1, double share = 0.5) {
    std::vector<uchar> levels;
    for (int s = 0; s < 2; ++s)
        for (const QPointF& u : kDirections.sides[s])
            for (int i = 0; i < 6; ++i) {
                const double r = r0 + (r1 - r0) * (i + 0.5) / 6;
                const int x = int(centre.x() + r * u.x()), y = int(centre.y() + r * u.y());
                if (x >= 0 && y >= 0 && x < plane.cols && y < plane.rows)
                    levels.push_back(plane.at<uchar>(y, x));
            }
    if (levels.size() < 8)
        return NAN;
    const size_t k = std::min(levels.size() - 1, size_t(share * levels.size()));
    std::nth_element(levels.begin(), levels.begin() + k, levels.end());
    return levels[k];
}

// Whether the ring between a pupil and a limbus is darker on the sides than the white of the eye
// beyond it, as an iris is: a limbus taken for the pupil of a larger outline (a lid's, the skin's)
// has the white of the eye inside that outline.
bool irisDarkerThanSclera(const cv::Mat& luma, const Circle& limbus, const Circle& pupil) {
    const double iris = lateralLevel(luma, limbus.centre, pupil.radius + 0.2 * (limbus.radius - pupil.radius),
                                     0.9 * limbus.radius);
    // The white of the eye's brighter part: a camera's field stop may darken the rest.
    const double sclera = lateralLevel(luma, limbus.centre, 1.04 * limbus.radius, 1.2 * limbus.radius, 0.75);
    return sclera - iris >= kMinIrisContrast;
}

// The circle about a given one, within the reaches (pixels of centre across and down, and of
// radius) on a grid of stepBy, whose sides step up most sharply; best is the one to beat.
LimbusCandidate sharpestAbout(const cv::Mat& luma, const Circle& about, int reachX, int reachY, int reachR,
                              int stepBy, int band, LimbusCandidate best) {
    const int lowest = reachR + band; // k of the radius about.radius - reachR - band
    for (int dy = -reachY; dy <= reachY; dy += stepBy)
        for (int dx = -reachX; dx <= reachX; dx += stepBy) {
            const QPointF centre = about.centre + QPointF(dx, dy);
            const SideRays rays(luma, centre, about.radius - lowest, 2 * lowest + 1);
            for (int dr = -reachR; dr <= reachR; dr += stepBy) {
                const double step = rays.step(lowest + dr, band);
                if (step > best.step)
                    best = {Circle{centre, about.radius + dr}, step};
            }
        }
    return best;
}

// A limbus candidate settled where its edge is sharpest: the broad search places a circle roughly,
// and a circle laid partly over the iris's texture can outscore the true edge there. Coarse to fine:
// a grid over the reach, then every pixel about the best of it.
LimbusCandidate sharpened(const cv::Mat& luma, const LimbusCandidate& c) {
    const int band = std::max(2, int(std::lround(kSharpBand * c.circle.radius)));
    const int reach = std::max(2, int(std::lround(kSharpReach * c.circle.radius)));
    const int grid = std::max(1, reach / 3);
    LimbusCandidate best{c.circle, lateralStep(luma, c.circle, band)};
    best = sharpestAbout(luma, c.circle, reach, reach, reach, grid, band, best);
    return grid > 1 ? sharpestAbout(luma, best.circle, grid, grid, grid, 1, band, best) : best;
}

// The limbus settled about its pupil: lids and lashes hide its top and bottom, so the sides alone
// place its height poorly, while the pupil's edge is seen all round. Its centre is kept within the
// small decentring of a real limbus from its pupil, most of all in height.
LimbusCandidate settledOnPupil(const cv::Mat& luma, const LimbusCandidate& limbus, const Circle& pupil) {
    const double r = limbus.circle.radius;
    const int band = std::max(2, int(std::lround(kSharpBand * r)));
    const int grid = std::max(1, int(r / 60));
    const auto search = [&](const Circle& about, int reachX, int reachY, int reachR, int stepBy,
                            const LimbusCandidate& best) {
        return sharpestAbout(luma, about, reachX, reachY, reachR, stepBy, band, best);
    };
    const Circle start{pupil.centre, r};
    LimbusCandidate best{start, lateralStep(luma, start, band)};
    best = search(start, int(kSideDecentring * r), int(kHeightDecentring * r), int(kSharpReach * 2 * r), grid,
                  best);
    if (grid > 1)
        best = search(best.circle, grid, grid, grid, 1, best);
    return best;
}

// The limbus about a pupil found in the photo: at centres within a real limbus's decentring of the
// pupil's, the radius whose sides step up most sharply, a pupil's radius and a half to five out.
std::optional<LimbusCandidate> limbusAboutPupil(const cv::Mat& luma, const Circle& pupil) {
    const double typical = 3 * pupil.radius;
    const int grid = std::max(1, int(pupil.radius / 15));
    const int reachX = int(kSideDecentring * typical), reachY = int(kHeightDecentring * typical);
    const int least = int(1.5 * pupil.radius),
              most = int(std::min(5 * pupil.radius, 0.6 * std::min(luma.cols, luma.rows)));
    std::optional<LimbusCandidate> best;
    if (most < least)
        return best;
    const int widest = std::max(2, int(std::lround(kSharpBand * most)));
    const int base = least - widest; // radius of the first sample on each ray
    for (int dy = -reachY; dy <= reachY; dy += grid)
        for (int dx = -reachX; dx <= reachX; dx += grid) {
            const QPointF centre = pupil.centre + QPointF(dx, dy);
            const SideRays rays(luma, centre, base, most - base + widest + 1);
            for (int r = least; r <= most; r += grid) {
                const double step = rays.step(r - base, std::max(2, int(std::lround(kSharpBand * r))));
                if (!best || step > best->step)
                    best = LimbusCandidate{Circle{centre, double(r)}, step};
            }
        }
    return best;
}

// The step up all round a circle given in a plane's pixels, between bands a sixth of its radius wide.
double edgeAt(const cv::Mat& plane, const Circle& c) {
    const int r = int(std::lround(c.radius)), b = std::max(2, int(std::lround(c.radius / 6.0)));
    const std::vector<double> m = ringMeans(plane, c.centre.x() - 0.5, c.centre.y() - 0.5, r + b);
    double in = 0, out = 0;
    for (int k = 1; k <= b && r - k >= 1; ++k)
        in += m[r - k], out += m[r + k];
    const double edge = (out - in) / b;
    return std::isnan(edge) ? 0 : edge;
}

// Share of a circle's circumference that lies inside a plane.
double insideShare(const Circle& c, const cv::Size& size) {
    int inside = 0;
    for (int k = 0; k < kAngles; ++k) {
        const double a = 2 * M_PI * k / kAngles;
        const double x = c.centre.x() + c.radius * std::cos(a), y = c.centre.y() + c.radius * std::sin(a);
        inside += x >= 0 && y >= 0 && x < size.width && y < size.height;
    }
    return double(inside) / kAngles;
}

bool sameCircle(const Circle& a, const Circle& b) {
    const double r = std::max(a.radius, b.radius);
    return std::abs(a.radius - b.radius) < 0.1 * r &&
           std::hypot(a.centre.x() - b.centre.x(), a.centre.y() - b.centre.y()) < 0.1 * r;
}

Circle scaled(const Circle& c, double factor) {
    return Circle{c.centre * factor, c.radius * factor};
}

} // namespace

std::optional<EyeRings> findEyeRings(const QImage& photo) {
    if (photo.isNull() || photo.width() < 16 || photo.height() < 16)
        return std::nullopt;
    const EyePlanes planes = makeEyePlanes(photo);
    if (planes.luma.empty())
        return std::nullopt;
    const double f = planes.factor;
    const double shorter = std::min(planes.luma.cols, planes.luma.rows);
    cv::Mat value, red;
    planes.value.convertTo(value, CV_32F);
    cv::GaussianBlur(value, value, cv::Size(0, 0), 1.0);
    planes.red.convertTo(red, CV_32F);
    cv::GaussianBlur(red, red, cv::Size(0, 0), 1.0);
    const auto pupilEdge = [&](const Circle& c) { return std::max(edgeAt(value, c), edgeAt(red, c)); };
    std::vector<QPointF> seeds = darkSeeds(planes);
    seeds.emplace_back(photo.width() / 2.0, photo.height() / 2.0);
    std::vector<LimbusCandidate> candidates;
    const auto add = [&](const LimbusCandidate& broad, bool sharpen = true) {
        if (broad.circle.radius < kLeastPupil * shorter ||
            insideShare(broad.circle, planes.luma.size()) < kMinInside)
            return;
        const LimbusCandidate c =
            sharpen ? sharpened(planes.luma, broad)
                    : LimbusCandidate{
                          broad.circle,
                          lateralStep(planes.luma, broad.circle,
                                      std::max(2, int(std::lround(kSharpBand * broad.circle.radius))))};
        if (std::none_of(candidates.begin(), candidates.end(),
                         [&](const LimbusCandidate& k) { return sameCircle(k.circle, c.circle); }))
            candidates.push_back(c);
    };
    // The broad search about the darkest few spots and the middle; the pupil search below looks at all.
    std::vector<QPointF> broadSeeds;
    for (size_t k = 0; k < seeds.size(); ++k)
        if (k < kBroadSeeds || k + 1 == seeds.size())
            broadSeeds.push_back(seeds[k] / f);
    for (const auto& about : searchLimbusAbout(planes.luma, broadSeeds, kCandidatesPerSeed))
        for (const LimbusCandidate& c : about)
            add(c);
    // A strong step found may be the pupil's own edge (in infrared it outdoes the soft limbus): the
    // limbus is looked for about each candidate too.
    // Pupils looked for about each dark spot directly, all round, at two sizes of eye.
    for (const QPointF& seed : seeds)
        for (double eye : kSeedEyes)
            if (const auto pupil = pupilIn(planes, Circle{seed / f, eye * shorter}))
                add(LimbusCandidate{pupil->circle, 0}, false);
    const size_t broad = candidates.size();
    for (size_t k = 0; k < broad; ++k) {
        const Circle inner = candidates[k].circle;
        if (maskShare(planes.glare, inner.centre - QPointF(0.5, 0.5), inner.radius) > kMaxGlareShare)
            continue;
        if (pupilEdge(inner) >= kMinPupilEdge)
            if (const auto c = limbusAboutPupil(planes.luma, inner))
                add(*c);
    }
    struct Best {
        LimbusCandidate limbus;
        std::optional<Found> pupil;
        double score = 0;
    };
    std::optional<Best> best;
    const auto consider = [&](const LimbusCandidate& limbus, const std::optional<Found>& pupil) {
        // A soft limbus (in infrared) steps up more across broader bands than across the sharp ones.
        const double step = std::max(
            limbus.step, lateralStep(planes.luma, limbus.circle,
                                     std::max(2, int(std::lround(kSoftBand * limbus.circle.radius)))));
        const double score = pupil ? step * pupil->edge : step;
        // An eye with its pupil found beats any without.
        const bool better =
            !best || (pupil.has_value() != best->pupil.has_value() ? pupil.has_value() : score > best->score);
        if (better)
            best = Best{limbus, pupil, score};
    };
    for (const LimbusCandidate& limbus : candidates) {
        if (limbus.circle.radius < kLeastLimbus * shorter || limbus.step < kMinLimbusStep)
            continue;
        auto inside = pupilIn(planes, limbus.circle);
        if (inside && !irisDarkerThanSclera(planes.luma, limbus.circle, inside->circle))
            inside.reset();
        consider(limbus, inside);
        // Each other candidate inside it as about concentric as a pupil is, measured as a pupil.
        for (const LimbusCandidate& pupil : candidates) {
            const double ratio = pupil.circle.radius / limbus.circle.radius;
            const QPointF d = pupil.circle.centre - limbus.circle.centre;
            if (ratio < kPupilLeast || ratio > kPupilMost ||
                !irisDarkerThanSclera(planes.luma, limbus.circle, pupil.circle) ||
                std::hypot(d.x(), d.y()) > kPupilOffset * limbus.circle.radius ||
                maskShare(planes.glare, pupil.circle.centre - QPointF(0.5, 0.5), pupil.circle.radius) >
                    kMaxGlareShare)
                continue;
            const double edge = pupilEdge(pupil.circle);
            if (edge >= kMinPupilEdge && (!inside || edge > inside->edge))
                consider(limbus, Found{pupil.circle, edge});
        }
    }
    if (!best)
        return std::nullopt;
    if (best->pupil)
        best->limbus = settledOnPupil(planes.luma, best->limbus, best->pupil->circle);
    return EyeRings{scaled(best->limbus.circle, f),
                    best->pupil ? std::optional<Circle>(scaled(best->pupil->circle, f)) : std::nullopt,
                    best->score};
}

std::optional<Circle> pupilInside(const QImage& photo, const Circle& limbus) {
    if (photo.isNull() || !(limbus.radius > 4))
        return std::nullopt;
    const EyePlanes planes = makeEyePlanes(photo);
    if (planes.value.empty())
        return std::nullopt;
    const double f = planes.factor;
    const auto pupil = pupilIn(planes, scaled(limbus, 1 / f));
    if (!pupil)
        return std::nullopt;
    return scaled(pupil->circle, f);
}

#include "eye_rings.h"

#include "dark_spots.h"
#include "eye_planes.h"
#include "limbus_search.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kAngles = kRingAngles;

// Unit directions round a circle, and on the two sides of the eye (right, then left), for the sides
// spanning lateral degrees either side of the horizontal.
struct Directions {
    double lateral = NAN;
    QPointF all[kAngles], sides[2][kAngles];
    explicit Directions(double lateralDegrees) : lateral(lateralDegrees) {
        const double half = lateral * M_PI / 180;
        for (int k = 0; k < kAngles; ++k) {
            const double a = 2 * M_PI * k / kAngles;
            all[k] = QPointF(std::cos(a), std::sin(a));
            for (int s = 0; s < 2; ++s) {
                const double b = (s == 0 ? 0 : M_PI) + half * (2.0 * k / (kAngles - 1) - 1);
                sides[s][k] = QPointF(std::cos(b), std::sin(b));
            }
        }
    }
};
// The table for the sides' width now: made again when the tuning has changed it since. Each thread
// has its own, so that no table is remade while another thread reads it (the two photos of a rotation
// are searched at once).
const Directions& directions() {
    thread_local Directions made(tuning().rings.lateralDegrees);
    if (made.lateral != tuning().rings.lateralDegrees)
        made = Directions(tuning().rings.lateralDegrees);
    return made;
}

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
        for (const QPointF& u : directions().all) {
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
    for (const QPointF& u : directions().all) {
        bool hit = false, seen = false;
        for (const double share : tuning().rings.glareBand) {
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

// Width of the bands either side of a pupil's edge of radius r: a sixth of it, at least a few pixels.
int edgeBand(double r) {
    const RingsTuning& t = tuning().rings;
    return std::max(t.leastEdgeBand, int(std::lround(r / t.edgeBandsPerRadius)));
}

// The box about a limbus in which its pupil is searched, scaled so that the limbus has workRadius
// pixels and blurred; the reflections grown a little on a mask of the same size.
struct WorkPlane {
    cv::Mat work, spots;
    cv::Rect box;
    double s = 1, sx = 1, sy = 1; // work pixels per plane pixel: nominal, across, down
    QPointF centre;               // the limbus centre in the work plane, pixel centres at integers
};

std::optional<WorkPlane> workPlaneAbout(const cv::Mat& value, const cv::Mat& glare, const Circle& limbus) {
    const RingsTuning& t = tuning().rings;
    WorkPlane w;
    w.s = t.workRadius / limbus.radius;
    const double reach = limbus.radius * (t.pupilMost + t.pupilOffset + t.pupilBoxMargin);
    w.box = cv::Rect(int(std::floor(limbus.centre.x() - reach)), int(std::floor(limbus.centre.y() - reach)),
                     int(2 * reach) + 2, int(2 * reach) + 2) &
            cv::Rect(0, 0, value.cols, value.rows);
    if (w.box.width < t.leastWorkSide || w.box.height < t.leastWorkSide)
        return std::nullopt;
    const cv::Size size(std::max(t.leastWorkSide, int(w.box.width * w.s)),
                        std::max(t.leastWorkSide, int(w.box.height * w.s)));
    cv::resize(value(w.box), w.work, size, 0, 0, w.s < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::resize(glare(w.box), w.spots, size, 0, 0, cv::INTER_LINEAR);
    cv::dilate(w.spots, w.spots,
               cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(t.spotGrowth, t.spotGrowth)));
    w.work.convertTo(w.work, CV_32F);
    cv::GaussianBlur(w.work, w.work, cv::Size(0, 0), t.workBlur);
    w.sx = double(w.work.cols) / w.box.width, w.sy = double(w.work.rows) / w.box.height;
    w.centre =
        QPointF((limbus.centre.x() - w.box.x) * w.sx - 0.5, (limbus.centre.y() - w.box.y) * w.sy - 0.5);
    return w;
}

// For each whole pupil radius in the work plane, the centre about which the grey level steps up
// most, the step measured between bands a sixth of the radius wide on either side. Every second
// centre first, then the pixels about each radius's best.
std::vector<Found> strongestPerRadius(const WorkPlane& w) {
    const RingsTuning& t = tuning().rings;
    const int offset = int(t.pupilOffset * t.workRadius), least = int(t.pupilLeast * t.workRadius),
              most = int(t.pupilMost * t.workRadius);
    const int outer = most + edgeBand(most) + 1;
    std::vector<Found> perRadius(most + 1);
    // Each centre's ring means are read once: the centres tried are the middle's offsets by whole
    // pixels, and the pixels about one radius's best are often those about another's.
    const int span = 2 * offset + 3;
    std::vector<std::vector<double>> means(size_t(span) * span);
    std::vector<QPoint> bestOffset(most + 1);
    const auto tryCentre = [&](int dx, int dy, int from, int to) {
        std::vector<double>& m = means[size_t(dy + offset + 1) * span + dx + offset + 1];
        const double cx = w.centre.x() + dx, cy = w.centre.y() + dy;
        if (m.empty())
            m = ringMeans(w.work, cx, cy, outer);
        for (int r = std::max(least, from); r <= std::min(most, to); ++r) {
            const int b = edgeBand(r);
            if (b >= r) // the band inside would reach past the centre
                continue;
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
    for (int dy = -offset; dy <= offset; dy += t.coarseCentreStep)
        for (int dx = -offset; dx <= offset; dx += t.coarseCentreStep)
            if (dx * dx + dy * dy <= offset * offset)
                tryCentre(dx, dy, least, most);
    const std::vector<Found> coarse = perRadius;
    const std::vector<QPoint> coarseOffset = bestOffset;
    for (int r = least; r <= most; ++r)
        if (coarse[r].edge >= t.minPupilEdge)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy)
                        tryCentre(coarseOffset[r].x() + dx, coarseOffset[r].y() + dy, r, r);
    return perRadius;
}

// The pupil inside a limbus given in the plane's pixels: the circle with the strongest step up all
// round. A circle drawn by reflections (a ring light's spots lie round it) is no pupil, however
// strong its step.
std::optional<Found> pupilInPlane(const cv::Mat& value, const cv::Mat& glare, const Circle& limbus) {
    const RingsTuning& t = tuning().rings;
    const auto w = workPlaneAbout(value, glare, limbus);
    if (!w)
        return std::nullopt;
    std::vector<Found> perRadius = strongestPerRadius(*w);
    std::sort(perRadius.begin(), perRadius.end(),
              [](const Found& a, const Found& b) { return a.edge > b.edge; });
    for (const Found& f : perRadius) {
        if (f.edge < t.minPupilEdge)
            break;
        if (maskShare(w->spots, f.circle.centre, f.circle.radius) > t.maxGlareShare)
            continue;
        Found out = f;
        out.circle = Circle{QPointF((f.circle.centre.x() + 0.5) / w->sx + w->box.x,
                                    (f.circle.centre.y() + 0.5) / w->sy + w->box.y),
                            f.circle.radius / w->s};
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
        for (const QPointF& u : directions().sides[s]) {
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
                const QPointF& u = directions().sides[s][a];
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
    const RingsTuning& t = tuning().rings;
    std::vector<uchar> levels;
    for (int s = 0; s < 2; ++s)
        for (const QPointF& u : directions().sides[s])
            for (int i = 0; i < t.levelSamples; ++i) {
                const double r = r0 + (r1 - r0) * (i + 0.5) / t.levelSamples;
                const int x = int(centre.x() + r * u.x()), y = int(centre.y() + r * u.y());
                if (x >= 0 && y >= 0 && x < plane.cols && y < plane.rows)
                    levels.push_back(plane.at<uchar>(y, x));
            }
    if (levels.size() < size_t(t.leastLevelSamples))
        return NAN;
    const size_t k = std::min(levels.size() - 1, size_t(share * levels.size()));
    std::nth_element(levels.begin(), levels.begin() + k, levels.end());
    return levels[k];
}

// Whether the ring between a pupil and a limbus is darker on the sides than the white of the eye
// beyond it, as an iris is: a limbus taken for the pupil of a larger outline (a lid's, the skin's)
// has the white of the eye inside that outline.
bool irisDarkerThanSclera(const cv::Mat& luma, const Circle& limbus, const Circle& pupil) {
    const RingsTuning& t = tuning().rings;
    const double iris =
        lateralLevel(luma, limbus.centre, pupil.radius + t.irisFrom * (limbus.radius - pupil.radius),
                     t.irisTo * limbus.radius);
    // The white of the eye's brighter part: a camera's field stop may darken the rest.
    const double sclera = lateralLevel(luma, limbus.centre, t.scleraFrom * limbus.radius,
                                       t.scleraTo * limbus.radius, t.scleraShare);
    return sclera - iris >= t.minIrisContrast;
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

// Width of the bands either side of a limbus of radius r: a share of it, at least a few pixels.
int limbusBand(double share, double r) {
    return std::max(tuning().rings.leastBand, int(std::lround(share * r)));
}

// A limbus candidate settled where its edge is sharpest: the broad search places a circle roughly,
// and a circle laid partly over the iris's texture can outscore the true edge there. Coarse to fine:
// a grid over the reach, then every pixel about the best of it.
LimbusCandidate sharpened(const cv::Mat& luma, const LimbusCandidate& c) {
    const RingsTuning& t = tuning().rings;
    const int band = limbusBand(t.sharpBand, c.circle.radius);
    const int reach = std::max(t.leastReach, int(std::lround(t.sharpReach * c.circle.radius)));
    const int grid = std::max(1, reach / t.gridsPerReach);
    LimbusCandidate best{c.circle, lateralStep(luma, c.circle, band)};
    best = sharpestAbout(luma, c.circle, reach, reach, reach, grid, band, best);
    return grid > 1 ? sharpestAbout(luma, best.circle, grid, grid, grid, 1, band, best) : best;
}

// The limbus settled about its pupil: lids and lashes hide its top and bottom, so the sides alone
// place its height poorly, while the pupil's edge is seen all round. Its centre is kept within the
// small decentring of a real limbus from its pupil, most of all in height.
LimbusCandidate settledOnPupil(const cv::Mat& luma, const LimbusCandidate& limbus, const Circle& pupil) {
    const RingsTuning& t = tuning().rings;
    const double r = limbus.circle.radius;
    const int band = limbusBand(t.sharpBand, r);
    const int grid = std::max(1, int(r / t.settleGridRadius));
    const auto search = [&](const Circle& about, int reachX, int reachY, int reachR, int stepBy,
                            const LimbusCandidate& best) {
        return sharpestAbout(luma, about, reachX, reachY, reachR, stepBy, band, best);
    };
    const Circle start{pupil.centre, r};
    LimbusCandidate best{start, lateralStep(luma, start, band)};
    best = search(start, int(t.sideDecentring * r), int(t.heightDecentring * r),
                  int(t.sharpReach * t.settleRadiusReach * r), grid, best);
    if (grid > 1)
        best = search(best.circle, grid, grid, grid, 1, best);
    return best;
}

// The limbus about a pupil found in the photo: at centres within a real limbus's decentring of the
// pupil's, the radius whose sides step up most sharply, a pupil's radius and a half to five out.
std::optional<LimbusCandidate> limbusAboutPupil(const cv::Mat& luma, const Circle& pupil) {
    const RingsTuning& t = tuning().rings;
    const double typical = t.typicalLimbusPupils * pupil.radius;
    const int grid = std::max(1, int(pupil.radius / t.limbusGridPupil));
    const int reachX = int(t.sideDecentring * typical), reachY = int(t.heightDecentring * typical);
    const int least = int(t.limbusLeastPupils * pupil.radius),
              most = int(std::min(t.limbusMostPupils * pupil.radius,
                                  t.limbusMostSide * std::min(luma.cols, luma.rows)));
    std::optional<LimbusCandidate> best;
    if (most < least)
        return best;
    const int widest = limbusBand(t.sharpBand, most);
    const int base = least - widest; // radius of the first sample on each ray
    for (int dy = -reachY; dy <= reachY; dy += grid)
        for (int dx = -reachX; dx <= reachX; dx += grid) {
            const QPointF centre = pupil.centre + QPointF(dx, dy);
            const SideRays rays(luma, centre, base, most - base + widest + 1);
            for (int r = least; r <= most; r += grid) {
                const double step = rays.step(r - base, limbusBand(t.sharpBand, r));
                if (!best || step > best->step)
                    best = LimbusCandidate{Circle{centre, double(r)}, step};
            }
        }
    return best;
}

// The step up all round a circle given in a plane's pixels, between bands a sixth of its radius wide.
double edgeAt(const cv::Mat& plane, const Circle& c) {
    const int r = int(std::lround(c.radius)), b = edgeBand(c.radius);
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

Circle scaled(const Circle& c, double factor) {
    return Circle{c.centre * factor, c.radius * factor};
}

// The reduced planes of a photo with the brightest and the red channels blurred a little, on which
// a pupil's edge is measured all round.
struct RingPlanes {
    EyePlanes planes;
    cv::Mat value, red;
    double shorter = 0; // the planes' shorter side
};

RingPlanes ringPlanesOf(const QImage& photo) {
    const RingsTuning& t = tuning().rings;
    RingPlanes p{makeEyePlanes(photo), {}, {}, 0};
    if (p.planes.luma.empty())
        return p;
    p.shorter = std::min(p.planes.luma.cols, p.planes.luma.rows);
    p.planes.value.convertTo(p.value, CV_32F);
    cv::GaussianBlur(p.value, p.value, cv::Size(0, 0), t.planeBlur);
    p.planes.red.convertTo(p.red, CV_32F);
    cv::GaussianBlur(p.red, p.red, cv::Size(0, 0), t.planeBlur);
    return p;
}

double pupilEdge(const RingPlanes& p, const Circle& c) {
    return std::max(edgeAt(p.value, c), edgeAt(p.red, c));
}

// Whether a circle is drawn by reflections all round: no pupil, however strong its step.
bool ringedByGlare(const EyePlanes& planes, const Circle& c) {
    return maskShare(planes.glare, c.centre - QPointF(0.5, 0.5), c.radius) > tuning().rings.maxGlareShare;
}

// Limbus candidates in the reduced planes, none the same outline as one before it.
class Candidates {
public:
    explicit Candidates(const RingPlanes& p) : p_(p) {}

    // Kept when large enough and mostly inside the planes, settled where its edge is sharpest (or its
    // step measured where it stands).
    void add(const LimbusCandidate& broad, bool sharpen = true) {
        const RingsTuning& t = tuning().rings;
        if (broad.circle.radius < t.leastPupil * p_.shorter ||
            insideShare(broad.circle, p_.planes.luma.size()) < t.minInside)
            return;
        const LimbusCandidate c =
            sharpen
                ? sharpened(p_.planes.luma, broad)
                : LimbusCandidate{broad.circle, lateralStep(p_.planes.luma, broad.circle,
                                                            limbusBand(t.sharpBand, broad.circle.radius))};
        if (std::none_of(all.begin(), all.end(), [&](const LimbusCandidate& k) {
                return sameCircle(k.circle, c.circle, t.sameCircleShare);
            }))
            all.push_back(c);
    }

    std::vector<LimbusCandidate> all;

private:
    const RingPlanes& p_;
};

// Every limbus candidate: the broad search about the darkest few spots and the middle, pupils about
// each dark spot directly at two sizes of eye, and the limbus about each candidate that may be a
// pupil (in infrared a pupil's strong edge outdoes the soft limbus).
std::vector<LimbusCandidate> limbusCandidates(const QImage& photo, const RingPlanes& p) {
    const RingsTuning& t = tuning().rings;
    const double f = p.planes.factor;
    std::vector<QPointF> seeds = darkSeeds(p.planes);
    seeds.emplace_back(photo.width() / 2.0, photo.height() / 2.0);
    Candidates candidates(p);
    std::vector<QPointF> broadSeeds;
    for (size_t k = 0; k < seeds.size(); ++k)
        if (k < size_t(t.broadSeeds) || k + 1 == seeds.size())
            broadSeeds.push_back(seeds[k] / f);
    for (const auto& about : searchLimbusAbout(p.planes.luma, broadSeeds, t.candidatesPerSeed))
        for (const LimbusCandidate& c : about)
            candidates.add(c);
    for (const QPointF& seed : seeds)
        for (double eye : t.seedEyes)
            if (const auto pupil = pupilIn(p.planes, Circle{seed / f, eye * p.shorter}))
                candidates.add(LimbusCandidate{pupil->circle, 0}, false);
    const size_t broad = candidates.all.size();
    for (size_t k = 0; k < broad; ++k) {
        const Circle inner = candidates.all[k].circle;
        if (ringedByGlare(p.planes, inner))
            continue;
        if (pupilEdge(p, inner) >= t.minPupilEdge)
            if (const auto c = limbusAboutPupil(p.planes.luma, inner))
                candidates.add(*c);
    }
    return candidates.all;
}

// A limbus and the pupil measured inside it, scored by the limbus step times the pupil's edge.
struct Eye {
    LimbusCandidate limbus;
    std::optional<Found> pupil;
    double score = 0;
};

// Keeps the better of an eye so far and a limbus with its pupil: an eye with its pupil found beats
// any without. A soft limbus (in infrared) steps up more across broader bands than the sharp ones.
void consider(std::optional<Eye>& best, const cv::Mat& luma, const LimbusCandidate& limbus,
              const std::optional<Found>& pupil) {
    const double step =
        std::max(limbus.step,
                 lateralStep(luma, limbus.circle, limbusBand(tuning().rings.softBand, limbus.circle.radius)));
    const double score = pupil ? step * pupil->edge : step;
    const bool better =
        !best || (pupil.has_value() != best->pupil.has_value() ? pupil.has_value() : score > best->score);
    if (better)
        best = Eye{limbus, pupil, score};
}

// Whether a candidate may be the pupil of a limbus: about as concentric and as large as a pupil is,
// inside an iris darker than the sclera, not ringed by reflections.
bool pupilShaped(const RingPlanes& p, const Circle& limbus, const Circle& pupil) {
    const RingsTuning& t = tuning().rings;
    const double ratio = pupil.radius / limbus.radius;
    const QPointF d = pupil.centre - limbus.centre;
    return !(ratio < t.pupilLeast || ratio > t.pupilMost ||
             !irisDarkerThanSclera(p.planes.luma, limbus, pupil) ||
             std::hypot(d.x(), d.y()) > t.pupilOffset * limbus.radius || ringedByGlare(p.planes, pupil));
}

// The eye among the candidates: each limbus large and sharp enough with the pupil found inside it,
// and with each other candidate that is pupil-shaped inside it, the best pair kept.
std::optional<Eye> bestEye(const RingPlanes& p, const std::vector<LimbusCandidate>& candidates) {
    const RingsTuning& t = tuning().rings;
    std::optional<Eye> best;
    for (const LimbusCandidate& limbus : candidates) {
        if (limbus.circle.radius < t.leastLimbus * p.shorter || limbus.step < t.minLimbusStep)
            continue;
        auto inside = pupilIn(p.planes, limbus.circle);
        if (inside && !irisDarkerThanSclera(p.planes.luma, limbus.circle, inside->circle))
            inside.reset();
        consider(best, p.planes.luma, limbus, inside);
        for (const LimbusCandidate& pupil : candidates) {
            if (!pupilShaped(p, limbus.circle, pupil.circle))
                continue;
            const double edge = pupilEdge(p, pupil.circle);
            if (edge >= t.minPupilEdge && (!inside || edge > inside->edge))
                consider(best, p.planes.luma, limbus, Found{pupil.circle, edge});
        }
    }
    return best;
}

} // namespace

std::optional<EyeRings> findEyeRings(const QImage& photo) {
    const RingsTuning& t = tuning().rings;
    if (photo.isNull() || photo.width() < t.leastPhotoSide || photo.height() < t.leastPhotoSide)
        return std::nullopt;
    const RingPlanes p = ringPlanesOf(photo);
    if (p.planes.luma.empty())
        return std::nullopt;
    std::optional<Eye> best = bestEye(p, limbusCandidates(photo, p));
    if (!best)
        return std::nullopt;
    // The limbus is settled about its pupil, which is seen all round.
    if (best->pupil)
        best->limbus = settledOnPupil(p.planes.luma, best->limbus, best->pupil->circle);
    const double f = p.planes.factor;
    return EyeRings{scaled(best->limbus.circle, f),
                    best->pupil ? std::optional<Circle>(scaled(best->pupil->circle, f)) : std::nullopt,
                    best->score};
}

std::optional<Circle> pupilInside(const QImage& photo, const Circle& limbus) {
    if (photo.isNull() || !(limbus.radius > tuning().rings.leastGivenLimbus))
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

#include "limbus_search.h"

#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// Unit directions on one side of the eye.
std::vector<QPointF> sideDirections(bool right) {
    const int quarter = tuning().limbus.anglesPerQuarter;
    std::vector<QPointF> out;
    for (int i = 0; i < 4 * quarter; ++i) {
        const double angle = 2 * M_PI * (i + 0.5) / (4 * quarter);
        if (isLateral(angle) && (std::cos(angle) > 0) == right)
            out.emplace_back(std::cos(angle), std::sin(angle));
    }
    return out;
}

// The step up across radius r: mean over a band beyond it minus mean over a band inside, the bands
// a tenth of the radius wide, so that the broad step from iris to sclera outweighs the fine rings
// of the iris's texture.
inline int bandOf(int r) {
    const LimbusTuning& t = tuning().limbus;
    return std::max(t.minBand, int(std::lround(t.bandShare * r)));
}
inline double stepAt(const std::vector<float>& m, int r) {
    const int b = bandOf(r);
    double out = 0, in = 0;
    for (int k = 1; k <= b; ++k)
        out += m[r + k], in += m[r - k];
    return (out - in) / b;
}

struct Scorer {
    const cv::Mat& plane;        // CV_32F
    std::optional<Circle> pupil; // in this plane's pixels
    std::vector<QPointF> right = sideDirections(true), left = sideDirections(false);

    // Bilinear mean along one side's arc; NaN when most of the arc leaves the plane.
    float arcMean(double cx, double cy, double r, const std::vector<QPointF>& angles) const {
        float sum = 0;
        int n = 0;
        for (const QPointF& u : angles) {
            const double x = cx + r * u.x() - 0.5, y = cy + r * u.y() - 0.5;
            if (x < 0 || y < 0 || x >= plane.cols - 1 || y >= plane.rows - 1)
                continue;
            const int x0 = int(x), y0 = int(y);
            const float fx = float(x - x0), fy = float(y - y0);
            const float* r0 = plane.ptr<float>(y0) + x0;
            const float* r1 = plane.ptr<float>(y0 + 1) + x0;
            sum += (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
            ++n;
        }
        return n * 2 > int(angles.size()) ? sum / n : NAN;
    }

    // The radii a circle about (cx, cy) may have: it holds the point, and about a pupil it is
    // about as concentric with it as a limbus is.
    std::pair<int, int> radii(double cx, double cy, int rMin, int rMax, const QPointF& point) const {
        const LimbusTuning& t = tuning().limbus;
        const double inside = std::hypot(point.x() - cx, point.y() - cy);
        rMin = std::max(rMin, int(std::ceil(inside / t.holdShare)));
        if (pupil) {
            const double off = std::hypot(pupil->centre.x() - cx, pupil->centre.y() - cy);
            rMin = std::max({rMin, int(std::ceil(t.minPupilRatio * pupil->radius)),
                             int(std::ceil((off + pupil->radius) / t.holdShare)),
                             int(std::ceil(off / t.maxDecentring))});
            rMax = std::min(rMax, int(t.maxPupilRatio * pupil->radius));
        }
        return {std::max(rMin, bandOf(rMin) + 1), rMax};
    }

    // Both sides' mean levels about one centre for the radii from to to, indexed by radius.
    void profiles(double cx, double cy, int from, int to, std::vector<float>& ml,
                  std::vector<float>& mr) const {
        ml.assign(to + 1, 0);
        mr.assign(to + 1, 0);
        for (int r = std::max(1, from); r <= to; ++r) {
            ml[r] = arcMean(cx, cy, r, left);
            mr[r] = arcMean(cx, cy, r, right);
        }
    }

    // The radius between rMin and rMax whose step (the weaker side's) is largest, and that step.
    static std::pair<int, double> strongest(const std::vector<float>& ml, const std::vector<float>& mr,
                                            int rMin, int rMax) {
        std::pair<int, double> out{0, 0};
        for (int r = rMin; r <= rMax; ++r) {
            const double s = std::min(stepAt(ml, r), stepAt(mr, r));
            if (s > out.second) // NaN compares false
                out = {r, s};
        }
        return out;
    }

    // Best radius for one centre: the radius and its step (the weaker side's).
    std::pair<int, double> best(double cx, double cy, int rMin, int rMax, const QPointF& point) const {
        std::tie(rMin, rMax) = radii(cx, cy, rMin, rMax, point);
        std::vector<float> ml, mr;
        profiles(cx, cy, rMin - bandOf(rMin), rMax + bandOf(rMax), ml, mr);
        return strongest(ml, mr, rMin, rMax);
    }
};

} // namespace

namespace {

// The photo's plane blurred a little, and reduced to the coarse plane the whole search runs on.
struct SearchPlanes {
    cv::Mat coarse, fine; // CV_32F
    int g = 1;            // fine pixels per coarse pixel
};

SearchPlanes searchPlanes(const cv::Mat& luma) {
    const LimbusTuning& t = tuning().limbus;
    SearchPlanes p;
    const int longer = std::max(luma.cols, luma.rows);
    p.g = std::max(1, (longer + t.coarseSide - 1) / t.coarseSide);
    luma.convertTo(p.fine, CV_32F);
    cv::GaussianBlur(p.fine, p.fine, cv::Size(0, 0), t.fineBlur);
    cv::resize(p.fine, p.coarse, cv::Size(luma.cols / p.g, luma.rows / p.g), 0, 0, cv::INTER_AREA);
    return p;
}

struct Hit {
    double x, y; // coarse pixels
    int r;
    double step;
};

// The strongest few hits that are not the same circle, each settled on the finer plane.
std::vector<LimbusCandidate> settled(const SearchPlanes& planes, std::vector<Hit> hits, const QPointF& point,
                                     const std::optional<Circle>& pupil, int count) {
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.step > b.step; });
    const LimbusTuning& t = tuning().limbus;
    const int g = planes.g;
    const Scorer atFine{planes.fine, pupil};
    std::vector<LimbusCandidate> out;
    for (const Hit& h : hits) {
        if (int(out.size()) >= count)
            break;
        const bool known = std::any_of(out.begin(), out.end(), [&](const LimbusCandidate& c) {
            return std::hypot(c.circle.centre.x() / g - h.x, c.circle.centre.y() / g - h.y) <
                       t.sameHitShare * h.r &&
                   std::abs(c.circle.radius / g - h.r) < t.sameHitShare * h.r;
        });
        if (known)
            continue;
        LimbusCandidate c{Circle{QPointF(h.x * g, h.y * g), double(h.r * g)}, 0};
        for (int round = 0; round < 2; ++round) {
            const int reach = round == 0 ? t.settleReach * g : t.settleFineReach;
            const QPointF at = c.circle.centre;
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dx = -reach; dx <= reach; ++dx) {
                    const double cx = at.x() + dx, cy = at.y() + dy;
                    const int r0 = int(c.circle.radius);
                    const auto [r, s] =
                        atFine.best(cx, cy, std::max(t.leastFineRadius, r0 - t.settleRadiusReach * g),
                                    r0 + t.settleRadiusReach * g, point);
                    if (s > c.step)
                        c = LimbusCandidate{Circle{QPointF(cx, cy), double(r)}, s};
                }
        }
        if (c.step >= t.minStep)
            out.push_back(c);
    }
    return out;
}

// Every second centre of the coarse plane whose circles can hold the point p, with the radius and
// step that best(cx, cy) finds there; a step of 0 is no hit.
template <typename Best>
std::vector<Hit> coarseHits(const cv::Mat& coarse, const QPointF& p, int rMax, Best best) {
    const LimbusTuning& t = tuning().limbus;
    std::vector<Hit> hits;
    for (int y = 1; y < coarse.rows; y += t.centreStride)
        for (int x = 1; x < coarse.cols; x += t.centreStride) {
            const double cx = x + 0.5, cy = y + 0.5;
            if (std::hypot(cx - p.x(), cy - p.y()) > t.holdShare * rMax)
                continue;
            const auto [r, s] = best(x, y, cx, cy);
            if (s >= t.minStep)
                hits.push_back({cx, cy, r, s});
        }
    return hits;
}

int leastRadius(const cv::Mat& coarse) {
    const LimbusTuning& t = tuning().limbus;
    return std::max(t.leastRadius, std::max(coarse.cols, coarse.rows) / t.leastRadiusDivisor);
}
int mostRadius(const cv::Mat& coarse) {
    return int(tuning().limbus.mostRadiusShare * std::max(coarse.cols, coarse.rows));
}

} // namespace

std::vector<LimbusCandidate> searchLimbus(const cv::Mat& luma, const QPointF& point,
                                          const std::optional<Circle>& pupil, int count) {
    const SearchPlanes planes = searchPlanes(luma);
    const cv::Mat& coarse = planes.coarse;
    const int g = planes.g;
    const LimbusTuning& t = tuning().limbus;
    if (coarse.cols < t.leastCoarseSide || coarse.rows < t.leastCoarseSide)
        return {};
    std::optional<Circle> coarsePupil;
    if (pupil)
        coarsePupil = Circle{pupil->centre / g, pupil->radius / g};
    const Scorer atCoarse{coarse, coarsePupil};
    const QPointF p = point / g;
    const int rMin = leastRadius(coarse), rMax = mostRadius(coarse);
    // About a pupil, only centres near enough to its own can hold a limbus.
    const auto best = [&](int, int, double cx, double cy) {
        if (coarsePupil && std::hypot(cx - coarsePupil->centre.x(), cy - coarsePupil->centre.y()) >
                               t.maxDecentring * t.maxPupilRatio * coarsePupil->radius + t.decentringSlack)
            return std::pair<int, double>{0, 0};
        return atCoarse.best(cx, cy, rMin, rMax, p);
    };
    std::vector<Hit> hits = coarseHits(coarse, p, rMax, best);
    return settled(planes, std::move(hits), point, pupil, count);
}

std::vector<std::vector<LimbusCandidate>> searchLimbusAbout(const cv::Mat& luma,
                                                            const std::vector<QPointF>& points, int count) {
    std::vector<std::vector<LimbusCandidate>> out(points.size());
    const SearchPlanes planes = searchPlanes(luma);
    const cv::Mat& coarse = planes.coarse;
    const int g = planes.g;
    const LimbusTuning& t = tuning().limbus;
    if (coarse.cols < t.leastCoarseSide || coarse.rows < t.leastCoarseSide)
        return out;
    const Scorer atCoarse{coarse, std::nullopt};
    const int rMin = leastRadius(coarse), rMax = mostRadius(coarse), top = rMax + bandOf(rMax);
    // Each centre's levels are read once, over every radius any point may need.
    std::vector<std::vector<float>> left, right;
    const int stride = t.centreStride, columns = coarse.cols / stride + 1;
    left.resize(size_t(columns) * (coarse.rows / stride + 1));
    right.resize(left.size());
    for (size_t k = 0; k < points.size(); ++k) {
        const QPointF p = points[k] / g;
        const auto best = [&](int x, int y, double cx, double cy) {
            const size_t at = size_t(y / stride) * columns + x / stride;
            if (left[at].empty())
                atCoarse.profiles(cx, cy, 1, top, left[at], right[at]);
            const auto [r0, r1] = atCoarse.radii(cx, cy, rMin, rMax, p);
            return Scorer::strongest(left[at], right[at], r0, r1);
        };
        std::vector<Hit> hits = coarseHits(coarse, p, rMax, best);
        out[k] = settled(planes, std::move(hits), points[k], std::nullopt, count);
    }
    return out;
}

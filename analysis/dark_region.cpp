#include "dark_region.h"

#include <algorithm>
#include <array>
#include <optional>
#include <cmath>

namespace {

constexpr int kStableLevels = 6;      // the region must grow little over this many grey levels
constexpr double kMaxGrowth = 1.2;    // ... by at most this factor
constexpr double kMinOverlap = 0.82;  // share of region and ellipse that coincide
constexpr double kMinRoundness = 0.5; // minor / major axis
constexpr double kMinRadiusShare = 0.012; // of the plane's longer side: smaller dark spots are texture
constexpr double kMaxAreaShare = 0.9; // of the plane

// Pixels in the order a flood from the seed reaches them when it always takes the lowest level on
// its border next, with the flood's level (highest level taken so far) at each.
struct Flood {
    std::vector<int> order;
    std::vector<uint8_t> level;
};

Flood floodFrom(const cv::Mat& plane, int seed, size_t limit) {
    const int w = plane.cols, h = plane.rows;
    std::vector<uint8_t> seen(size_t(w) * h, 0);
    std::array<std::vector<int>, 256> buckets;
    const uint8_t* px = plane.ptr<uint8_t>(0);
    Flood f;
    int lowest = px[seed], level = px[seed];
    buckets[lowest].push_back(seed);
    seen[seed] = 1;
    while (f.order.size() < limit) {
        while (lowest < 256 && buckets[lowest].empty())
            ++lowest;
        if (lowest == 256)
            break;
        const int p = buckets[lowest].back();
        buckets[lowest].pop_back();
        level = std::max(level, lowest);
        f.order.push_back(p);
        f.level.push_back(uint8_t(level));
        const int x = p % w, y = p / w;
        const int next[4] = {x > 0 ? p - 1 : -1, x + 1 < w ? p + 1 : -1, y > 0 ? p - w : -1,
                             y + 1 < h ? p + w : -1};
        for (int q : next)
            if (q >= 0 && !seen[q]) {
                seen[q] = 1;
                buckets[px[q]].push_back(q);
                lowest = std::min(lowest, int(px[q]));
            }
    }
    return f;
}

// The ellipse with the region's moments, and how well the region fills it.
std::optional<RegionEllipse> ellipseOf(const std::vector<int>& order, int count, int w, int h,
                                       double& overlap) {
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    bool border = false;
    for (int i = 0; i < count; ++i) {
        const int x = order[i] % w, y = order[i] / w;
        border = border || x == 0 || y == 0 || x == w - 1 || y == h - 1;
        sx += x, sy += y;
    }
    const double mx = sx / count, my = sy / count;
    for (int i = 0; i < count; ++i) {
        const double dx = order[i] % w - mx, dy = order[i] / w - my;
        sxx += dx * dx, syy += dy * dy, sxy += dx * dy;
    }
    sxx /= count, syy /= count, sxy /= count;
    const double tr = sxx + syy, det = sxx * syy - sxy * sxy;
    const double disc = std::sqrt(std::max(0.0, tr * tr / 4 - det));
    const double l1 = tr / 2 + disc, l2 = tr / 2 - disc;
    if (!(l2 > 0))
        return std::nullopt;
    RegionEllipse e;
    e.centre = QPointF(mx + 0.5, my + 0.5);
    e.major = 2 * std::sqrt(l1);
    e.minor = 2 * std::sqrt(l2);
    e.angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    e.area = count;
    e.touchesBorder = border;
    // Region pixels inside the ellipse, against the union of both.
    const double c = std::cos(e.angle), s = std::sin(e.angle);
    int inside = 0;
    for (int i = 0; i < count; ++i) {
        const double dx = order[i] % w - mx, dy = order[i] / w - my;
        const double u = (dx * c + dy * s) / e.major, v = (-dx * s + dy * c) / e.minor;
        inside += u * u + v * v <= 1;
    }
    const double ellipseArea = M_PI * e.major * e.minor;
    overlap = inside / (count + ellipseArea - inside);
    return e;
}

} // namespace

std::vector<RegionEllipse> roundRegionsAround(const cv::Mat& source, const QPointF& point, bool bright) {
    std::vector<RegionEllipse> out;
    const int w = source.cols, h = source.rows;
    const int x = int(std::floor(point.x())), y = int(std::floor(point.y()));
    if (x < 0 || y < 0 || x >= w || y >= h || w < 8 || h < 8)
        return out;
    cv::Mat plane = bright ? cv::Mat(255 - source) : source;
    if (!plane.isContinuous())
        plane = plane.clone();
    const Flood f = floodFrom(plane, y * w + x, size_t(kMaxAreaShare * w * h));
    const double minRadius = kMinRadiusShare * std::max(w, h);
    const int minArea = std::max(12, int(M_PI * minRadius * minRadius));
    // area[l]: pixels flooded up to level l.
    std::array<int, 257> area{};
    for (uint8_t l : f.level)
        ++area[l + 1];
    for (int l = 1; l <= 256; ++l)
        area[l] += area[l - 1];
    const int top = f.level.empty() ? 0 : f.level.back();
    const bool floodedAll = f.order.size() < size_t(kMaxAreaShare * w * h);
    int lastArea = 0;
    for (int l = f.level.empty() ? 0 : f.level.front(); l + kStableLevels <= top || (floodedAll && l <= top); ++l) {
        const int a = area[l + 1];
        const int later = area[std::min(l + kStableLevels, top) + 1];
        if (a < minArea || later > kMaxGrowth * a || a < lastArea * kMaxGrowth)
            continue;
        // The most stable level of this run of stable levels.
        int best = l;
        for (int m = l + 1; m + kStableLevels <= top; ++m) {
            const int am = area[m + 1];
            if (area[m + kStableLevels + 1] > kMaxGrowth * am)
                break;
            if (double(area[m + kStableLevels + 1]) / am < double(area[best + kStableLevels + 1]) / area[best + 1])
                best = m;
            l = m;
        }
        lastArea = area[best + 1];
        double overlap = 0;
        const auto e = ellipseOf(f.order, lastArea, w, h, overlap);
        if (e && overlap >= kMinOverlap && e->minor >= kMinRoundness * e->major)
            out.push_back(*e);
    }
    return out;
}

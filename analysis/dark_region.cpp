#include "dark_region.h"

#include "tuning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

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

// Running moments of the flooded pixels, so that the ellipse of every region along the flood
// costs nothing beyond the flood itself.
struct Moments {
    double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    int borderPixels = 0;
    void add(int x, int y, bool border) {
        n += 1, sx += x, sy += y, sxx += double(x) * x, syy += double(y) * y, sxy += double(x) * y;
        borderPixels += border;
    }
};

// The ellipse with the region's moments; none when the region is a line.
std::optional<RegionEllipse> ellipseOf(const Moments& m) {
    const double mx = m.sx / m.n, my = m.sy / m.n;
    const double cxx = m.sxx / m.n - mx * mx, cyy = m.syy / m.n - my * my, cxy = m.sxy / m.n - mx * my;
    const double tr = cxx + cyy, det = cxx * cyy - cxy * cxy;
    const double disc = std::sqrt(std::max(0.0, tr * tr / 4 - det));
    const double l1 = tr / 2 + disc, l2 = tr / 2 - disc;
    if (!(l2 > 0))
        return std::nullopt;
    RegionEllipse e;
    e.centre = QPointF(mx + 0.5, my + 0.5);
    e.major = 2 * std::sqrt(l1);
    e.minor = 2 * std::sqrt(l2);
    e.angle = 0.5 * std::atan2(2 * cxy, cxx - cyy);
    e.area = int(m.n);
    e.touchesBorder = m.borderPixels > 0;
    return e;
}

// How well the first count flooded pixels fill their ellipse: the pixels inside it against the
// union of both.
double overlapOf(const std::vector<int>& order, int count, int w, const RegionEllipse& e) {
    const double c = std::cos(e.angle), s = std::sin(e.angle);
    const double mx = e.centre.x() - 0.5, my = e.centre.y() - 0.5;
    int inside = 0;
    for (int i = 0; i < count; ++i) {
        const double dx = order[i] % w - mx, dy = order[i] / w - my;
        const double u = (dx * c + dy * s) / e.major, v = (-dx * s + dy * c) / e.minor;
        inside += u * u + v * v <= 1;
    }
    const double ellipseArea = M_PI * e.major * e.minor;
    return inside / (count + ellipseArea - inside);
}

} // namespace

std::vector<RegionEllipse> roundRegionsAround(const cv::Mat& source, const QPointF& point, bool bright) {
    const OutlineTuning& t = tuning().outline;
    std::vector<RegionEllipse> out;
    const int w = source.cols, h = source.rows;
    const int x = int(std::floor(point.x())), y = int(std::floor(point.y()));
    if (x < 0 || y < 0 || x >= w || y >= h || w < t.leastPlaneSide || h < t.leastPlaneSide)
        return out;
    cv::Mat plane = bright ? cv::Mat(255 - source) : source;
    if (!plane.isContinuous())
        plane = plane.clone();
    // A dark region (pupil, iris) fills at most half the photo; a bright field may fill nearly all.
    const size_t limit = size_t((bright ? t.maxFieldAreaShare : t.maxDarkAreaShare) * w * h);
    const Flood f = floodFrom(plane, y * w + x, limit);
    const double minRadius = t.minRadiusShare * std::max(w, h);
    const int minArea = std::max(t.minRegionPixels, int(M_PI * minRadius * minRadius));
    // area[l]: pixels flooded up to level l.
    std::array<int, 257> area{};
    for (uint8_t l : f.level)
        ++area[l + 1];
    for (int l = 1; l <= 256; ++l)
        area[l] += area[l - 1];
    const int top = f.level.empty() ? 0 : f.level.back();
    const bool floodedAll = f.order.size() < limit;
    // A region is looked at where it has stopped growing (little growth over the levels before)
    // and is about to spill over (a jump at the next level, or much growth over the next few):
    // the whole pupil just before the flood leaks into the iris or the lashes; and at the most
    // stable level of each run of stable levels.
    const int first = f.level.empty() ? 0 : f.level.front();
    const auto growth = [&](int level) {
        return double(area[std::min(top, level + t.stableLevels) + 1]) / area[level + 1];
    };
    Moments moments;
    int lastArea = 0;
    for (int l = first; l <= top; ++l) {
        const int a = area[l + 1];
        for (int i = int(moments.n); i < a; ++i) {
            const int px = f.order[i] % w, py = f.order[i] / w;
            moments.add(px, py, px == 0 || py == 0 || px == w - 1 || py == h - 1);
        }
        if (a < minArea || a < t.distinctArea * lastArea)
            continue;
        const bool settled = a <= t.maxGrowth * area[std::max(first, l - t.stableLevels) + 1];
        const bool spills = l == top ? floodedAll : area[l + 2] > t.jumpGrowth * a || growth(l) > t.maxGrowth;
        const bool steadiest = l > first && l < top && growth(l) <= t.maxGrowth &&
                               growth(l) <= growth(l - 1) && growth(l) < growth(l + 1);
        if (!(settled && spills) && !steadiest)
            continue;
        lastArea = a;
        const auto e = ellipseOf(moments);
        if (e && e->minor >= t.minRegionRoundness * e->major &&
            overlapOf(f.order, a, w, *e) >= t.minRegionOverlap)
            out.push_back(*e);
    }
    return out;
}

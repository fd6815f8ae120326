#include "strip_match.h"

#include "numerics.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <future>
#include <optional>

namespace {

// Running sums of a masked correlation.
struct Sums {
    double ab = 0, aa = 0, bb = 0, a = 0, b = 0;
    int n = 0;
    double correlation() const {
        if (n < 2)
            return -1;
        const double cov = ab - a * b / n, va = aa - a * a / n, vb = bb - b * b / n;
        return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : -1;
    }
};

// Correlation of a block of the reference with the current strip moved by (dj, di), wrapping round
// the angles; rows moved off the strip do not count.
Sums correlate(const IrisStrip& ref, const IrisStrip& cur, const cv::Rect& block, int dj, int di) {
    Sums s;
    const int cols = ref.texture.cols;
    for (int i = block.y; i < block.y + block.height; ++i) {
        const int ci = i + di;
        if (ci < 0 || ci >= cur.texture.rows)
            continue;
        const float* ra = ref.texture.ptr<float>(i);
        const uchar* rv = ref.valid.ptr<uchar>(i);
        const float* ca = cur.texture.ptr<float>(ci);
        const uchar* cv_ = cur.valid.ptr<uchar>(ci);
        // The current strip's column follows the reference's, wrapping round once past the last.
        int cj = ((block.x + dj) % cols + cols) % cols;
        for (int j = block.x; j < block.x + block.width; ++j, cj = cj + 1 == cols ? 0 : cj + 1) {
            if (!rv[j] || !cv_[cj])
                continue;
            const double a = ra[j], b = ca[cj];
            s.ab += a * b, s.aa += a * a, s.bb += b * b, s.a += a, s.b += b, ++s.n;
        }
    }
    return s;
}

// Halves a strip's angles and radii, a pixel being seen when most of its four were.
IrisStrip halved(const IrisStrip& strip) {
    IrisStrip out;
    cv::Mat weights, weighted;
    strip.valid.convertTo(weights, CV_32F, 1.0 / 255);
    cv::resize(strip.texture.mul(weights), weighted, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    cv::resize(weights, weights, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    out.texture = weighted / cv::max(weights, tuning().rotation.leastWeight);
    out.valid = weights > 0.5;
    return out;
}

// Runs work(from, to) over [0, n) in two halves at once, the first on a thread of its own: the two
// strips are matched while the interface waits, and each half writes only its own results.
template <typename Work> void inTwoHalves(int n, Work work) {
    auto first = std::async(std::launch::async, [&] { work(0, n / 2); });
    work(n / 2, n);
    first.get();
}

} // namespace

CircularPeak circularPeak(const IrisStrip& reference, const IrisStrip& current) {
    const RotationTuning& t = tuning().rotation;
    const IrisStrip ref = halved(reference), cur = halved(current);
    const int cols = ref.texture.cols;
    const cv::Rect all(0, 0, cols, ref.texture.rows);
    const int least = int(t.minOverlap * all.area());
    // Each turn's best over a few radial shifts: a limbus radius found a little off in one photo
    // moves its strip's rows.
    std::vector<double> scores(cols, -1);
    inTwoHalves(cols, [&](int from, int to) {
        for (int k = from; k < to; ++k)
            for (int di = -t.coarseRowReach; di <= t.coarseRowReach; ++di) {
                const Sums s = correlate(ref, cur, all, k, di);
                if (s.n >= least)
                    scores[k] = std::max(scores[k], s.correlation());
            }
    });
    const int best = int(std::max_element(scores.begin(), scores.end()) - scores.begin());
    CircularPeak peak;
    peak.score = scores[best];
    const int apart = int(std::lround(t.peakApartDegrees / (360.0 / cols)));
    peak.runnerUp = -1;
    for (int k = 0; k < cols; ++k) {
        const int d = std::abs(k - best);
        if (std::min(d, cols - d) >= apart)
            peak.runnerUp = std::max(peak.runnerUp, scores[k]);
    }
    const double offset =
        parabolaVertex(scores[(best + cols - 1) % cols], scores[best], scores[(best + 1) % cols]);
    peak.columns = 2 * (best + offset); // in the full strip's columns
    return peak;
}

namespace {

// One sector's shift: the correlation of its block of the reference with the current strip over
// reach columns and a few rows either way about centre, the peak refined between its neighbours.
// None when too little of it is seen or nothing matches it clearly.
std::optional<SectorShift> sectorShift(const IrisStrip& reference, const IrisStrip& current,
                                       const cv::Rect& block, int centre, int reach) {
    const RotationTuning& t = tuning().rotation;
    if (cv::countNonZero(reference.valid(block)) < t.minSectorShare * block.area())
        return std::nullopt;
    const int rowReach = t.rowReach;
    const int spanJ = 2 * reach + 1, spanI = 2 * rowReach + 1;
    cv::Mat scores(spanI, spanJ, CV_64F, cv::Scalar(-1));
    for (int di = -rowReach; di <= rowReach; ++di)
        for (int dj = -reach; dj <= reach; ++dj) {
            const Sums sums = correlate(reference, current, block, centre + dj, di);
            if (sums.n >= t.minSectorShare * block.area())
                scores.at<double>(di + rowReach, dj + reach) = sums.correlation();
        }
    double best = 0;
    cv::Point at;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
    // A peak on the edge of the search is no peak: the sector matches something beyond it.
    if (best < t.minSectorScore || at.x == 0 || at.x == spanJ - 1)
        return std::nullopt;
    const auto score = [&](int i, int j) { return scores.at<double>(std::clamp(i, 0, spanI - 1), j); };
    SectorShift shift;
    shift.columns =
        centre + at.x - reach + parabolaVertex(score(at.y, at.x - 1), best, score(at.y, at.x + 1));
    shift.rows =
        at.y - rowReach +
        (at.y > 0 && at.y < spanI - 1 ? parabolaVertex(score(at.y - 1, at.x), best, score(at.y + 1, at.x))
                                      : 0);
    shift.score = best;
    return shift;
}

} // namespace

std::vector<SectorShift> sectorShifts(const IrisStrip& reference, const IrisStrip& current,
                                      double coarseColumns, int reach) {
    const int sectors = tuning().rotation.sectors;
    const int cols = reference.texture.cols, rows = reference.texture.rows, width = cols / sectors;
    const int centre = int(std::lround(coarseColumns));
    if (width < 1)
        return {}; // more sectors than columns
    std::vector<std::optional<SectorShift>> found(sectors);
    inTwoHalves(sectors, [&](int from, int to) {
        for (int s = from; s < to; ++s) {
            found[s] = sectorShift(reference, current, cv::Rect(s * width, 0, width, rows), centre, reach);
            if (found[s])
                found[s]->degrees = 360.0 * (s + 0.5) / sectors;
        }
    });
    std::vector<SectorShift> out;
    for (const auto& shift : found)
        if (shift)
            out.push_back(*shift);
    return out;
}

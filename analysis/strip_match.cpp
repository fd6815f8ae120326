#include "strip_match.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <future>
#include <optional>

namespace {

constexpr int kSectors = 24;            // of 15 degrees
constexpr int kCoarseRowReach = 2;      // in the halved strips' rows
constexpr int kRowReach = 4;            // rows searched either way for a wrong limbus radius or centre
constexpr double kMinSectorShare = 0.4; // of a sector's pixels that must be seen in both strips
constexpr double kMinSectorScore = 0.2;
constexpr double kMinOverlap = 0.15; // of the strip's pixels seen in both, for a coarse shift to count

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

// Vertex of the parabola through three equally spaced values, as an offset from the middle one.
double parabolaVertex(double left, double middle, double right) {
    const double denominator = left - 2 * middle + right;
    return denominator < 0 ? std::clamp(0.5 * (left - right) / denominator, -0.5, 0.5) : 0;
}

// Halves a strip's angles and radii, a pixel being seen when most of its four were.
IrisStrip halved(const IrisStrip& strip) {
    IrisStrip out;
    cv::Mat weights, weighted;
    strip.valid.convertTo(weights, CV_32F, 1.0 / 255);
    cv::resize(strip.texture.mul(weights), weighted, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    cv::resize(weights, weights, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    out.texture = weighted / cv::max(weights, 1e-3);
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
    const IrisStrip ref = halved(reference), cur = halved(current);
    const int cols = ref.texture.cols;
    const cv::Rect all(0, 0, cols, ref.texture.rows);
    const int least = int(kMinOverlap * all.area());
    // Each turn's best over a few radial shifts: a limbus radius found a little off in one photo
    // moves its strip's rows.
    std::vector<double> scores(cols, -1);
    inTwoHalves(cols, [&](int from, int to) {
        for (int k = from; k < to; ++k)
            for (int di = -kCoarseRowReach; di <= kCoarseRowReach; ++di) {
                const Sums s = correlate(ref, cur, all, k, di);
                if (s.n >= least)
                    scores[k] = std::max(scores[k], s.correlation());
            }
    });
    const int best = int(std::max_element(scores.begin(), scores.end()) - scores.begin());
    CircularPeak peak;
    peak.score = scores[best];
    const int apart = int(std::lround(kPeakApartDegrees / (360.0 / cols)));
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

std::vector<SectorShift> sectorShifts(const IrisStrip& reference, const IrisStrip& current,
                                      double coarseColumns, int reach) {
    std::vector<SectorShift> out;
    const int cols = reference.texture.cols, rows = reference.texture.rows, width = cols / kSectors;
    const int centre = int(std::lround(coarseColumns));
    std::vector<std::optional<SectorShift>> found(kSectors);
    inTwoHalves(kSectors, [&](int from, int to) {
        for (int s = from; s < to; ++s) {
            const cv::Rect block(s * width, 0, width, rows);
            if (cv::countNonZero(reference.valid(block)) < kMinSectorShare * block.area())
                continue;
            const int spanJ = 2 * reach + 1, spanI = 2 * kRowReach + 1;
            cv::Mat scores(spanI, spanJ, CV_64F, cv::Scalar(-1));
            for (int di = -kRowReach; di <= kRowReach; ++di)
                for (int dj = -reach; dj <= reach; ++dj) {
                    const Sums sums = correlate(reference, current, block, centre + dj, di);
                    if (sums.n >= kMinSectorShare * block.area())
                        scores.at<double>(di + kRowReach, dj + reach) = sums.correlation();
                }
            double best = 0;
            cv::Point at;
            cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
            // A peak on the edge of the search is no peak: the sector matches something beyond it.
            if (best < kMinSectorScore || at.x == 0 || at.x == spanJ - 1)
                continue;
            const auto score = [&](int i, int j) {
                return scores.at<double>(std::clamp(i, 0, spanI - 1), j);
            };
            SectorShift shift;
            shift.degrees = 360.0 * (s + 0.5) / kSectors;
            shift.columns =
                centre + at.x - reach + parabolaVertex(score(at.y, at.x - 1), best, score(at.y, at.x + 1));
            shift.rows = at.y - kRowReach +
                         (at.y > 0 && at.y < spanI - 1
                              ? parabolaVertex(score(at.y - 1, at.x), best, score(at.y + 1, at.x))
                              : 0);
            shift.score = best;
            found[s] = shift;
        }
    });
    for (const auto& shift : found)
        if (shift)
            out.push_back(*shift);
    return out;
}

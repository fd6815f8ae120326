#include "limbus_auto.h"

#include "eye_planes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kWorkSide = 900;              // longer side of the copy searched
constexpr int kSeeds = 6;                   // darkest spots tried
constexpr double kIrisReach[] = {1.8, 2.6}; // iris points, in radii of the dark outline about a seed
constexpr double kMinLimbusShare = 0.04;    // of the photo's shorter side: smaller outlines are pupils

double distance(const QPointF& a, const QPointF& b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

bool sameOutline(const RoundOutline& a, const RoundOutline& b) {
    const double r = std::max(a.radius, b.radius);
    return std::abs(a.radius - b.radius) <= 0.08 * r && distance(a.centre, b.centre) <= 0.08 * r;
}

// The darkest spots of the photo, blurred so that lashes drop out, apart from each other.
std::vector<QPointF> darkSeeds(const EyePlanes& planes) {
    const int side = std::max(planes.value.cols, planes.value.rows);
    cv::Mat smooth;
    cv::GaussianBlur(planes.value, smooth, cv::Size(0, 0), std::max(1.0, side / 100.0));
    // Corners and borders hold shadows and hair more often than eyes: only the middle is searched.
    cv::Mat open(smooth.size(), CV_8U, cv::Scalar(0));
    const int mx = smooth.cols / 10, my = smooth.rows / 10;
    open(cv::Rect(mx, my, smooth.cols - 2 * mx, smooth.rows - 2 * my)).setTo(255);
    std::vector<QPointF> seeds;
    for (int i = 0; i < kSeeds; ++i) {
        cv::Point at;
        cv::minMaxLoc(smooth, nullptr, nullptr, &at, nullptr, open);
        if (open.at<uchar>(at) == 0)
            break;
        cv::circle(open, at, std::max(2, side / 12), cv::Scalar(0), cv::FILLED);
        seeds.emplace_back((at.x + 0.5) * planes.factor, (at.y + 0.5) * planes.factor);
    }
    return seeds;
}

struct Vote {
    RoundOutline outline;
    int votes = 0;
};

void addVote(std::vector<Vote>& votes, const RoundOutline& o) {
    for (Vote& v : votes)
        if (sameOutline(v.outline, o)) {
            ++v.votes;
            return;
        }
    votes.push_back({o, 1});
}

} // namespace

std::optional<RoundOutline> findLimbus(const QImage& original) {
    if (original.isNull() || original.width() < 16 || original.height() < 16)
        return std::nullopt;
    // The limbus only places the ring that is compared; a reduced copy finds it well enough and
    // keeps the many searches cheap on large photos.
    const double scale = std::min(1.0, double(kWorkSide) / std::max(original.width(), original.height()));
    const QImage photo =
        scale < 1 ? original.scaled(original.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  : original;
    const EyePlanes planes = makeEyePlanes(photo);
    const double smallest = kMinLimbusShare * std::min(photo.width(), photo.height());
    const QRectF frame(0, 0, photo.width(), photo.height());
    std::vector<Vote> votes;
    for (const QPointF& seed : darkSeeds(planes)) {
        const auto dark = findRoundOutline(photo, seed);
        if (!dark)
            continue;
        // The outline about the seed may be the pupil or, on a dark eye, the limbus itself; points
        // beside it tell: they find the limbus about a pupil, nothing or something else about a limbus.
        bool beyond = false;
        for (double reach : kIrisReach)
            for (int side : {-1, 1}) {
                const QPointF p = dark->centre + QPointF(side * reach * dark->radius, 0);
                if (!frame.contains(p))
                    continue;
                const auto outer = findRoundOutline(photo, p);
                if (outer && outer->radius > 1.3 * dark->radius &&
                    distance(outer->centre, dark->centre) < 0.3 * outer->radius) {
                    addVote(votes, *outer);
                    beyond = true;
                }
            }
        if (!beyond && dark->radius >= smallest)
            addVote(votes, *dark);
        // The darkest seed that leads to a limbus settles it, unless a later seed leads elsewhere
        // more convincingly; a few seeds are enough.
        if (!votes.empty() && std::max_element(votes.begin(), votes.end(), [](const Vote& a, const Vote& b) {
                                  return a.votes < b.votes;
                              })->votes >= 2)
            break;
    }
    if (votes.empty())
        return std::nullopt;
    const auto best = std::max_element(votes.begin(), votes.end(), [](const Vote& a, const Vote& b) {
        return a.votes != b.votes ? a.votes < b.votes : a.outline.agreement < b.outline.agreement;
    });
    RoundOutline out = best->outline;
    out.centre /= scale;
    out.radius /= scale;
    return out;
}

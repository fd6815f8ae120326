#include "limbus_auto.h"

#include "eye_planes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kWorkSide = 900;                 // longer side of the copy searched
constexpr int kGrid = 4;                       // points a side of the last resort's grid
constexpr int kSeedsPerMap = 2;                // dark spots tried in each map
constexpr double kBlobScales[] = {0.03, 0.07}; // iris sizes looked for, in the longer side
constexpr double kIrisReach[] = {1.8, 2.6};    // iris points, in radii of the dark outline about a seed
constexpr double kBlobLeast = 0.02;            // blob sizes (sigma) tried, in the longer side
constexpr double kBlobMost = 0.15;
constexpr double kMinLimbusShare = 0.04; // of the photo's shorter side: smaller outlines are pupils
// A pupil, in limbus radii: its radius between these, its centre at most this far from the limbus's.
constexpr double kPupilLeast = 0.12, kPupilMost = 0.75, kPupilOffset = 0.2;
constexpr double kLateralReach = 40 * M_PI / 180; // the sides of the eye, from the horizontal
constexpr int kFrameBlack = 25; // grey level of a camera's black field stop               // grey levels the iris lies above the pupil at least

QImage reduced(const QImage& original, double scale) {
    return scale < 1 ? original.scaled(original.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     : original;
}

double workScale(const QImage& photo) {
    return std::min(1.0, double(kWorkSide) / std::max(photo.width(), photo.height()));
}

double distance(const QPointF& a, const QPointF& b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

bool sameOutline(const RoundOutline& a, const RoundOutline& b) {
    const double r = std::max(a.radius, b.radius);
    return std::abs(a.radius - b.radius) <= 0.08 * r && distance(a.centre, b.centre) <= 0.08 * r;
}

// Near-black regions that touch the photo's border, grown a little: a camera's round field stop or
// a black frame, never the eye.
cv::Mat darkFrame(const cv::Mat& value) {
    cv::Mat black = value < kFrameBlack, labels;
    const int n = cv::connectedComponents(black, labels, 4, CV_32S);
    std::vector<uchar> touches(n, 0);
    for (int x = 0; x < labels.cols; ++x)
        touches[labels.at<int>(0, x)] = touches[labels.at<int>(labels.rows - 1, x)] = 1;
    for (int y = 0; y < labels.rows; ++y)
        touches[labels.at<int>(y, 0)] = touches[labels.at<int>(y, labels.cols - 1)] = 1;
    cv::Mat out(value.size(), CV_8U, cv::Scalar(0));
    for (int y = 0; y < labels.rows; ++y)
        for (int x = 0; x < labels.cols; ++x) {
            const int l = labels.at<int>(y, x);
            out.at<uchar>(y, x) = l > 0 && touches[l] ? 255 : 0;
        }
    const int grow = std::max(3, std::max(value.cols, value.rows) / 40);
    cv::dilate(out, out, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * grow + 1, 2 * grow + 1)));
    return out;
}

// Dark round spots of the photo: the darkest places once lashes are blurred away, and the places
// darker than their surroundings at the size of an iris (a dark iris in white sclera), which
// eyeliner and lash lines, being long and thin, are not.
} // namespace

std::vector<QPointF> darkSeeds(const EyePlanes& planes) {
    const int side = std::max(planes.value.cols, planes.value.rows);
    cv::Mat value;
    planes.value.convertTo(value, CV_32F);
    std::vector<cv::Mat> maps;
    cv::Mat smooth, wide;
    cv::GaussianBlur(value, smooth, cv::Size(0, 0), std::max(1.0, side / 100.0));
    maps.push_back(smooth);
    for (double scale : kBlobScales) {
        cv::GaussianBlur(value, smooth, cv::Size(0, 0), side * scale);
        cv::GaussianBlur(value, wide, cv::Size(0, 0), 3 * side * scale);
        maps.push_back(smooth - wide);
    }
    // Corners and borders hold shadows and hair more often than eyes: only the middle is searched.
    std::vector<QPointF> seeds;
    const int mx = value.cols / 10, my = value.rows / 10;
    const cv::Mat outside = darkFrame(planes.value);
    for (int round = 0; round < kSeedsPerMap; ++round)
        for (const cv::Mat& map : maps) {
            cv::Mat open(map.size(), CV_8U, cv::Scalar(0));
            open(cv::Rect(mx, my, value.cols - 2 * mx, value.rows - 2 * my)).setTo(255);
            open.setTo(0, outside);
            for (const QPointF& s : seeds)
                cv::circle(open, cv::Point(int(s.x() / planes.factor), int(s.y() / planes.factor)),
                           std::max(2, side / 12), cv::Scalar(0), cv::FILLED);
            cv::Point at;
            cv::minMaxLoc(map, nullptr, nullptr, &at, nullptr, open);
            if (open.at<uchar>(at) != 0)
                seeds.emplace_back((at.x + 0.5) * planes.factor, (at.y + 0.5) * planes.factor);
        }
    return seeds;
}

namespace {

// The strongest dark round blob of the photo at the size of an iris, by the scale-normalised
// determinant of the Hessian, which answers to round blobs and not to lines (lashes, a lid's edge);
// for a disc of radius R it peaks near sigma R / sqrt 2. Only the blob's place and size are known,
// not its edge: it stands in for the limbus of a dark iris whose pupil and edge the search misses.
std::optional<RoundOutline> darkestBlob(const EyePlanes& planes) {
    const int side = std::max(planes.value.cols, planes.value.rows);
    cv::Mat value;
    planes.value.convertTo(value, CV_32F);
    const int mx = value.cols / 8, my = value.rows / 8;
    const cv::Rect middle(mx, my, value.cols - 2 * mx, value.rows - 2 * my);
    double best = 0;
    std::optional<RoundOutline> out;
    for (double sigma = side * kBlobLeast; sigma <= side * kBlobMost; sigma *= 1.2) {
        cv::Mat smooth, dxx, dyy, dxy;
        cv::GaussianBlur(value, smooth, cv::Size(0, 0), sigma);
        cv::Sobel(smooth, dxx, CV_32F, 2, 0);
        cv::Sobel(smooth, dyy, CV_32F, 0, 2);
        cv::Sobel(smooth, dxy, CV_32F, 1, 1);
        cv::Mat blob = (dxx.mul(dyy) - dxy.mul(dxy)) * std::pow(sigma, 4);
        blob.setTo(0, (dxx + dyy) <= 0); // bright blobs do not count
        double response = 0;
        cv::Point at;
        cv::minMaxLoc(blob(middle), nullptr, &response, nullptr, &at);
        if (response > best) {
            best = response;
            const QPointF centre((middle.x + at.x + 0.5) * planes.factor,
                                 (middle.y + at.y + 0.5) * planes.factor);
            out = RoundOutline{centre, std::sqrt(2.0) * sigma * planes.factor, 0};
        }
    }
    return out;
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
    const double scale = workScale(original);
    const QImage photo = reduced(original, scale);
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
    // Failing that, points spread over the middle of the photo, where an eye photo's eye lies.
    for (int gy = 1; votes.empty() && gy <= kGrid; ++gy)
        for (int gx = 1; gx <= kGrid; ++gx) {
            const QPointF p(photo.width() * (0.5 + 0.4 * (gx - 0.5 - kGrid / 2.0) / kGrid * 2),
                            photo.height() * (0.5 + 0.4 * (gy - 0.5 - kGrid / 2.0) / kGrid * 2));
            if (const auto o = findRoundOutline(photo, p); o && o->radius >= smallest)
                addVote(votes, *o);
        }
    if (votes.empty()) {
        auto blob = darkestBlob(planes);
        if (blob) {
            blob->centre /= scale;
            blob->radius /= scale;
        }
        return blob;
    }
    const auto best = std::max_element(votes.begin(), votes.end(), [](const Vote& a, const Vote& b) {
        return a.votes != b.votes ? a.votes < b.votes : a.outline.agreement < b.outline.agreement;
    });
    RoundOutline out = best->outline;
    out.centre /= scale;
    out.radius /= scale;
    return out;
}

std::optional<Circle> findPupil(const QImage& original, const Circle& limbus) {
    if (original.isNull() || !(limbus.radius > 4))
        return std::nullopt;
    const double scale = workScale(original);
    const auto o = findRoundOutline(reduced(original, scale), limbus.centre * scale);
    if (!o)
        return std::nullopt;
    const Circle pupil{o->centre / scale, o->radius / scale};
    if (pupil.radius < kPupilLeast * limbus.radius || pupil.radius > kPupilMost * limbus.radius ||
        distance(pupil.centre, limbus.centre) > kPupilOffset * limbus.radius)
        return std::nullopt;
    return pupil;
}

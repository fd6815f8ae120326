#include "dark_spots.h"

#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

// Near-black regions that touch the photo's border, grown a little: a camera's round field stop or
// a black frame, never the eye.
cv::Mat darkFrame(const cv::Mat& value) {
    const RingsTuning& t = tuning().rings;
    cv::Mat black = value < t.frameBlack, labels;
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
    const int grow = std::max(t.frameGrowLeast, std::max(value.cols, value.rows) / t.frameGrowDivisor);
    cv::dilate(out, out, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * grow + 1, 2 * grow + 1)));
    return out;
}

// A Gaussian blur; a wide one is done on the plane reduced a few times and brought back to size,
// which at these widths is the same map to a small fraction of a grey level at a fraction of the work.
cv::Mat blurred(const cv::Mat& plane, double sigma) {
    const RingsTuning& t = tuning().rings;
    const int reduce = t.blurReduce;
    cv::Mat out;
    if (sigma < t.blurReduceLeastSigma * reduce || plane.cols < t.blurReduceLeastSide * reduce ||
        plane.rows < t.blurReduceLeastSide * reduce) {
        cv::GaussianBlur(plane, out, cv::Size(0, 0), sigma);
        return out;
    }
    cv::Mat small;
    cv::resize(plane, small, cv::Size(plane.cols / reduce, plane.rows / reduce), 0, 0, cv::INTER_AREA);
    cv::GaussianBlur(small, small, cv::Size(0, 0), sigma / reduce);
    cv::resize(small, out, plane.size(), 0, 0, cv::INTER_LINEAR);
    return out;
}

} // namespace

std::vector<QPointF> darkSeeds(const EyePlanes& planes) {
    const RingsTuning& t = tuning().rings;
    const int side = std::max(planes.value.cols, planes.value.rows);
    cv::Mat value;
    planes.value.convertTo(value, CV_32F);
    std::vector<cv::Mat> maps;
    maps.push_back(blurred(value, std::max(t.darkestBlurLeast, side / t.darkestBlurDivisor)));
    for (double scale : t.blobScales)
        maps.push_back(blurred(value, side * scale) - blurred(value, t.blobSurround * side * scale));
    // Corners and borders hold shadows and hair more often than eyes: only the middle is searched.
    std::vector<QPointF> seeds;
    const int mx = value.cols / t.borderDivisor, my = value.rows / t.borderDivisor;
    const cv::Mat outside = darkFrame(planes.value);
    for (int round = 0; round < t.seedsPerMap; ++round)
        for (const cv::Mat& map : maps) {
            cv::Mat open(map.size(), CV_8U, cv::Scalar(0));
            open(cv::Rect(mx, my, value.cols - 2 * mx, value.rows - 2 * my)).setTo(255);
            open.setTo(0, outside);
            for (const QPointF& s : seeds)
                cv::circle(open, cv::Point(int(s.x() / planes.factor), int(s.y() / planes.factor)),
                           std::max(t.seedSpacingLeast, side / t.seedSpacingDivisor), cv::Scalar(0),
                           cv::FILLED);
            cv::Point at;
            cv::minMaxLoc(map, nullptr, nullptr, &at, nullptr, open);
            if (at.x >= 0 && open.at<uchar>(at) != 0) // none left open: no place found
                seeds.emplace_back((at.x + 0.5) * planes.factor, (at.y + 0.5) * planes.factor);
        }
    return seeds;
}

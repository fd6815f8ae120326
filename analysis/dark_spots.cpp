#include "dark_spots.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSeedsPerMap = 2;                // dark spots tried in each map
constexpr double kBlobScales[] = {0.03, 0.07}; // iris sizes looked for, in the longer side
constexpr int kFrameBlack = 25;                // grey level of a camera's black field stop

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

// A Gaussian blur; a wide one is done on the plane reduced four times and brought back to size,
// which at these widths is the same map to a small fraction of a grey level at a sixteenth of the work.
cv::Mat blurred(const cv::Mat& plane, double sigma) {
    constexpr int kReduce = 4;
    cv::Mat out;
    if (sigma < 4 * kReduce || plane.cols < 8 * kReduce || plane.rows < 8 * kReduce) {
        cv::GaussianBlur(plane, out, cv::Size(0, 0), sigma);
        return out;
    }
    cv::Mat small;
    cv::resize(plane, small, cv::Size(plane.cols / kReduce, plane.rows / kReduce), 0, 0, cv::INTER_AREA);
    cv::GaussianBlur(small, small, cv::Size(0, 0), sigma / kReduce);
    cv::resize(small, out, plane.size(), 0, 0, cv::INTER_LINEAR);
    return out;
}

} // namespace

std::vector<QPointF> darkSeeds(const EyePlanes& planes) {
    const int side = std::max(planes.value.cols, planes.value.rows);
    cv::Mat value;
    planes.value.convertTo(value, CV_32F);
    std::vector<cv::Mat> maps;
    maps.push_back(blurred(value, std::max(1.0, side / 100.0)));
    for (double scale : kBlobScales)
        maps.push_back(blurred(value, side * scale) - blurred(value, 3 * side * scale));
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

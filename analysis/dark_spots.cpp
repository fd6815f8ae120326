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

#include "limbus_carry.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kReducedRadius = 24; // limbus radius in the reduced photos, pixels
constexpr double kReach = 1.6;        // half the side of the matched patch, in limbus radii
constexpr double kScales[] = {0.85, 0.9, 0.95, 1.0, 1.05, 1.1, 1.15, 1.2};
constexpr double kDisc = 1.25;     // radius of the matched disc, in limbus radii: lids outside it do not turn
constexpr double kSoftening = 1.5; // pixels of blur in the reduced photos
constexpr double kMaxTurn = 30;    // degrees the eye is looked for turned either way
constexpr double kTurnStep = 6;
constexpr double kMinScore = 0.3; // correlation below which the eye is not found

cv::Mat reducedGrey(const QImage& photo, double factor) {
    const QImage rgb = photo.format() == QImage::Format_RGB32 || photo.format() == QImage::Format_ARGB32 ||
                               photo.format() == QImage::Format_ARGB32_Premultiplied
                           ? photo
                           : photo.convertToFormat(QImage::Format_RGB32);
    const cv::Mat full(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    cv::Mat small, grey;
    cv::resize(full, small,
               cv::Size(std::max(1, int(rgb.width() / factor)), std::max(1, int(rgb.height() / factor))), 0,
               0, cv::INTER_AREA);
    cv::cvtColor(small, grey, cv::COLOR_BGRA2GRAY);
    // Fine texture turns with the eye; the dark iris in the white sclera does not change.
    cv::GaussianBlur(grey, grey, cv::Size(0, 0), kSoftening);
    return grey;
}

double parabolaVertex(double left, double middle, double right) {
    const double d = left - 2 * middle + right;
    return d < 0 ? std::clamp(0.5 * (left - right) / d, -0.5, 0.5) : 0;
}

} // namespace

std::optional<Circle> carryLimbus(const QImage& from, const Circle& limbus, const QImage& to) {
    if (from.isNull() || to.isNull() || !(limbus.radius > 2))
        return std::nullopt;
    const double factor = std::max(1.0, limbus.radius / kReducedRadius);
    const cv::Mat source = reducedGrey(from, factor), target = reducedGrey(to, factor);
    const QPointF centre = limbus.centre / factor - QPointF(0.5, 0.5); // pixel centres at integers
    const double r = limbus.radius / factor;
    const cv::Rect box =
        cv::Rect(int(std::lround(centre.x() - kReach * r)), int(std::lround(centre.y() - kReach * r)),
                 int(2 * kReach * r) + 1, int(2 * kReach * r) + 1) &
        cv::Rect(0, 0, source.cols, source.rows);
    if (box.width < 8 || box.height < 8)
        return std::nullopt;
    struct Best {
        double score = -2, scale = 1;
        QPointF at;
    } best;
    // The patch is turned as well as scaled: what lies inside the disc (the pupil off the middle, a
    // reflection, a lid's shadow) turns with the eye.
    const QPointF inBox = centre - QPointF(box.x, box.y);
    for (double s : kScales)
        for (double turn = -kMaxTurn; turn <= kMaxTurn + 1e-9; turn += kTurnStep) {
            const cv::Size size(int(box.width * s), int(box.height * s));
            cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(float(inBox.x()), float(inBox.y())), turn, s);
            const QPointF inPatch = inBox * s;
            m.at<double>(0, 2) += inPatch.x() - inBox.x();
            m.at<double>(1, 2) += inPatch.y() - inBox.y();
            if (size.width >= target.cols || size.height >= target.rows || size.width < 4 || size.height < 4)
                continue;
            cv::Mat patch;
            cv::warpAffine(source(box), patch, m, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
            cv::Mat disc(patch.size(), CV_8U, cv::Scalar(0));
            cv::circle(disc, cv::Point(int(std::lround(inPatch.x())), int(std::lround(inPatch.y()))),
                       int(std::lround(kDisc * r * s)), cv::Scalar(255), cv::FILLED);
            cv::Mat map;
            cv::matchTemplate(target, patch, map, cv::TM_CCOEFF_NORMED, disc);
            // A flat stretch of the photo divides by nothing: no match there.
            cv::patchNaNs(map, -1);
            map.setTo(-1, cv::abs(map) > 1.001);
            double score = 0;
            cv::Point at;
            cv::minMaxLoc(map, nullptr, &score, nullptr, &at);
            if (score <= best.score)
                continue;
            const auto v = [&](int y, int x) { return double(map.at<float>(y, x)); };
            QPointF sub(at.x, at.y);
            if (at.x > 0 && at.x + 1 < map.cols)
                sub.rx() += parabolaVertex(v(at.y, at.x - 1), score, v(at.y, at.x + 1));
            if (at.y > 0 && at.y + 1 < map.rows)
                sub.ry() += parabolaVertex(v(at.y - 1, at.x), score, v(at.y + 1, at.x));
            best = {score, s, sub + inPatch};
        }
    if (best.score < kMinScore)
        return std::nullopt;
    return Circle{(best.at + QPointF(0.5, 0.5)) * factor, limbus.radius * best.scale};
}

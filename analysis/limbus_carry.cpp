#include "limbus_carry.h"

#include "numerics.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

cv::Mat reducedGrey(const QImage& photo, double factor) {
    const QImage rgb = as32Bit(photo);
    const cv::Mat full(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    cv::Mat small, grey;
    cv::resize(full, small,
               cv::Size(std::max(1, int(rgb.width() / factor)), std::max(1, int(rgb.height() / factor))), 0,
               0, cv::INTER_AREA);
    cv::cvtColor(small, grey, cv::COLOR_BGRA2GRAY);
    // Fine texture turns with the eye; the dark iris in the white sclera does not change.
    cv::GaussianBlur(grey, grey, cv::Size(0, 0), tuning().rotation.carrySoftening);
    return grey;
}

struct Match {
    double score = -2, scale = 1;
    QPointF at; // the limbus centre in the target, pixel centres at integers
};

// The patch of the source about the limbus (centre inBox in the box, radius r), turned and scaled,
// matched over the target inside a disc about the limbus; none when the patch does not fit.
std::optional<Match> matchTurned(const cv::Mat& patchSource, const cv::Mat& target, const QPointF& inBox,
                                 double r, double s, double turn) {
    const RotationTuning& t = tuning().rotation;
    const cv::Size size(int(patchSource.cols * s), int(patchSource.rows * s));
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(float(inBox.x()), float(inBox.y())), turn, s);
    const QPointF inPatch = inBox * s;
    m.at<double>(0, 2) += inPatch.x() - inBox.x();
    m.at<double>(1, 2) += inPatch.y() - inBox.y();
    if (size.width >= target.cols || size.height >= target.rows || size.width < t.carryLeastPatch ||
        size.height < t.carryLeastPatch)
        return std::nullopt;
    cv::Mat patch;
    cv::warpAffine(patchSource, patch, m, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::Mat disc(patch.size(), CV_8U, cv::Scalar(0));
    cv::circle(disc, cv::Point(int(std::lround(inPatch.x())), int(std::lround(inPatch.y()))),
               int(std::lround(t.carryDisc * r * s)), cv::Scalar(255), cv::FILLED);
    cv::Mat map;
    cv::matchTemplate(target, patch, map, cv::TM_CCOEFF_NORMED, disc);
    // A flat stretch of the photo divides by nothing: no match there.
    cv::patchNaNs(map, -1);
    map.setTo(-1, cv::abs(map) > t.carryCorrelationLimit);
    Match found{0, s, {}};
    cv::Point at;
    cv::minMaxLoc(map, nullptr, &found.score, nullptr, &at);
    const auto v = [&](int y, int x) { return double(map.at<float>(y, x)); };
    QPointF sub(at.x, at.y);
    if (at.x > 0 && at.x + 1 < map.cols)
        sub.rx() += parabolaVertex(v(at.y, at.x - 1), found.score, v(at.y, at.x + 1));
    if (at.y > 0 && at.y + 1 < map.rows)
        sub.ry() += parabolaVertex(v(at.y - 1, at.x), found.score, v(at.y + 1, at.x));
    found.at = sub + inPatch;
    return found;
}

} // namespace

std::optional<Circle> carryLimbus(const QImage& from, const Circle& limbus, const QImage& to) {
    const RotationTuning& t = tuning().rotation;
    if (from.isNull() || to.isNull() || !(limbus.radius > t.carryLeastRadius))
        return std::nullopt;
    const double factor = std::max(1.0, limbus.radius / t.carryRadius);
    const cv::Mat source = reducedGrey(from, factor), target = reducedGrey(to, factor);
    const QPointF centre = limbus.centre / factor - QPointF(0.5, 0.5); // pixel centres at integers
    const double r = limbus.radius / factor;
    const cv::Rect box = cv::Rect(int(std::lround(centre.x() - t.carryReach * r)),
                                  int(std::lround(centre.y() - t.carryReach * r)),
                                  int(2 * t.carryReach * r) + 1, int(2 * t.carryReach * r) + 1) &
                         cv::Rect(0, 0, source.cols, source.rows);
    if (box.width < t.carryLeastBox || box.height < t.carryLeastBox)
        return std::nullopt;
    // The patch is turned as well as scaled: what lies inside the disc (the pupil off the middle, a
    // reflection, a lid's shadow) turns with the eye.
    Match best;
    const QPointF inBox = centre - QPointF(box.x, box.y);
    for (double s : t.carryScales)
        for (double turn = -t.carryMaxTurn; turn <= t.carryMaxTurn + 1e-9; turn += t.carryTurnStep)
            if (const auto m = matchTurned(source(box), target, inBox, r, s, turn);
                m && m->score > best.score)
                best = *m;
    if (best.score < t.carryMinScore)
        return std::nullopt;
    return Circle{(best.at + QPointF(0.5, 0.5)) * factor, limbus.radius * best.scale};
}

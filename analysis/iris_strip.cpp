#include "iris_strip.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPlaneRadius = 160;   // limbus radius, in pixels of the reduced plane read
constexpr double kLateralDegrees = 40; // the sides of the eye, seldom covered by lids
constexpr int kGlareStep = 40;         // reflections: this much brighter than all about them
constexpr int kGlareLevel = 150;       // and this bright
constexpr double kMinStepShare = 0.35;
constexpr double kIrisTolerance = 0.8; // of that step: how far the iris's grey level may stray // of the
                                       // typical iris-to-sclera step, for an angle to count
// The local mean is taken along the angles and hardly across the radii: what is the same all round
// (the step at the limbus, the dark limbal ring) then drops out and cannot match at every turn.
constexpr double kAngleBlur = 6;     // columns
constexpr double kRadiusBlur = 0.7;  // rows
constexpr double kContrastFloor = 2; // grey levels: flat areas are not amplified beyond this
// Reach of the plane beyond the strip's outer edge, in limbus radii: the limbus centre may be
// corrected by this much and the strip read again from the same plane.
constexpr double kPlaneMargin = 0.15;

} // namespace

IrisPlane irisPlaneAbout(const QImage& photo, const Circle& limbus) {
    IrisPlane plane;
    const QImage rgb = photo.format() == QImage::Format_RGB32 || photo.format() == QImage::Format_ARGB32 ||
                               photo.format() == QImage::Format_ARGB32_Premultiplied
                           ? photo
                           : photo.convertToFormat(QImage::Format_RGB32);
    const double reach = (kStripOuter + 0.1 + kPlaneMargin) * limbus.radius;
    const cv::Rect box =
        cv::Rect(int(std::floor(limbus.centre.x() - reach)), int(std::floor(limbus.centre.y() - reach)),
                 int(2 * reach) + 2, int(2 * reach) + 2) &
        cv::Rect(0, 0, rgb.width(), rgb.height());
    if (box.empty())
        return plane;
    const cv::Mat full(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    plane.factor = std::max(1.0, limbus.radius / kPlaneRadius);
    plane.origin = QPointF(box.x, box.y);
    const cv::Size size(std::max(1, int(box.width / plane.factor)),
                        std::max(1, int(box.height / plane.factor)));
    // Averaged over whole blocks of pixels first, which is quick on a large photo, then by what is
    // left of the factor.
    const int block = std::max(1, std::min(box.width / size.width, box.height / size.height));
    const cv::Rect blocks(box.x, box.y, box.width / block * block, box.height / block * block);
    cv::Mat small = full(blocks);
    if (block > 1)
        cv::resize(small, small, cv::Size(blocks.width / block, blocks.height / block), 0, 0, cv::INTER_AREA);
    if (small.size() != size)
        cv::resize(small, small, size, 0, 0, cv::INTER_AREA);
    plane.factor = double(blocks.width) / size.width;
    cv::cvtColor(small, plane.grey, cv::COLOR_BGRA2GRAY);
    cv::Mat channels[4], value, tophat;
    cv::split(small, channels);
    value = cv::max(cv::max(channels[0], channels[1]), channels[2]);
    const int kernel = std::max(5, int(kPlaneRadius / 8) | 1);
    cv::morphologyEx(value, tophat, cv::MORPH_TOPHAT,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kernel, kernel)));
    plane.glare = (tophat > kGlareStep) & (value > kGlareLevel);
    cv::dilate(plane.glare, plane.glare, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5)));
    return plane;
}

namespace {

double medianOf(std::vector<float> v) {
    if (v.empty())
        return NAN;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

bool lateral(int column, int columns) {
    const double a = std::fmod(360.0 * column / columns + 360, 360);
    return a <= kLateralDegrees || a >= 360 - kLateralDegrees || std::abs(a - 180) <= kLateralDegrees;
}

// Rows of the iris, by the share of the way from the pupil's edge to the limbus, and of the sclera,
// by the radius in limbus radii.
int irisRow(double t) {
    return std::clamp(int((t - kIrisFrom) / (1 - kIrisFrom) * kIrisRows), 0, kIrisRows - 1);
}
int scleraRow(double radius) {
    return kIrisRows + std::clamp(int((radius - 1) / (kStripOuter - 1) * kScleraRows), 0, kScleraRows - 1);
}

// Angles at which a lid or lashes hide the limbus lose their whole column: there the grey level does
// not step up from the iris to the sclera as it does on the sides of the eye, or the iris is not
// the iris's colour. Inside the sclera's rows, dark pixels (lashes, shadows) are dropped too.
void maskLids(const cv::Mat& grey, cv::Mat& valid) {
    const int inner0 = irisRow(0.5), inner1 = irisRow(0.92), outer0 = scleraRow(1.08),
              outer1 = scleraRow(1.28);
    std::vector<double> irisLevel(grey.cols, NAN), step(grey.cols, NAN);
    std::vector<float> in, out, lateralIris, lateralStep;
    for (int j = 0; j < grey.cols; ++j) {
        in.clear(), out.clear();
        for (int i = inner0; i <= outer1; ++i)
            if (valid.at<uchar>(i, j))
                (i <= inner1 ? in : out).push_back(grey.at<float>(i, j));
        if (in.size() < 3 || out.size() < 3)
            continue;
        irisLevel[j] = medianOf(in);
        step[j] = medianOf(out) - irisLevel[j];
        if (lateral(j, grey.cols))
            lateralIris.push_back(float(irisLevel[j])), lateralStep.push_back(float(step[j]));
    }
    const double typicalIris = medianOf(lateralIris), typicalStep = medianOf(lateralStep);
    if (!(typicalStep > 2 * kContrastFloor))
        return; // no limbus contrast to tell lids by
    for (int j = 0; j < grey.cols; ++j) {
        const bool seen = step[j] >= kMinStepShare * typicalStep &&
                          std::abs(irisLevel[j] - typicalIris) <= kIrisTolerance * typicalStep;
        for (int i = 0; i < grey.rows; ++i) {
            const bool dark = i >= outer0 && grey.at<float>(i, j) < typicalIris + 0.4 * typicalStep;
            if (!seen || dark)
                valid.at<uchar>(i, j) = 0;
        }
    }
}

// Blur of the valid pixels only, wrapping round the angles.
cv::Mat maskedBlur(const cv::Mat& values, const cv::Mat& weights) {
    const int pad = 24;
    cv::Mat v, w;
    cv::copyMakeBorder(values.mul(weights), v, 0, 0, pad, pad, cv::BORDER_WRAP);
    cv::copyMakeBorder(weights, w, 0, 0, pad, pad, cv::BORDER_WRAP);
    cv::GaussianBlur(v, v, cv::Size(0, 0), kAngleBlur, kRadiusBlur, cv::BORDER_REPLICATE);
    cv::GaussianBlur(w, w, cv::Size(0, 0), kAngleBlur, kRadiusBlur, cv::BORDER_REPLICATE);
    cv::Mat out = v / cv::max(w, 1e-3);
    return out(cv::Rect(pad, 0, values.cols, values.rows)).clone();
}

// Local contrast: each pixel's difference from the mean about it, in units of the spread about it,
// so that brightness, contrast and slow shading drop out.
cv::Mat localContrast(const cv::Mat& grey, const cv::Mat& valid) {
    cv::Mat weights;
    valid.convertTo(weights, CV_32F, 1.0 / 255);
    const cv::Mat mean = maskedBlur(grey, weights);
    const cv::Mat diff = grey - mean;
    cv::Mat spread;
    cv::sqrt(maskedBlur(diff.mul(diff), weights), spread);
    cv::Mat out = diff / cv::max(spread, kContrastFloor);
    return out.mul(weights);
}

} // namespace

double IrisStrip::visibleShare() const {
    if (valid.empty())
        return 0;
    int seen = 0;
    for (int j = 0; j < valid.cols; ++j)
        seen += cv::countNonZero(valid.col(j)) >= valid.rows / 3;
    return double(seen) / valid.cols;
}

IrisStrip unrollIris(const QImage& photo, const Circle& limbus, const std::optional<Circle>& pupil) {
    if (photo.isNull() || !(limbus.radius > 1))
        return unrollIris(IrisPlane{}, limbus, pupil);
    return unrollIris(irisPlaneAbout(photo, limbus), limbus, pupil);
}

IrisStrip unrollIris(const IrisPlane& plane, const Circle& limbus, const std::optional<Circle>& pupil) {
    IrisStrip strip;
    strip.texture = cv::Mat::zeros(kStripRows, kStripColumns, CV_32F);
    strip.valid = cv::Mat::zeros(kStripRows, kStripColumns, CV_8U);
    if (plane.grey.empty() || !(limbus.radius > 1))
        return strip;
    cv::Mat mapX(kStripRows, kStripColumns, CV_32F), mapY(kStripRows, kStripColumns, CV_32F);
    // The pupil gives the inner edge's size only: about the limbus's centre the strip turns rigidly with
    // the eye, and a pupil centre found a little off does not warp the inner rows' angles.
    const Circle inner{limbus.centre, pupil ? pupil->radius : kNotionalPupil * limbus.radius};
    for (int j = 0; j < kStripColumns; ++j) {
        // Counter-clockwise on the screen, where y grows downwards.
        const double a = 2 * M_PI * j / kStripColumns, c = std::cos(a), s = -std::sin(a);
        const QPointF from = inner.centre + inner.radius * QPointF(c, s);
        const QPointF to = limbus.centre + limbus.radius * QPointF(c, s);
        for (int i = 0; i < kStripRows; ++i) {
            QPointF p;
            if (i < kIrisRows) {
                const double t = kIrisFrom + (1 - kIrisFrom) * (i + 0.5) / kIrisRows;
                p = from + t * (to - from);
            } else {
                const double rho = 1 + (kStripOuter - 1) * (i - kIrisRows + 0.5) / kScleraRows;
                p = limbus.centre + rho * limbus.radius * QPointF(c, s);
            }
            // Plane pixel centres at integers.
            mapX.at<float>(i, j) = float((p.x() - plane.origin.x()) / plane.factor - 0.5);
            mapY.at<float>(i, j) = float((p.y() - plane.origin.y()) / plane.factor - 0.5);
        }
    }
    cv::Mat grey, inside, glare;
    cv::remap(plane.grey, grey, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    grey.convertTo(grey, CV_32F);
    cv::remap(cv::Mat(plane.grey.size(), CV_8U, cv::Scalar(255)), inside, mapX, mapY, cv::INTER_NEAREST,
              cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::remap(plane.glare, glare, mapX, mapY, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
    strip.valid = inside & ~glare;
    maskLids(grey, strip.valid);
    strip.texture = localContrast(grey, strip.valid);
    return strip;
}

#include "iris_strip.h"

#include "numerics.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

IrisPlane irisPlaneAbout(const QImage& photo, const Circle& limbus) {
    const RotationTuning& t = tuning().rotation;
    IrisPlane plane;
    const QImage rgb = as32Bit(photo);
    const double reach = (t.stripOuter + t.planeSlack + t.planeMargin) * limbus.radius;
    const cv::Rect box =
        cv::Rect(int(std::floor(limbus.centre.x() - reach)), int(std::floor(limbus.centre.y() - reach)),
                 int(2 * reach) + 2, int(2 * reach) + 2) &
        cv::Rect(0, 0, rgb.width(), rgb.height());
    if (box.empty())
        return plane;
    const cv::Mat full(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    plane.factor = std::max(1.0, limbus.radius / t.planeRadius);
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
    // Reflections: spots brighter than all about them, and bright, as in the eye's planes.
    const int kernel = std::max(t.glareKernelLeast, int(t.planeRadius / t.glareKernelDivisor) | 1);
    cv::morphologyEx(value, tophat, cv::MORPH_TOPHAT,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kernel, kernel)));
    plane.glare = (tophat > tuning().rings.glareStep) & (value > tuning().rings.glareLevel);
    cv::dilate(plane.glare, plane.glare,
               cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(t.glareGrowth, t.glareGrowth)));
    return plane;
}

namespace {

bool lateral(int column, int columns) {
    const double side = tuning().rotation.lateralDegrees;
    const double a = std::fmod(360.0 * column / columns + 360, 360);
    return a <= side || a >= 360 - side || std::abs(a - 180) <= side;
}

// Rows of the iris, by the share of the way from the pupil's edge to the limbus, and of the sclera,
// by the radius in limbus radii.
int irisRow(double share) {
    const RotationTuning& t = tuning().rotation;
    return std::clamp(int((share - t.irisFrom) / (1 - t.irisFrom) * t.irisRows), 0, t.irisRows - 1);
}
int scleraRow(double radius) {
    const RotationTuning& t = tuning().rotation;
    return t.irisRows +
           std::clamp(int((radius - 1) / (t.stripOuter - 1) * t.scleraRows), 0, t.scleraRows - 1);
}

// Angles at which a lid or lashes hide the limbus lose their whole column: there the grey level does
// not step up from the iris to the sclera as it does on the sides of the eye, or the iris is not
// the iris's colour. Inside the sclera's rows, dark pixels (lashes, shadows) are dropped too.
void maskLids(const cv::Mat& grey, cv::Mat& valid) {
    const RotationTuning& t = tuning().rotation;
    const int inner0 = irisRow(t.lidIrisFrom), inner1 = irisRow(t.lidIrisTo),
              outer0 = scleraRow(t.lidScleraFrom), outer1 = scleraRow(t.lidScleraTo);
    std::vector<double> irisLevel(grey.cols, NAN), step(grey.cols, NAN);
    std::vector<float> in, out, lateralIris, lateralStep;
    for (int j = 0; j < grey.cols; ++j) {
        in.clear(), out.clear();
        for (int i = inner0; i <= outer1; ++i)
            if (valid.at<uchar>(i, j))
                (i <= inner1 ? in : out).push_back(grey.at<float>(i, j));
        if (in.size() < size_t(t.leastLidSamples) || out.size() < size_t(t.leastLidSamples))
            continue;
        irisLevel[j] = medianOf(in, NAN);
        step[j] = medianOf(out, NAN) - irisLevel[j];
        if (lateral(j, grey.cols))
            lateralIris.push_back(float(irisLevel[j])), lateralStep.push_back(float(step[j]));
    }
    const double typicalIris = medianOf(lateralIris, NAN), typicalStep = medianOf(lateralStep, NAN);
    if (!(typicalStep > t.lidContrastFloors * t.contrastFloor))
        return; // no limbus contrast to tell lids by
    for (int j = 0; j < grey.cols; ++j) {
        const bool seen = step[j] >= t.minStepShare * typicalStep &&
                          std::abs(irisLevel[j] - typicalIris) <= t.irisTolerance * typicalStep;
        for (int i = 0; i < grey.rows; ++i) {
            const bool dark = i >= outer0 && grey.at<float>(i, j) < typicalIris + t.darkSclera * typicalStep;
            if (!seen || dark)
                valid.at<uchar>(i, j) = 0;
        }
    }
}

// Blur of the valid pixels only, wrapping round the angles.
cv::Mat maskedBlur(const cv::Mat& values, const cv::Mat& weights) {
    const RotationTuning& t = tuning().rotation;
    const int pad = t.blurPad;
    cv::Mat v, w;
    cv::copyMakeBorder(values.mul(weights), v, 0, 0, pad, pad, cv::BORDER_WRAP);
    cv::copyMakeBorder(weights, w, 0, 0, pad, pad, cv::BORDER_WRAP);
    cv::GaussianBlur(v, v, cv::Size(0, 0), t.angleBlur, t.radiusBlur, cv::BORDER_REPLICATE);
    cv::GaussianBlur(w, w, cv::Size(0, 0), t.angleBlur, t.radiusBlur, cv::BORDER_REPLICATE);
    cv::Mat out = v / cv::max(w, t.leastWeight);
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
    cv::Mat out = diff / cv::max(spread, tuning().rotation.contrastFloor);
    return out.mul(weights);
}

} // namespace

double IrisStrip::visibleShare() const {
    if (valid.empty())
        return 0;
    int seen = 0;
    for (int j = 0; j < valid.cols; ++j)
        seen += cv::countNonZero(valid.col(j)) >= valid.rows / tuning().rotation.seenRowsDivisor;
    return double(seen) / valid.cols;
}

IrisStrip unrollIris(const QImage& photo, const Circle& limbus, const std::optional<Circle>& pupil) {
    if (photo.isNull() || !(limbus.radius > 1))
        return unrollIris(IrisPlane{}, limbus, pupil);
    return unrollIris(irisPlaneAbout(photo, limbus), limbus, pupil);
}

IrisStrip unrollIris(const IrisPlane& plane, const Circle& limbus, const std::optional<Circle>& pupil) {
    const RotationTuning& t = tuning().rotation;
    const int rows = t.irisRows + t.scleraRows, columns = t.stripColumns;
    IrisStrip strip;
    strip.texture = cv::Mat::zeros(rows, columns, CV_32F);
    strip.valid = cv::Mat::zeros(rows, columns, CV_8U);
    if (plane.grey.empty() || !(limbus.radius > 1))
        return strip;
    cv::Mat mapX(rows, columns, CV_32F), mapY(rows, columns, CV_32F);
    // The pupil gives the inner edge's size only: about the limbus's centre the strip turns rigidly with
    // the eye, and a pupil centre found a little off does not warp the inner rows' angles.
    const Circle inner{limbus.centre, pupil ? pupil->radius : t.notionalPupil * limbus.radius};
    for (int j = 0; j < columns; ++j) {
        // Counter-clockwise on the screen, where y grows downwards.
        const double a = 2 * M_PI * j / columns, c = std::cos(a), s = -std::sin(a);
        const QPointF from = inner.centre + inner.radius * QPointF(c, s);
        const QPointF to = limbus.centre + limbus.radius * QPointF(c, s);
        for (int i = 0; i < rows; ++i) {
            QPointF p;
            if (i < t.irisRows) {
                const double share = t.irisFrom + (1 - t.irisFrom) * (i + 0.5) / t.irisRows;
                p = from + share * (to - from);
            } else {
                const double rho = 1 + (t.stripOuter - 1) * (i - t.irisRows + 0.5) / t.scleraRows;
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

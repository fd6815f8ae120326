#include "eye_planes.h"

#include "gray_sampler.h"
#include "numerics.h"
#include "tuning.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

cv::Mat fillGlare(const cv::Mat& plane, const cv::Mat& glare, int kernel) {
    cv::Mat opened;
    cv::morphologyEx(plane, opened, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kernel, kernel)));
    cv::Mat out = plane.clone();
    opened.copyTo(out, glare);
    return out;
}

} // namespace

EyePlanes makeEyePlanes(const QImage& photo, int targetSide) {
    const RingsTuning& t = tuning().rings;
    EyePlanes planes;
    const QImage rgb = as32Bit(photo);
    planes.factor = reductionFactor(rgb.size(), targetSide > 0 ? targetSide : t.planeSide);
    const int f = planes.factor;
    const cv::Mat full(rgb.height(), rgb.width(), CV_8UC4, const_cast<uchar*>(rgb.constBits()),
                       size_t(rgb.bytesPerLine()));
    cv::Mat small;
    const cv::Size size(rgb.width() / f, rgb.height() / f);
    if (size.width < 1 || size.height < 1)
        return planes;
    if (f == 1)
        small = full;
    else
        cv::resize(full(cv::Rect(0, 0, size.width * f, size.height * f)), small, size, 0, 0, cv::INTER_AREA);
    cv::Mat channels[4];
    cv::split(small, channels); // B, G, R, A in memory order of a 32-bit QImage
    cv::Mat value = cv::max(cv::max(channels[0], channels[1]), channels[2]);
    cv::Mat luma;
    cv::cvtColor(small, luma, cv::COLOR_BGRA2GRAY);
    // Reflections are spots brighter than everything around them within a few pixels of the reduced
    // plane, and bright in absolute terms. The spot size allowed grows with the photo.
    const int kernel =
        std::max(t.glareKernelLeast, (std::max(size.width, size.height) / t.glareKernelDivisor) | 1);
    cv::Mat tophat;
    cv::morphologyEx(value, tophat, cv::MORPH_TOPHAT,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kernel, kernel)));
    planes.glare = (tophat > t.glareStep) & (value > t.glareLevel);
    cv::dilate(planes.glare, planes.glare,
               cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(t.glareGrowth, t.glareGrowth)));
    planes.value = fillGlare(value, planes.glare, kernel);
    planes.luma = fillGlare(luma, planes.glare, kernel);
    planes.red = fillGlare(channels[2], planes.glare, kernel);
    return planes;
}

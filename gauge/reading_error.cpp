#include "gauge/reading_error.h"

#include <algorithm>
#include <cmath>

namespace reading_error {

namespace {

constexpr double kZ95 = 1.959963984540054;
constexpr double kDegrees = 180.0 / M_PI;
// Screen pixels: the standard error of judging a line against a mark, and of where a dragged or nudged
// centre lands (each a pixel's rounding of the line, the mark or the pointer, and the eye's aim).
constexpr double kSightingScreenPixels = 0.5;
constexpr double kPlacementScreenPixels = 0.5;

double normalCdf(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// The integral of the normal distribution function: d/dx (x Phi(x) + phi(x)) = Phi(x).
double cdfIntegral(double x) {
    return x * normalCdf(x) + std::exp(-0.5 * x * x) / std::sqrt(2 * M_PI);
}

// P(|U + G| <= h) for U even on [-a, a] and G normal with standard deviation s, both > 0.
double coverage(double h, double a, double s) {
    const double sum = cdfIntegral((h + a) / s) - cdfIntegral((h - a) / s) - cdfIntegral((a - h) / s) +
                       cdfIntegral((-h - a) / s);
    return s / (2 * a) * sum;
}

// Degrees subtended by an offset across a line at a distance, both in photo pixels.
double anglePerOffset(double offset, double distance) {
    if (offset <= 0)
        return 0;
    if (distance <= 0)
        return 90; // no distance to judge at: nothing is known of the angle
    return std::atan(offset / distance) * kDegrees;
}

} // namespace

double halfWidth95(double evenWidth, double sigma) {
    const double a = std::max(0.0, evenWidth) / 2;
    sigma = std::max(0.0, sigma);
    if (sigma == 0)
        return 0.95 * a;
    if (a == 0)
        return kZ95 * sigma;
    double low = 0, high = a + 6 * sigma;
    for (int i = 0; i < 60; ++i) {
        const double mid = (low + high) / 2;
        (coverage(mid, a, sigma) < 0.95 ? low : high) = mid;
    }
    return high;
}

double centreSigma(CentrePlacement placement, double photoPerScreen, double fitError) {
    if (placement == CentrePlacement::Found)
        return std::max(0.0, fitError);
    return kPlacementScreenPixels * std::max(0.0, photoPerScreen);
}

double defaultMarkRadius(double limbusRadius, int photoWidth, int photoHeight) {
    if (limbusRadius > 0)
        return limbusRadius;
    return kDefaultMarkShare * std::min(photoWidth, photoHeight);
}

namespace {

double sightingSigma(const AxisReading& r) {
    const double one = anglePerOffset(kSightingScreenPixels * r.photoPerScreen, r.markRadius);
    return r.bothSides ? one / std::sqrt(2.0) : one;
}

double centreSigmaDegrees(const AxisReading& r) {
    return r.bothSides ? 0 : anglePerOffset(r.centreSigma, r.markRadius);
}

} // namespace

double normalSigma(const AxisReading& r) {
    return std::hypot(sightingSigma(r), centreSigmaDegrees(r));
}

AxisError axisError(const AxisReading& r) {
    AxisError e;
    e.step = halfWidth95(r.stepDegrees, 0);
    e.sighting = kZ95 * sightingSigma(r);
    e.centre = kZ95 * centreSigmaDegrees(r);
    e.total = halfWidth95(r.stepDegrees, normalSigma(r));
    return e;
}

double rotationSigma(double turnError) {
    return std::hypot(std::max(0.0, turnError), kRotationFloorSigma);
}

double rotationHalfWidth(double turnError) {
    return kZ95 * rotationSigma(turnError);
}

double carriedHalfWidth(const AxisReading& reading, double turnError) {
    return halfWidth95(reading.stepDegrees, std::hypot(normalSigma(reading), rotationSigma(turnError)));
}

} // namespace reading_error

#include "gray_sampler.h"

#include "numerics.h"

#include <algorithm>
#include <cmath>

namespace {

inline int greyOf(QRgb p) {
    return (77 * qRed(p) + 150 * qGreen(p) + 29 * qBlue(p)) >> 8;
}

// Bilinear interpolation of a grid read through at(ix, iy); positions use pixel centres at +0.5.
template <typename At> bool bilinear(double x, double y, int w, int h, At at, float& value) {
    const double fx = x - 0.5;
    const double fy = y - 0.5;
    if (!(fx >= 0 && fy >= 0 && fx <= w - 1 && fy <= h - 1))
        return false;
    const int x0 = std::min(int(fx), std::max(w - 2, 0));
    const int y0 = std::min(int(fy), std::max(h - 2, 0));
    const int x1 = std::min(x0 + 1, w - 1);
    const int y1 = std::min(y0 + 1, h - 1);
    const float ax = float(fx - x0);
    const float ay = float(fy - y0);
    const float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * ax;
    const float bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * ax;
    value = top + (bottom - top) * ay;
    return true;
}

} // namespace

int reductionFactor(const QSize& photo, int targetSide) {
    const int longer = std::max(photo.width(), photo.height());
    return std::max(1, (longer + targetSide - 1) / targetSide);
}

PhotoGray::PhotoGray(const QImage& photo, Channel channel)
    : image(as32Bit(photo)), bits(image.constBits()), stride(image.bytesPerLine()), channel(channel) {}

bool PhotoGray::sample(double x, double y, float& value) const {
    // The channel is chosen once per sample, not per pixel read: this is the edge search's inner loop.
    const auto row = [this](int iy) { return reinterpret_cast<const QRgb*>(bits + iy * stride); };
    if (channel == Grey)
        return bilinear(
            x, y, image.width(), image.height(), [&](int ix, int iy) { return float(greyOf(row(iy)[ix])); },
            value);
    return bilinear(
        x, y, image.width(), image.height(),
        [&](int ix, int iy) {
            const QRgb p = row(iy)[ix];
            return float(std::max({qRed(p), qGreen(p), qBlue(p)}));
        },
        value);
}

#pragma once

#include <QImage>
#include <QPointF>

#include <algorithm>
#include <cmath>
#include <vector>

// Small numeric helpers that the image analysis shares, each kept once.

// The normal distribution's standard deviation per median absolute deviation.
inline constexpr double kMadToSigma = 1.4826;
// Tukey's biweight cuts residuals at this many spreads: 95 % as efficient as least squares on
// normal noise.
inline constexpr double kBiweightCut = 4.685;

// The middle value of v (of an even count, the upper of the two middles); `none` for no values.
template <typename T> double medianOf(std::vector<T> v, double none = 0) {
    if (v.empty())
        return none;
    const auto mid = v.begin() + v.size() / 2;
    std::nth_element(v.begin(), mid, v.end());
    return double(*mid);
}

// The vertex of the parabola through three equally spaced values, as an offset from the middle
// one within half a step; 0 when the middle one is no peak.
inline double parabolaVertex(double left, double middle, double right) {
    const double d = left - 2 * middle + right;
    return d < 0 ? std::clamp(0.5 * (left - right) / d, -0.5, 0.5) : 0.0;
}

// Whether a point lies strictly within radius of a centre.
inline bool inside(const QPointF& point, const QPointF& centre, double radius) {
    return std::hypot(point.x() - centre.x(), point.y() - centre.y()) < radius;
}

// Solves the n x n system m x = v by elimination without pivoting (m is symmetric positive definite
// where it is used); m and v are overwritten.
template <int n> void solveLinear(double m[n][n], double v[n], double x[n]) {
    for (int c = 0; c < n; ++c)
        for (int r = c + 1; r < n; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < n; ++k)
                m[r][k] -= f * m[c][k];
            v[r] -= f * v[c];
        }
    for (int r = n - 1; r >= 0; --r) {
        double s = v[r];
        for (int k = r + 1; k < n; ++k)
            s -= m[r][k] * x[k];
        x[r] = s / m[r][r];
    }
}

// The photo with 32 bits a pixel, blue, green, red and alpha in memory order as OpenCV reads
// CV_8UC4: the photo itself when it has them already, else a converted copy.
inline QImage as32Bit(const QImage& photo) {
    switch (photo.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return photo;
    default:
        return photo.convertToFormat(QImage::Format_RGB32);
    }
}

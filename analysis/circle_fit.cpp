#include "circle_fit.h"

#include "numerics.h"
#include "tuning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

using Mat3 = std::array<std::array<double, 3>, 3>;
using Vec3 = std::array<double, 3>;

double det3(const Mat3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

std::optional<Mat3> inverse3(const Mat3& m) {
    const double d = det3(m);
    if (!(std::abs(d) > 1e-300))
        return std::nullopt;
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, e = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][e] - m[a][e] * m[b][c]) / d;
        }
    return r;
}

std::optional<Vec3> solve3(const Mat3& m, const Vec3& v) {
    const auto inv = inverse3(m);
    if (!inv)
        return std::nullopt;
    Vec3 x{};
    for (int i = 0; i < 3; ++i)
        x[i] = (*inv)[i][0] * v[0] + (*inv)[i][1] * v[1] + (*inv)[i][2] * v[2];
    return x;
}

// Real roots of x^3 + a x^2 + b x + c.
std::vector<double> cubicRoots(double a, double b, double c) {
    const double q = (a * a - 3 * b) / 9;
    const double r = (2 * a * a * a - 9 * a * b + 27 * c) / 54;
    if (r * r < q * q * q) {
        const double t = std::acos(std::clamp(r / std::sqrt(q * q * q), -1.0, 1.0));
        const double s = -2 * std::sqrt(q);
        return {s * std::cos(t / 3) - a / 3, s * std::cos((t + 2 * M_PI) / 3) - a / 3,
                s * std::cos((t - 2 * M_PI) / 3) - a / 3};
    }
    const double A = -std::copysign(std::cbrt(std::abs(r) + std::sqrt(r * r - q * q * q)), r);
    const double B = A != 0 ? q / A : 0;
    return {A + B - a / 3};
}

} // namespace

RobustCircle fitCircleRobust(const std::vector<QPointF>& points, const Circle& start, int iterations) {
    const OutlineTuning& t = tuning().outline;
    RobustCircle out{start, 0, std::vector<bool>(points.size(), false)};
    double cx = start.centre.x(), cy = start.centre.y(), r = start.radius;
    std::vector<double> res(points.size());
    double scale = 0;
    for (int it = 0; it < iterations; ++it) {
        for (size_t i = 0; i < points.size(); ++i)
            res[i] = std::hypot(points[i].x() - cx, points[i].y() - cy) - r;
        std::vector<double> absRes(res.size());
        std::transform(res.begin(), res.end(), absRes.begin(), [](double v) { return std::abs(v); });
        scale = std::max(kMadToSigma * medianOf(absRes), t.minFitSpread);
        const double cut = kBiweightCut * scale;
        Mat3 n{};
        Vec3 g{};
        for (size_t i = 0; i < points.size(); ++i) {
            const double u = res[i] / cut;
            if (std::abs(u) >= 1)
                continue;
            const double w = (1 - u * u) * (1 - u * u);
            const double d = std::max(res[i] + r, 1e-9);
            const Vec3 j{-(points[i].x() - cx) / d, -(points[i].y() - cy) / d, -1.0};
            for (int a = 0; a < 3; ++a) {
                g[a] -= w * j[a] * res[i];
                for (int b = 0; b < 3; ++b)
                    n[a][b] += w * j[a] * j[b];
            }
        }
        const auto step = solve3(n, g);
        if (!step)
            break;
        cx += (*step)[0];
        cy += (*step)[1];
        r += (*step)[2];
        if (std::abs((*step)[0]) + std::abs((*step)[1]) + std::abs((*step)[2]) < t.fitSettledPixels)
            break;
    }
    out.circle = Circle{QPointF(cx, cy), r};
    out.scale = scale;
    for (size_t i = 0; i < points.size(); ++i)
        out.inliers[i] =
            std::abs(std::hypot(points[i].x() - cx, points[i].y() - cy) - r) <= t.inlierSpreads * scale;
    return out;
}

namespace {

// The eigenvector of m for which the conic is an ellipse (4ac - b^2 > 0), each found as the cross
// product of the best-conditioned pair of rows of m - lambda I.
std::optional<Vec3> ellipticEigenvector(const Mat3& m) {
    const double tr = m[0][0] + m[1][1] + m[2][2];
    const double minors = m[0][0] * m[1][1] - m[0][1] * m[1][0] + m[0][0] * m[2][2] - m[0][2] * m[2][0] +
                          m[1][1] * m[2][2] - m[1][2] * m[2][1];
    std::optional<Vec3> found;
    for (double lambda : cubicRoots(-tr, minors, -det3(m))) {
        Mat3 a = m;
        for (int i = 0; i < 3; ++i)
            a[i][i] -= lambda;
        Vec3 v{};
        double bestNorm = 0;
        for (int p = 0; p < 3; ++p) {
            const auto& r1 = a[p];
            const auto& r2 = a[(p + 1) % 3];
            const Vec3 c{r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2],
                         r1[0] * r2[1] - r1[1] * r2[0]};
            const double norm = std::abs(c[0]) + std::abs(c[1]) + std::abs(c[2]);
            if (norm > bestNorm) {
                bestNorm = norm;
                v = c;
            }
        }
        if (bestNorm > 0 && 4 * v[0] * v[2] - v[1] * v[1] > 0)
            found = v;
    }
    return found;
}

// Centre and semi-axes of the conic k (in coordinates (p - origin) / scale); none unless an ellipse.
std::optional<Ellipse> ellipseFromConic(const double (&k)[6], const QPointF& origin, double scale) {
    const double A = k[0], B = k[1], C = k[2], D = k[3], E = k[4], F = k[5];
    const double den = 4 * A * C - B * B;
    const double x0 = (B * E - 2 * C * D) / den;
    const double y0 = (B * D - 2 * A * E) / den;
    const double F0 = A * x0 * x0 + B * x0 * y0 + C * y0 * y0 + D * x0 + E * y0 + F;
    const double mean = (A + C) / 2, diff = std::hypot((A - C) / 2, B / 2);
    const double l1 = mean - diff, l2 = mean + diff;
    if (!(den > 0) || !(l1 * l2 > 0) || !(-F0 / l1 > 0) || !(-F0 / l2 > 0))
        return std::nullopt;
    Ellipse e;
    std::copy(k, k + 6, e.conic);
    e.origin = origin;
    e.scale = scale;
    e.centre = origin + QPointF(x0, y0) * scale;
    e.major = std::sqrt(-F0 / l1) * scale;
    e.minor = std::sqrt(-F0 / l2) * scale;
    if (e.major < e.minor)
        std::swap(e.major, e.minor);
    return e;
}

} // namespace

// Halir and Flusser's numerically stable form of the direct ellipse fit, on centred and scaled points.
std::optional<Ellipse> fitEllipse(const std::vector<QPointF>& points) {
    if (points.size() < kLeastEllipsePoints)
        return std::nullopt;
    QPointF mean(0, 0);
    for (const QPointF& p : points)
        mean += p / double(points.size());
    double s = 0;
    for (const QPointF& p : points)
        s += std::hypot(p.x() - mean.x(), p.y() - mean.y()) / points.size();
    if (!(s > 0))
        return std::nullopt;
    Mat3 S1{}, S2{}, S3{}; // scatter of the quadratic and the linear terms
    for (const QPointF& p : points) {
        const double x = (p.x() - mean.x()) / s, y = (p.y() - mean.y()) / s;
        const Vec3 d1{x * x, x * y, y * y}, d2{x, y, 1};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
                S1[a][b] += d1[a] * d1[b];
                S2[a][b] += d1[a] * d2[b];
                S3[a][b] += d2[a] * d2[b];
            }
    }
    const auto S3inv = inverse3(S3);
    if (!S3inv)
        return std::nullopt;
    Mat3 T{};    // T = -S3^-1 S2^T: the linear terms that go with given quadratic ones
    Mat3 M = S1; // S1 + S2 T, then premultiplied by the inverse of the constraint matrix
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int k = 0; k < 3; ++k)
                T[a][b] -= (*S3inv)[a][k] * S2[b][k];
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int k = 0; k < 3; ++k)
                M[a][b] += S2[a][k] * T[k][b];
    const Mat3 Mc{{{M[2][0] / 2, M[2][1] / 2, M[2][2] / 2},
                   {-M[1][0], -M[1][1], -M[1][2]},
                   {M[0][0] / 2, M[0][1] / 2, M[0][2] / 2}}};
    const auto a1 = ellipticEigenvector(Mc);
    if (!a1)
        return std::nullopt;
    double k[6] = {(*a1)[0], (*a1)[1], (*a1)[2]};
    for (int a = 0; a < 3; ++a)
        k[3 + a] = T[a][0] * (*a1)[0] + T[a][1] * (*a1)[1] + T[a][2] * (*a1)[2];
    return ellipseFromConic(k, mean, s);
}

double Ellipse::distance(const QPointF& p) const {
    const double x = (p.x() - origin.x()) / scale, y = (p.y() - origin.y()) / scale;
    const double* k = conic;
    const double q = k[0] * x * x + k[1] * x * y + k[2] * y * y + k[3] * x + k[4] * y + k[5];
    const double gx = 2 * k[0] * x + k[1] * y + k[3], gy = k[1] * x + 2 * k[2] * y + k[4];
    const double g = std::hypot(gx, gy);
    return g > 0 ? std::abs(q) / g * scale : std::numeric_limits<double>::infinity();
}

#pragma once

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

// Fitting round outlines to edge points: a robust geometric circle fit and a direct ellipse fit.

struct Circle {
    QPointF centre;
    double radius = 0;
};

// Whether two circles are one outline: radii, and centres, within a share of the larger radius.
inline bool sameCircle(const Circle& a, const Circle& b, double share) {
    const double r = std::max(a.radius, b.radius);
    return std::abs(a.radius - b.radius) <= share * r &&
           std::hypot(a.centre.x() - b.centre.x(), a.centre.y() - b.centre.y()) < share * r;
}

struct RobustCircle {
    Circle circle;
    double scale = 0;          // robust spread of the distances to the outline (MAD-based)
    std::vector<bool> inliers; // per point: close enough to the outline to belong to it
};

// Geometric least-squares circle from a starting circle, reweighted with Tukey's biweight so that
// points far off the outline (eyelids, lashes, reflections) lose their pull.
RobustCircle fitCircleRobust(const std::vector<QPointF>& points, const Circle& start, int iterations = 12);

struct Ellipse {
    QPointF centre;
    double major = 0; // semi-axes
    double minor = 0;
    // Approximate distance of a point from the outline (first-order, Sampson's).
    double distance(const QPointF& p) const;

    // The conic a x^2 + b xy + c y^2 + d x + e y + f = 0 in coordinates (p - origin) / scale.
    double conic[6] = {};
    QPointF origin;
    double scale = 1;
};

// The fewest points an ellipse is fitted to: five determine a conic, a sixth gives the fit a check.
inline constexpr size_t kLeastEllipsePoints = 6;

// Direct least-squares ellipse (constrained so that the conic is an ellipse); none when the points
// do not determine one.
std::optional<Ellipse> fitEllipse(const std::vector<QPointF>& points);

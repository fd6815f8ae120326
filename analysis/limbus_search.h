#pragma once

#include "circle_fit.h"
#include "ray_edges.h"

#include <QPointF>

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

// The limbus around a point on the iris: the circle containing the point on which the grey level
// steps up most from the iris to the white of the eye, on both sides of the eye at once. Only the
// sides are looked at (within about 40 degrees of horizontal), since lids and lashes cover the top
// and bottom of the limbus in most photos.

struct LimbusCandidate {
    Circle circle;   // in the plane's pixels
    double step = 0; // grey-level step across it, the weaker of the two sides
};

// The strongest candidates, best first; none when nothing steps up on both sides. With a pupil
// (in the plane's pixels), only circles about as concentric with it as a limbus is are looked at.
std::vector<LimbusCandidate> searchLimbus(const cv::Mat& luma, const QPointF& point,
                                          const std::optional<Circle>& pupil, int count = 3);

// The same search about each of several points, with no pupil known: the levels about each centre
// are read once for all of them. The same candidates as searchLimbus for each point.
std::vector<std::vector<LimbusCandidate>>
searchLimbusAbout(const cv::Mat& luma, const std::vector<QPointF>& points, int count = 3);

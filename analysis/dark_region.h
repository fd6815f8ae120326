#pragma once

#include <QPointF>

#include <opencv2/core.hpp>

#include <vector>

// Round regions around a point that stand out from their surroundings: the pupil (darker than the
// iris), the whole iris of a dark eye, a fundus photo's bright field. Found by flooding from the
// point in order of grey level and keeping the levels at which the flooded region stops growing
// and is shaped like an ellipse.
struct RegionEllipse {
    QPointF centre;   // in plane pixels, pixel i covering [i, i + 1)
    double major = 0; // semi-axes
    double minor = 0;
    double angle = 0; // of the major axis, radians
    int area = 0;     // pixels of the region
    bool touchesBorder = false;
};

// Regions darker than their surroundings (or brighter, when bright) that contain the point,
// innermost first.
std::vector<RegionEllipse> roundRegionsAround(const cv::Mat& plane, const QPointF& point, bool bright);

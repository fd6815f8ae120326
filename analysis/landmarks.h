#pragma once

#include "circle_fit.h"

#include <QPointF>

#include <optional>
#include <vector>

// The rotation between two photos from landmarks the user clicked in both (a vessel crossing the
// limbus, an iris crypt, a mark on a lens): each pair turns by the difference of its angles about
// the two limbus centres; the pairs are averaged round the circle, so that 359 and 1 degrees
// average to 0, not 180.

struct LandmarkPair {
    QPointF reference, current; // photo pixels
};

struct LandmarkRotation {
    double degrees = 0; // -180..180, counter-clockwise on the screen positive
    double spread = 0;  // degrees: standard deviation of the pairs about the mean
    int pairs = 0;
};

// None without a pair, or when the pairs cancel out (no mean direction).
std::optional<LandmarkRotation> rotationFromLandmarks(const Circle& referenceLimbus,
                                                      const Circle& currentLimbus,
                                                      const std::vector<LandmarkPair>& pairs);

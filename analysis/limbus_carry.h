#pragma once

#include "circle_fit.h"

#include <QImage>

#include <optional>

// Where a limbus known in one photo lies in another photo of the same eye: the eye about it is
// matched over the other photo, reduced, at a few scales. The answer is consistent with the known
// limbus even where that was placed a little off, which is what comparing the rings about both
// needs; the rotation's own fit then corrects what is left.
std::optional<Circle> carryLimbus(const QImage& from, const Circle& limbus, const QImage& to);

#pragma once

#include "circle_fit.h"
#include "dark_region.h"
#include "outline_fit.h"
#include "round_outline.h"

#include <optional>

// The pupil about a clicked point: dark round regions around the point (the pupil, or the whole iris
// of a dark eye), flooded in the reduced planes with the reflections filled, each refined on its edge
// at full size; a darker, even disc inside the first one found (a pupil inside a dark ring of the
// iris) is preferred, and a pupil found only in part, a veil lying over the rest, is grown to the
// whole dark disc. Apart from that, the pupil near the point, from the darkest spots about it.

struct PupilSearch {
    std::optional<RoundOutline> dark;  // the dark round outline holding the point
    std::optional<Circle> besidePoint; // the pupil near the point when the point lies outside it (on
                                       // its iris), in photo pixels
};

PupilSearch searchPupil(ClickSearch& s);

// The circle of a region's area, in photo pixels.
Circle circleOf(const RegionEllipse& r, int factor);

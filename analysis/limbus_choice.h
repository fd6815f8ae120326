#pragma once

#include "circle_fit.h"
#include "outline_fit.h"
#include "round_outline.h"

#include <optional>
#include <vector>

// The limbus about a clicked point, by the step from iris to sclera on the sides of the eye: about the
// pupil beside the point, or, with no pupil in sight (a dark iris, a soft pupil edge), for a point well
// away from the limbus's middle, where that pupil would be. Beyond the limbus the side of the eye may
// step up again (skin, the corner of the eye): the innermost outline whose step is comparable with the
// strongest one is taken.

struct LimbusChoice {
    std::optional<RoundOutline> limbus;
    // Limbi about the point's own pupil zone: the point is in a pupil not found, and no outline about
    // one of these (the opening of the lids, say) may be answered either.
    std::vector<RoundOutline> aboutPupilZone;
    Refusal refusedBy; // with no limbus: what refused the strongest candidate
};

// pupil: the pupil beside the point, in photo pixels.
LimbusChoice chooseLimbus(const ClickSearch& s, const std::optional<Circle>& pupil);

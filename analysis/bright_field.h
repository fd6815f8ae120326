#pragma once

#include "outline_fit.h"
#include "round_outline.h"

#include <optional>
#include <vector>

// A large bright round field, as on fundus photos, framed by the camera's black mask where the frame
// leaves room for it: the white of an eye and the skin about it are no such field. A point on a dark
// spot in it, or in the pupil zone of a limbus inside it, is in a pupil not found inside a camera's
// round aperture: no field is answered for it.

struct FieldSearch {
    std::optional<RoundOutline> field;
    bool seen = false; // a bright region large enough for a field was looked at
    Refusal refusedBy;
};

// aboutPupilZone: limbi found about the point's own pupil zone (see LimbusChoice).
FieldSearch brightFieldAround(ClickSearch& s, const std::vector<RoundOutline>& aboutPupilZone);

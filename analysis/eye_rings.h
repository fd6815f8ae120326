#pragma once

#include "circle_fit.h"

#include <QImage>

#include <optional>

// The limbus and the pupil of an eye photo, found from that photo alone, so that a photo gets the
// same rings whichever photo it is compared with.

struct EyeRings {
    Circle limbus;               // photo pixels, pixel i covering [i, i + 1)
    std::optional<Circle> pupil; // none when no dark disc steps up clearly inside the limbus
    double score = 0;            // grey levels: the limbus's step plus the pupil's edge
};

// Every strong iris-to-sclera step about the photo's dark spots is a limbus candidate; each gets the
// pupil inside it, and the candidate whose limbus and pupil edge step up most together is the eye.
// The pupil settles what the limbus's step alone does not: the pupil's own edge also steps up from
// dark to light, and a dark iris's limbus has no smaller dark disc inside it.
std::optional<EyeRings> findEyeRings(const QImage& photo);

// The pupil inside a known limbus: the circle about which the grey level steps up most all round,
// its centre within a fifth of the limbus radius of the limbus's, its radius 0.15 to 0.75 of it.
std::optional<Circle> pupilInside(const QImage& photo, const Circle& limbus);

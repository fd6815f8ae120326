#pragma once

#include "circle_fit.h"

#include <QImage>

#include <optional>

// The limbus and the pupil of an eye photo, found from that photo alone, so that a photo gets the
// same rings whichever photo it is compared with.

struct EyeRings {
    Circle limbus;               // photo pixels, pixel i covering [i, i + 1)
    std::optional<Circle> pupil; // none when no dark disc steps up clearly inside the limbus
    double score = 0; // the limbus step times the pupil edge (grey levels squared), or the step alone
};

// Every strong iris-to-sclera step about the photo's dark spots is a limbus candidate, and so is the
// sharpest step about each pupil-like dark disc; each gets the pupil inside it (in the brightest or
// the red channel), and the pair whose limbus step and pupil edge are largest together is the eye.
// The pupil settles what the limbus's step alone does not: the pupil's own edge also steps up from
// dark to light, and a dark iris's limbus has no smaller dark disc inside it. The limbus is then
// settled about its pupil.
std::optional<EyeRings> findEyeRings(const QImage& photo);

// The pupil inside a known limbus: the circle about which the grey level steps up most all round,
// its centre within a fifth of the limbus radius of the limbus's, its radius 0.18 to 0.65 of it.
std::optional<Circle> pupilInside(const QImage& photo, const Circle& limbus);

#pragma once

#include "circle_fit.h"
#include "eye_planes.h"
#include "round_outline.h"

#include <QImage>

#include <optional>
#include <vector>

// The limbus of an eye photo found without a click: the round-outline search is asked at the
// darkest round spots of the photo (a pupil, or the whole iris of a dark eye) and at points on the
// iris about them; the limbus is the outline that most of those points agree on.
std::optional<RoundOutline> findLimbus(const QImage& photo);

// The pupil inside a limbus found or placed: the round outline about the limbus's centre, when it is
// well inside the limbus and about concentric with it.
std::optional<Circle> findPupil(const QImage& photo, const Circle& limbus);


// Dark round spots of a photo's planes, darkest first, in photo pixels: where a pupil or a dark iris
// may be. Near-black regions touching the border (a camera's field stop) are passed over.
std::vector<QPointF> darkSeeds(const EyePlanes& planes);

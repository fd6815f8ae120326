#pragma once

#include "eye_planes.h"

#include <QPointF>

#include <vector>

// Dark round spots of a photo's planes, darkest first, in photo pixels: where a pupil or a dark iris
// may be. The darkest places once lashes are blurred away, and the places darker than their
// surroundings at the size of an iris (a dark iris in white sclera), which eyeliner and lash lines,
// being long and thin, are not. Near-black regions touching the border (a camera's field stop, a
// black frame) and the photo's outer tenth are passed over.
std::vector<QPointF> darkSeeds(const EyePlanes& planes);

#pragma once

#include <QImage>
#include <QPointF>

#include <optional>

// The smallest round outline around a point of a photo: the pupil's edge for a point inside the
// pupil, the limbus for a point on the iris, the edge of a fundus photo's round field.

struct RoundOutline {
    QPointF centre;       // of the ellipse fitted to the edge (a limbus: the circle), in photo pixels
                          // (pixel i covers [i, i + 1))
    double radius = 0;    // of the circle fitted to the edge, in photo pixels
    double agreement = 0; // share of the rays looked at whose edge lies on the outline, 0..1
};

// The pupil for a point inside it, the limbus for a point on the iris, the field of a fundus photo
// for a point inside it; none when nothing round encloses the point clearly enough (a point on a
// reflection outside the pupil, on the skin or on the white of the eye).
std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point);

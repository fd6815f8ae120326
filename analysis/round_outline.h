#pragma once

#include <QImage>
#include <QPointF>

#include <optional>

// The smallest round outline around a point of a photo: the pupil's edge for a point inside the
// pupil, the limbus for a point on the iris, the edge of a fundus photo's round field.

// Shown when the search finds nothing round around the point.
inline constexpr const char kNoRoundOutline[] = "No se encontró ningún contorno redondo alrededor del punto";

struct RoundOutline {
    QPointF centre;       // of the ellipse fitted to the edge, in photo pixels (pixel i covers [i, i + 1))
    double radius = 0;    // of the circle fitted to the edge, in photo pixels
    double agreement = 0; // share of the rays whose edge lies on the outline, 0..1
};

// Casts rays from the point, takes the likely boundary on each, fits a circle robustly and accepts
// it only when enough rays agree all round; none when nothing round encloses the point.
std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point);

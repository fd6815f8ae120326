#pragma once

#include <QImage>
#include <QPointF>

#include <cmath>
#include <optional>
#include <string>

// The smallest round outline around a point of a photo: the pupil's edge for a point inside the
// pupil, the limbus for a point on the iris, the edge of a fundus photo's round field.

struct RoundOutline {
    QPointF centre;       // of the ellipse fitted to the edge (a limbus: the circle), in photo pixels
                          // (pixel i covers [i, i + 1))
    double radius = 0;    // of the circle fitted to the edge, in photo pixels
    double agreement = 0; // share of the rays looked at whose edge lies on the outline, 0..1
};

// The checks an outline must pass, and so what refused the last one looked at when none is answered.
enum class OutlineCheck {
    None,
    OffPhoto,         // the point is off the photo, or the photo too small to search
    FewEdges,         // too few edges found about the start circle to fit an outline
    NoEllipse,        // the edges make no ellipse
    Agreement,        // too few rays see their edge on the outline
    HiddenArc,        // the outline is hidden on too wide an arc
    TooSmall,         // smaller than iris texture
    RadiusChanged,    // refinement changed the radius too much: another outline
    CentreMoved,      // refinement moved the centre too far
    Scatter,          // the edges lie too far from the outline
    TooOval,          // more oval than an eye seen aside
    EllipseOffCircle, // the ellipse's centre lies too far from the circle's
    NoStepAllRound,   // the level does not step across the outline all round
    PointOutside,     // the outline does not hold the point
    LimbusBothSides,  // one side of the eye does not show the limbus
    LimbusRadiusChanged,
    LimbusCentreMoved,
    LimbusPointOutside,
    LimbusScatter,
    LimbusScleraOffPhoto, // the white of the eye does not show beyond it on both sides
    NoLimbusStep,         // nothing steps up from iris to sclera on both sides
    LimbusOffPupil,       // the limbus does not lie about the pupil beside the point
    LimbusAboutPoint,     // the point lies in the limbus's pupil zone: a pupil not found
    DarkCore,             // the point lies in a dark core of the outline: a pupil not found
    PupilZone,            // the outline holds a limbus about the point's pupil zone
    FieldUnframed,        // a bright field not framed in black: the white of an eye, skin
    FieldDarkSpot,        // the point lies on a dark spot in the field
    LimbusNotWhite,       // what lies beyond the limbus on the sides is coloured, no white of the eye
};

// Whether a refusal says the point lies in a pupil that cannot be told from the iris about it: in the
// middle of a limbus found about the point, or in a dark core of an outline, with no pupil found.
bool inUnseenPupil(OutlineCheck check);

// A short fixed name of a check, for logs and evaluation programs ("limbus-both-sides").
const char* outlineCheckName(OutlineCheck check);

// A check that refused, with what it measured and the limit it measured against, so that the
// evaluation programs can say by how much; both NaN for a check that measures no single number.
struct Refusal {
    OutlineCheck check = OutlineCheck::None;
    double value = NAN, limit = NAN;
    Refusal() = default;
    Refusal(OutlineCheck check) : check(check) {} // a refusal without a measure
    Refusal(OutlineCheck check, double value, double limit) : check(check), value(value), limit(limit) {}
    operator OutlineCheck() const { return check; }
};

// A refusal's name, with its measure against its limit when it has one ("agreement 0.42 < 0.5").
std::string refusalText(const Refusal& refusal);

struct OutlineSearch {
    std::optional<RoundOutline> outline;
    Refusal refusedBy; // with no outline: what refused the last one looked at
};

// The pupil for a point inside it, the limbus for a point on the iris, the field of a fundus photo
// for a point inside it; none when nothing round encloses the point clearly enough (a point on a
// reflection outside the pupil, on the skin or on the white of the eye).
std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point);

// The same search, saying which check refused when it answers nothing.
OutlineSearch searchRoundOutline(const QImage& photo, const QPointF& point);

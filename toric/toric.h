#pragma once

#include <QString>

#include <optional>

// The arithmetic of a toric lens check: where the lens's marks sit against the plan, what
// astigmatism that leaves, and where to turn the lens to leave the least.
//
// Conventions:
// - Axes and meridians are read 0..180 as the photo shows the eye to the examiner: 0 at the right,
//   growing counter-clockwise, the gauge's own numbering. A turn or a misalignment is positive
//   counter-clockwise on the photo.
// - Every axis of the inputs (the planned axis, the cornea, the refraction) is in the plan's frame:
//   the reference photo's. The marks are read on the current photo and carried back by the eye's
//   rotation between the two photos (as the comparison measures it: a landmark at angle a in the
//   reference lies at a + rotation in the current photo), so in the plan's frame they lie at
//   marks - rotation.
// - A cylinder of C dioptres whose steep meridian is m is the vector C * e(2m) (power vectors): two
//   astigmatisms add as vectors at twice their meridians.
// - The lens's marks are its flat meridian, placed on the steep corneal meridian: a lens of L
//   dioptres (at the corneal plane) with its marks at M corrects -L * e(2M).
// - A refraction "S C x A" (either sign of C) has the power S along A and S + C across it. Each of
//   the two meridians is brought to the corneal plane through F / (1 - d * F), d the vertex distance
//   in metres; its plus-cylinder axis is the eye's steep meridian.
namespace toric {

// Astigmatism: dioptres at the steep meridian (0..180).
struct Cylinder {
    double dioptres = 0;
    double axis = 0;
};

// A spectacle refraction, sphere and cylinder in dioptres, the cylinder's axis in degrees.
struct Refraction {
    double sphere = 0;
    double cylinder = 0;
    double axis = 0;
};

struct Inputs {
    double plannedAxis = 0;               // where the marks were meant to lie, plan's frame
    double lensCylinder = 0;              // dioptres at the corneal plane
    double marksOnPhoto = 0;              // the marks' axis read on the current photo
    double rotation = 0;                  // the eye's turn from the reference photo to the current one
    std::optional<Cylinder> cornea;       // none: a lens chosen to neutralise it, lensCylinder at plannedAxis
    std::optional<Refraction> refraction; // after surgery, with the lens where it is now
    double vertexMm = 12;
};

constexpr double kDefaultVertexMm = 12;
// A turn that leaves less than this much less cylinder (dioptres at the corneal plane) is not worth
// making: refraction steps are a quarter dioptre, and near no cylinder the best axis swings freely.
constexpr double kMeaninglessGainD = 0.25;
// The clinical range of a cylinder (lens or cornea), and the smallest cylinder a toric lens has.
constexpr double kMaxCylinderD = 15;
constexpr double kSmallestLensCylinderD = 0.25;

struct Result {
    double marksAxis = 0;    // the marks in the plan's frame, 0..180
    double misalignment = 0; // marksAxis - plannedAxis, -90..90
    // The share of the lens's correction still along the planned meridian: cos(2 misalignment),
    // 1 on plan, a half at 30 degrees off, none at 45. The residual below says what is left over:
    // for a lens equal to the cornea, 30 degrees off leaves as much astigmatism as no lens.
    std::optional<double> correctionKept;
    Cylinder cornea;   // as used: given, or the default
    Cylinder residual; // cornea and lens as they sit, at the corneal plane
    // With a refraction: the eye's astigmatism it shows, at the corneal plane; the axis to turn the
    // lens to for the least cylinder (plan's frame, and on the current photo), the turn from where it
    // sits and the cylinder expected then. Where turning would gain less than kMeaninglessGainD,
    // turnHelps is false and the lens stays: no turn, the axis where it is, the cylinder measured.
    std::optional<Cylinder> measuredResidual;
    std::optional<double> bestAxis;
    std::optional<double> bestAxisOnPhoto;
    std::optional<double> turn;
    std::optional<double> expectedCylinder;
    bool turnHelps = false;
};

// Which input a problem is with.
enum class Input { Planned, LensCylinder, Marks, Rotation, Cornea, Refraction, Vertex };
struct InputProblem {
    Input input;
    QString reason; // in Spanish, the catalogue's key
};

// An angle brought into 0..180 (180 itself becomes 0).
double axisOf(double degrees);
// The turn from one axis to another, -90..90 (90 rather than -90).
double axisTurn(double from, double to);

// The sum of two astigmatisms, as vectors at twice their meridians.
Cylinder addCylinders(const Cylinder& a, const Cylinder& b);
// The eye's astigmatism a refraction shows, at the corneal plane.
Cylinder cornealPlaneCylinder(const Refraction& refraction, double vertexMm);

// Why the inputs cannot be used; none when they can. An axis must lie in 0..180, a cylinder within
// 0..kMaxCylinderD and the lens's at least kSmallestLensCylinderD, the vertex distance in 0..30 mm,
// a refraction's powers within 30 D both as given and at the corneal plane.
std::optional<InputProblem> inputError(const Inputs& in);

// The check; the inputs must have passed inputError().
Result evaluate(const Inputs& in);
// The residual astigmatism as a share of the corneal one; none without corneal astigmatism.
std::optional<double> residualShare(const Result& r);

// "S C x A", "S C × A", "plano C x A", "plano" alone, a sphere alone ("-1.00", "-1.00 DS", "-1.00 sph"):
// numbers with a point or a comma, signs "+", "-" or "−".
std::optional<Refraction> parseRefraction(const QString& text);
// "D@DEG": dioptres at the steep meridian.
std::optional<Cylinder> parseCylinder(const QString& text);

} // namespace toric

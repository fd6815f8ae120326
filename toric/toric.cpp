#include "toric/toric.h"

#include <QRegularExpression>

#include <cmath>

namespace toric {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxRefractionPower = 30;
constexpr double kMaxVertexMm = 30;
// Below this an astigmatism has no meridian to speak of.
constexpr double kNoCylinder = 1e-9;

double radians(double degrees) {
    return degrees * kPi / 180;
}

// The vector of an astigmatism at twice its meridian.
struct PowerVector {
    double x = 0, y = 0;
};

PowerVector vectorOf(const Cylinder& c) {
    return {c.dioptres * std::cos(radians(2 * c.axis)), c.dioptres * std::sin(radians(2 * c.axis))};
}

Cylinder cylinderOf(const PowerVector& v) {
    const double size = std::hypot(v.x, v.y);
    if (size < kNoCylinder)
        return {0, 0};
    return {size, axisOf(std::atan2(v.y, v.x) * 180 / kPi / 2)};
}

double atCornealPlane(double power, double vertexMetres) {
    return power / (1 - vertexMetres * power);
}

bool isAxis(double degrees) {
    return degrees >= 0 && degrees <= 180;
}

double parseNumber(QString text) {
    text.replace(QChar(0x2212), QLatin1Char('-')).replace(QLatin1Char(','), QLatin1Char('.'));
    return text.toDouble();
}

} // namespace

double axisOf(double degrees) {
    const double a = std::fmod(degrees, 180.0);
    return a < 0 ? a + 180 : (a >= 180 ? 0 : a);
}

double axisTurn(double from, double to) {
    const double d = axisOf(to - from);
    return d > 90 ? d - 180 : d;
}

Cylinder addCylinders(const Cylinder& a, const Cylinder& b) {
    const PowerVector va = vectorOf(a), vb = vectorOf(b);
    return cylinderOf({va.x + vb.x, va.y + vb.y});
}

Cylinder cornealPlaneCylinder(const Refraction& r, double vertexMm) {
    const double d = vertexMm / 1000;
    const double along = atCornealPlane(r.sphere, d);
    const double across = atCornealPlane(r.sphere + r.cylinder, d);
    // In plus-cylinder form the axis is the eye's steep meridian.
    const double plusCylinder = across - along;
    return plusCylinder >= 0 ? Cylinder{plusCylinder, axisOf(r.axis)}
                             : Cylinder{-plusCylinder, axisOf(r.axis + 90)};
}

std::optional<InputProblem> inputError(const Inputs& in) {
    const auto problem = [](Input input, const char* reason) {
        return std::optional<InputProblem>(InputProblem{input, QString::fromUtf8(reason)});
    };
    const auto isCylinder = [](double d) { return d >= 0 && d <= kMaxCylinderD; };
    if (!isAxis(in.plannedAxis))
        return problem(Input::Planned, "el eje previsto debe estar entre 0 y 180°");
    if (!isAxis(in.marksOnPhoto))
        return problem(Input::Marks, "el eje de la lente debe estar entre 0 y 180°");
    if (!(std::abs(in.rotation) <= 180))
        return problem(Input::Rotation, "la rotación debe estar entre -180 y 180°");
    if (!(isCylinder(in.lensCylinder) && in.lensCylinder >= kSmallestLensCylinderD))
        return problem(Input::LensCylinder, "el cilindro de la lente debe estar entre 0,25 y 15 D");
    if (in.cornea && !isCylinder(in.cornea->dioptres))
        return problem(Input::Cornea, "el cilindro corneal debe estar entre 0 y 15 D");
    if (in.cornea && !isAxis(in.cornea->axis))
        return problem(Input::Cornea, "el eje corneal debe estar entre 0 y 180°");
    if (!(in.vertexMm >= 0 && in.vertexMm <= kMaxVertexMm))
        return problem(Input::Vertex, "la distancia al vértice debe estar entre 0 y 30 mm");
    if (in.refraction) {
        const Refraction& r = *in.refraction;
        if (!isAxis(r.axis))
            return problem(Input::Refraction, "el eje de la refracción debe estar entre 0 y 180°");
        const auto inRange = [](double power) { return std::abs(power) <= kMaxRefractionPower; };
        if (!(inRange(r.sphere) && inRange(r.cylinder) && inRange(r.sphere + r.cylinder)))
            return problem(Input::Refraction, "las potencias de la refracción deben estar dentro de 30 D");
        const double d = in.vertexMm / 1000;
        if (!(inRange(atCornealPlane(r.sphere, d)) && inRange(atCornealPlane(r.sphere + r.cylinder, d))))
            return problem(
                Input::Refraction,
                "la refracción llevada al plano corneal sale de 30 D: revise la distancia al vértice");
    }
    return std::nullopt;
}

Result evaluate(const Inputs& in) {
    Result r;
    r.marksAxis = axisOf(in.marksOnPhoto - in.rotation);
    r.misalignment = axisTurn(in.plannedAxis, r.marksAxis);
    r.cornea = in.cornea.value_or(Cylinder{in.lensCylinder, axisOf(in.plannedAxis)});
    // The lens corrects along its steep meridian, across its marks.
    const auto lensAt = [&](double marks) { return Cylinder{in.lensCylinder, axisOf(marks + 90)}; };
    r.residual = addCylinders(r.cornea, lensAt(r.marksAxis));
    // The lens's power still along its planned meridian: its cylinder at twice the misalignment.
    r.correctionKept = std::cos(2 * r.misalignment * M_PI / 180);

    if (in.refraction) {
        r.measuredResidual = cornealPlaneCylinder(*in.refraction, in.vertexMm);
        // What the lens faces: the eye's astigmatism with the lens's own correction taken out.
        const Cylinder faced = addCylinders(*r.measuredResidual, Cylinder{in.lensCylinder, r.marksAxis});
        const double best = std::abs(faced.dioptres - in.lensCylinder);
        r.turnHelps =
            faced.dioptres >= kNoCylinder && r.measuredResidual->dioptres - best >= kMeaninglessGainD;
        r.bestAxis = r.turnHelps ? faced.axis : r.marksAxis;
        r.turn = r.turnHelps ? axisTurn(r.marksAxis, faced.axis) : 0.0;
        r.expectedCylinder = r.turnHelps ? best : r.measuredResidual->dioptres;
        r.bestAxisOnPhoto = axisOf(*r.bestAxis + in.rotation);
    }
    return r;
}

std::optional<double> residualShare(const Result& r) {
    if (r.cornea.dioptres < kNoCylinder)
        return std::nullopt;
    return r.residual.dioptres / r.cornea.dioptres;
}

std::optional<Refraction> parseRefraction(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral(
            "^\\s*(pl(?:ano)?|[-+\\x{2212}]?\\d+(?:[.,]\\d+)?)\\s+([-+\\x{2212}]?\\d+(?:[.,]\\d+)?)"
            "\\s*[xX\\x{00D7}]\\s*(\\d+(?:[.,]\\d+)?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression plano(QStringLiteral("^\\s*pl(?:ano)?\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression sphereAlone(
        QStringLiteral("^\\s*([-+\\x{2212}]?\\d+(?:[.,]\\d+)?)\\s*(?:ds|sph|esf)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (plano.match(text).hasMatch())
        return Refraction{};
    if (const QRegularExpressionMatch m = sphereAlone.match(text); m.hasMatch())
        return Refraction{parseNumber(m.captured(1)), 0, 0};
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QString sphere = m.captured(1);
    return Refraction{sphere.startsWith(QLatin1String("pl"), Qt::CaseInsensitive) ? 0.0 : parseNumber(sphere),
                      parseNumber(m.captured(2)), parseNumber(m.captured(3))};
}

std::optional<Cylinder> parseCylinder(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*([-+]?\\d+(?:[.,]\\d+)?)\\s*@\\s*(\\d+(?:[.,]\\d+)?)\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return Cylinder{parseNumber(m.captured(1)), parseNumber(m.captured(2))};
}

} // namespace toric

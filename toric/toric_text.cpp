#include "toric/toric_text.h"

#include "i18n/catalogue.h"
#include "output/rotation_report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace toric {

namespace {

const char kPlanned[] = "Eje previsto";
const char kLens[] = "Cilindro de la lente (plano corneal)";
const char kCornea[] = "Astigmatismo corneal";
const char kCorneaLikeLens[] = "%1 (el de la lente)";
const char kRefraction[] = "Refracción posoperatoria";
const char kRefractionValue[] = "%1 (vértice %2 mm)";
const char kNone[] = "ninguna";
const char kMarksOnPhoto[] = "Eje de las marcas en esta foto";
const char kRotation[] = "Rotación del ojo desde la referencia";
const char kMarksInPlan[] = "Eje de las marcas en el marco del plan";
const char kMisalignment[] = "Desalineación";
const char kKept[] = "Corrección conservada";
const char kResidual[] = "Astigmatismo residual";
const char kMeasured[] = "Astigmatismo de la refracción (plano corneal)";
const char kBestAxis[] = "Eje para el menor cilindro";
const char kTurn[] = "Giro de la lente";
const char kExpected[] = "Cilindro esperado tras el giro";
const char kNoBestAxis[] = "cualquiera: la lente no encuentra astigmatismo";
const char kCylinderAt[] = "%1 D a %2°";
const char kCounterClockwise[] = "%1° en sentido antihorario";
const char kClockwise[] = "%1° en sentido horario";
const char kDisclaimer[] = "Las cifras son una ayuda de cálculo a partir de los valores mostrados.";
const char kConventions[] =
    "Ejes de 0 a 180° como la foto muestra el ojo al examinador: 0° a la derecha, sentido antihorario. "
    "Cilindros en el plano corneal, en su meridiano más curvo; las marcas son el meridiano plano de la "
    "lente. "
    "Ejes en el marco del plan (la foto de referencia).";

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0 : r; // no "-0" in the output
}

QString tr(const char* text) {
    return i18n::lookup(QString::fromUtf8(text));
}

QString number(double value, int decimals) {
    const QLocale locale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                                 : QLocale::Spanish);
    QString s = locale.toString(value, 'f', decimals);
    // "-0" and "-0,00" read as a direction; a value that rounds to zero has none.
    if (s.startsWith(QLatin1Char('-')) && locale.toDouble(s) == 0)
        s.remove(0, 1);
    return s;
}

QString degrees(double value) {
    return number(std::round(value), 0) + QStringLiteral("°");
}

QString dioptres(double value) {
    return number(value, 2) + QStringLiteral(" D");
}

// With its meridian unless it rounds to no cylinder.
QString cylinderText(const Cylinder& c) {
    if (rounded(c.dioptres, 2) == 0)
        return dioptres(0);
    return tr(kCylinderAt).arg(number(c.dioptres, 2), number(std::round(c.axis), 0));
}

// Whole degrees with their direction on the photo; none for a turn that rounds to 0.
QString directedDegrees(double value) {
    const double whole = std::round(value);
    if (whole == 0)
        return degrees(0);
    return tr(whole > 0 ? kCounterClockwise : kClockwise).arg(number(std::abs(whole), 0));
}

QString signedNumber(double value, int decimals) {
    const QString s = number(value, decimals);
    return rounded(value, decimals) > 0 ? QLatin1Char('+') + s : s;
}

QString refractionText(const Refraction& r) {
    return QStringLiteral("%1 %2 × %3")
        .arg(signedNumber(r.sphere, 2), signedNumber(r.cylinder, 2), number(std::round(r.axis), 0));
}

} // namespace

QList<Row> inputRows(const Inputs& in) {
    QList<Row> rows{{tr(kPlanned), degrees(in.plannedAxis)}, {tr(kLens), dioptres(in.lensCylinder)}};
    const Cylinder cornea = in.cornea.value_or(Cylinder{in.lensCylinder, in.plannedAxis});
    rows << Row{tr(kCornea),
                in.cornea ? cylinderText(cornea) : tr(kCorneaLikeLens).arg(cylinderText(cornea))};
    rows << Row{tr(kRefraction),
                in.refraction
                    ? tr(kRefractionValue).arg(refractionText(*in.refraction), number(in.vertexMm, 0))
                    : tr(kNone)};
    return rows;
}

QList<Row> measuredRows(const Inputs& in) {
    return {{tr(kMarksOnPhoto), degrees(in.marksOnPhoto)}, {tr(kRotation), turnText(in.rotation)}};
}

QList<Row> resultRows(const Inputs& in, const Result& r) {
    QList<Row> rows{{tr(kMarksInPlan), degrees(r.marksAxis)},
                    {tr(kMisalignment), directedDegrees(r.misalignment)},
                    {tr(kKept), r.correctionKept ? number(*r.correctionKept * 100, 1) + QStringLiteral(" %")
                                                 : QStringLiteral("—")},
                    {tr(kResidual), cylinderText(r.residual)}};
    if (!in.refraction)
        return rows;
    rows << Row{tr(kMeasured), cylinderText(*r.measuredResidual)};
    rows << Row{tr(kBestAxis), r.bestAxis ? degrees(axisOf(std::round(*r.bestAxis))) : tr(kNoBestAxis)};
    if (r.turn)
        rows << Row{tr(kTurn), directedDegrees(*r.turn)};
    rows << Row{tr(kExpected), dioptres(*r.expectedCylinder)};
    return rows;
}

QString disclaimer() {
    return tr(kDisclaimer);
}

QString conventions() {
    return tr(kConventions);
}

QString measurementPart(const Inputs& in, const Result& r) {
    const auto d = [](double v) { return QString::number(rounded(v, 1)); };
    const auto D = [](double v) { return QString::number(rounded(v, 2), 'f', 2); };
    QStringList parts{
        QStringLiteral("planned %1 deg").arg(d(in.plannedAxis)),
        QStringLiteral("lens %1 D").arg(D(in.lensCylinder)),
        QStringLiteral("cornea %1 D at %2 deg").arg(D(r.cornea.dioptres), d(r.cornea.axis)),
        QStringLiteral("marks %1 deg on this photo").arg(d(in.marksOnPhoto)),
        QStringLiteral("rotation %1 deg").arg(d(in.rotation)),
        QStringLiteral("marks %1 deg in the plan").arg(d(r.marksAxis)),
        QStringLiteral("misalignment %1 deg").arg(d(r.misalignment)),
        QStringLiteral("correction kept %1")
            .arg(r.correctionKept ? QString::number(rounded(*r.correctionKept * 100, 1)) + QLatin1Char('%')
                                  : QStringLiteral("-")),
        QStringLiteral("residual %1 D at %2 deg").arg(D(r.residual.dioptres), d(r.residual.axis))};
    if (in.refraction) {
        const Refraction& f = *in.refraction;
        parts << QStringLiteral("refraction %1 %2 x %3 at %4 mm")
                     .arg(D(f.sphere), D(f.cylinder), d(f.axis), d(in.vertexMm));
        if (r.bestAxis)
            parts << QStringLiteral("best axis %1 deg").arg(d(*r.bestAxis))
                  << QStringLiteral("turn %1 deg").arg(d(*r.turn));
        parts << QStringLiteral("expected %1 D").arg(D(*r.expectedCylinder));
    }
    return QStringLiteral("Toric check: ") + parts.join(QStringLiteral(", "));
}

namespace {

QJsonObject jsonObject(const Inputs& in, const Result& r) {
    QJsonObject o{{QStringLiteral("planned_axis"), rounded(in.plannedAxis, 1)},
                  {QStringLiteral("lens_cyl"), rounded(in.lensCylinder, 2)},
                  {QStringLiteral("rotation"), rounded(in.rotation, 1)},
                  {QStringLiteral("cornea_cyl"), rounded(r.cornea.dioptres, 2)},
                  {QStringLiteral("cornea_axis"), rounded(r.cornea.axis, 1)},
                  {QStringLiteral("lens_axis"), rounded(r.marksAxis, 1)},
                  {QStringLiteral("misalignment"), rounded(r.misalignment, 1)},
                  {QStringLiteral("correction_kept"),
                   r.correctionKept ? QJsonValue(rounded(*r.correctionKept, 3)) : QJsonValue()},
                  {QStringLiteral("residual_cyl"), rounded(r.residual.dioptres, 2)},
                  {QStringLiteral("residual_axis"), rounded(r.residual.axis, 1)}};
    if (in.refraction) {
        o.insert(QStringLiteral("refraction_cyl"), rounded(r.measuredResidual->dioptres, 2));
        o.insert(QStringLiteral("refraction_axis"), rounded(r.measuredResidual->axis, 1));
        o.insert(QStringLiteral("best_axis"),
                 r.bestAxis ? QJsonValue(rounded(*r.bestAxis, 1)) : QJsonValue());
        o.insert(QStringLiteral("turn"), r.turn ? QJsonValue(rounded(*r.turn, 1)) : QJsonValue());
        o.insert(QStringLiteral("expected_cyl"), rounded(*r.expectedCylinder, 2));
    }
    return o;
}

} // namespace

QString plainText(const Inputs& in, const Result& r) {
    const QJsonObject o = jsonObject(in, r);
    QString out;
    for (auto it = o.begin(); it != o.end(); ++it)
        out += QStringLiteral("%1: %2\n")
                   .arg(it.key(),
                        it.value().isNull() ? QStringLiteral("-") : QString::number(it.value().toDouble()));
    return out;
}

QString json(const Inputs& in, const Result& r) {
    return QString::fromUtf8(QJsonDocument(jsonObject(in, r)).toJson(QJsonDocument::Indented));
}

} // namespace toric

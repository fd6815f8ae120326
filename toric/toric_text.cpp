#include "toric/toric_text.h"

#include "i18n/catalogue.h"
#include "output/rotation_report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace toric {

namespace {

const char kPlanned[] = "Eje previsto (marco del plan)";
const char kLens[] = "Cilindro de la lente (plano corneal)";
const char kCornea[] = "Astigmatismo corneal (marco del plan)";
const char kCorneaLikeLens[] = "%1 (supuesto: el de la lente, sin astigmatismo corneal dado)";
const char kRefraction[] = "Refracción posoperatoria (eje en el marco del plan)";
const char kRefractionValue[] = "%1 (vértice %2 mm)";
const char kNone[] = "ninguna";
const char kMarksOnPhoto[] = "Eje de las marcas en la foto actual";
const char kRotation[] = "Rotación del ojo desde la referencia";
const char kMarksInPlan[] = "Eje de las marcas en el marco del plan";
const char kMisalignment[] = "Posición de la lente";
const char kOnPlan[] = "la lente está en el eje previsto";
const char kLensCounterClockwise[] = "la lente está %1° en sentido antihorario del eje previsto";
const char kLensClockwise[] = "la lente está %1° en sentido horario del eje previsto";
const char kKept[] = "Corrección conservada";
const char kKeptNegative[] = "%1 (negativa: la lente añade astigmatismo)";
const char kResidual[] = "Astigmatismo residual previsto (plano corneal, marco del plan)";
const char kResidualShare[] = "Residual previsto / astigmatismo corneal";
const char kMeasured[] = "Astigmatismo medido en la refracción (plano corneal, marco del plan)";
const char kBestOnPhoto[] = "Eje objetivo en la foto actual (ponga ahí la línea guía)";
const char kBestInPlan[] = "Eje objetivo en el marco del plan";
const char kTurn[] = "Giro de la lente";
const char kTurnCounterClockwise[] = "gire la lente %1° en sentido antihorario, visto de frente";
const char kTurnClockwise[] = "gire la lente %1° en sentido horario, visto de frente";
const char kTurnAway[] = "la aleja del eje previsto: sigue a la refracción";
const char kTurnUseless[] = "girarla no ayuda: ganaría menos de %1 D";
const char kExpected[] = "Cilindro esperado tras el giro (plano corneal)";
const char kCylinderAt[] = "%1 D a %2°";
const char kDisclaimer[] = "Las cifras son una ayuda de cálculo a partir de los valores mostrados.";
const char kConventions[] =
    "Ejes de 0 a 180° como la foto muestra el ojo al examinador (visto de frente): 0° a la derecha, "
    "sentido antihorario. Cilindros en el plano corneal, en su meridiano más curvo; las marcas son el "
    "meridiano plano de la lente. El eje previsto, la córnea y la refracción se dan en el marco del plan "
    "(la foto de referencia); una refracción de foróptero está en el marco de la sala: réstele la rotación "
    "del ojo antes de darla. La corrección conservada es la parte de la corrección de la lente que sigue "
    "en el meridiano previsto; el residual previsto / corneal, la parte del astigmatismo corneal que queda.";

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

// Whole degrees with their direction on the photo, in the words given; none for 0 once rounded.
QString directed(double value, const char* none, const char* counterClockwise, const char* clockwise) {
    const double whole = std::round(value);
    if (whole == 0)
        return tr(none);
    return tr(whole > 0 ? counterClockwise : clockwise).arg(number(std::abs(whole), 0));
}

QString percent(double fraction) {
    return number(fraction * 100, 1) + QStringLiteral(" %");
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
                    ? tr(kRefractionValue).arg(refractionText(*in.refraction), number(in.vertexMm, 1))
                    : tr(kNone)};
    return rows;
}

QList<Row> measuredRows(const Inputs& in) {
    return {{tr(kMarksOnPhoto), degrees(in.marksOnPhoto)}, {tr(kRotation), turnText(in.rotation)}};
}

namespace {

QList<Row> turnRows(const Inputs& in, const Result& r) {
    if (!r.turnHelps)
        return {{tr(kTurn), tr(kTurnUseless).arg(number(kMeaninglessGainD, 2))}};
    QList<Row> rows{{tr(kBestOnPhoto), degrees(axisOf(std::round(*r.bestAxisOnPhoto)))},
                    {tr(kBestInPlan), degrees(axisOf(std::round(*r.bestAxis)))},
                    {tr(kTurn), directed(*r.turn, "0°", kTurnCounterClockwise, kTurnClockwise)}};
    // Following the refraction may take the lens further from the plan than it is.
    if (std::abs(axisTurn(in.plannedAxis, *r.bestAxis)) > std::abs(r.misalignment) + 0.5)
        rows << Row{QString(), tr(kTurnAway)};
    return rows << Row{tr(kExpected), dioptres(*r.expectedCylinder)};
}

} // namespace

QList<Row> resultRows(const Inputs& in, const Result& r) {
    const double kept = r.correctionKept.value_or(1);
    const QString keptText =
        kept < 0 && std::round(kept * 1000) < 0 ? tr(kKeptNegative).arg(percent(kept)) : percent(kept);
    QList<Row> rows{
        {tr(kMarksInPlan), degrees(r.marksAxis)},
        {tr(kMisalignment), directed(r.misalignment, kOnPlan, kLensCounterClockwise, kLensClockwise)},
        {tr(kKept), keptText},
        {tr(kResidual), cylinderText(r.residual)},
        {tr(kResidualShare), residualShare(r) ? percent(*residualShare(r)) : QStringLiteral("—")}};
    if (!in.refraction)
        return rows;
    rows << Row{tr(kMeasured), cylinderText(*r.measuredResidual)};
    return rows + turnRows(in, r);
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
    const auto turn = [&](double v, const char* what) {
        const double t = rounded(v, 1);
        return t == 0 ? QStringLiteral("0 deg")
                      : QStringLiteral("%1 deg %2 %3")
                            .arg(d(std::abs(t)), QLatin1String(t > 0 ? "counter-clockwise" : "clockwise"),
                                 QLatin1String(what));
    };
    QStringList parts{
        QStringLiteral("planned %1 deg in the plan").arg(d(in.plannedAxis)),
        QStringLiteral("lens %1 D at the corneal plane").arg(D(in.lensCylinder)),
        QStringLiteral("cornea %1 D at %2 deg%3")
            .arg(D(r.cornea.dioptres), d(r.cornea.axis),
                 in.cornea ? QString() : QStringLiteral(" (assumed: the lens's values)")),
        QStringLiteral("marks %1 deg on this photo").arg(d(in.marksOnPhoto)),
        QStringLiteral("rotation %1 deg").arg(d(in.rotation)),
        QStringLiteral("marks %1 deg in the plan").arg(d(r.marksAxis)),
        QStringLiteral("misalignment %1").arg(turn(r.misalignment, "of the plan")),
        QStringLiteral("correction kept %1")
            .arg(r.correctionKept ? QString::number(rounded(*r.correctionKept * 100, 1)) + QLatin1Char('%')
                                  : QStringLiteral("-")),
        QStringLiteral("predicted residual %1 D at %2 deg").arg(D(r.residual.dioptres), d(r.residual.axis))};
    if (const auto share = residualShare(r))
        parts << QStringLiteral("%1% of the corneal astigmatism")
                     .arg(QString::number(rounded(*share * 100, 1)));
    if (in.refraction) {
        const Refraction& f = *in.refraction;
        parts << QStringLiteral("refraction %1 %2 x %3 in the plan at %4 mm")
                     .arg(D(f.sphere), D(f.cylinder), d(f.axis), d(in.vertexMm))
              << QStringLiteral("measured %1 D at %2 deg")
                     .arg(D(r.measuredResidual->dioptres), d(r.measuredResidual->axis));
        if (r.turnHelps)
            parts << QStringLiteral("best axis %1 deg on this photo, %2 deg in the plan")
                         .arg(d(*r.bestAxisOnPhoto), d(*r.bestAxis))
                  << QStringLiteral("turn %1").arg(turn(*r.turn, "as seen from in front"))
                  << QStringLiteral("expected %1 D").arg(D(*r.expectedCylinder));
        else
            parts << QStringLiteral("turning does not help (gains under %1 D)").arg(D(kMeaninglessGainD));
    }
    return QStringLiteral("Toric check: ") + parts.join(QStringLiteral(", "));
}

namespace {

// One value for programs: its key, the value (null where there is none), and for people its
// decimals and what it means.
struct Field {
    const char* key;
    QJsonValue value;
    int decimals;
    QString note;
};

QString turnNote(double value, const char* what) {
    if (rounded(value, 1) == 0)
        return QString();
    return QStringLiteral("(%1 %2)").arg(QLatin1String(value > 0 ? "counter-clockwise" : "clockwise"),
                                         QLatin1String(what));
}

QList<Field> fields(const Inputs& in, const Result& r) {
    const auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QJsonValue(rounded(*v, decimals)) : QJsonValue();
    };
    const QString assumed = in.cornea ? QString() : QStringLiteral(", assumed: the lens's");
    QList<Field> f{
        {"planned_axis", rounded(in.plannedAxis, 1), 1, QStringLiteral("deg (plan's frame)")},
        {"lens_cyl", rounded(in.lensCylinder, 2), 2, QStringLiteral("D (corneal plane)")},
        {"rotation", rounded(in.rotation, 1), 1,
         QStringLiteral("deg ") + turnNote(in.rotation, "from the reference photo to the current one")},
        {"cornea_cyl", rounded(r.cornea.dioptres, 2), 2, QStringLiteral("D (corneal plane%1)").arg(assumed)},
        {"cornea_axis", rounded(r.cornea.axis, 1), 1,
         QStringLiteral("deg (plan's frame%1)")
             .arg(in.cornea ? QString() : QStringLiteral(", assumed: the planned axis"))},
        {"cornea_assumed", !in.cornea, -1, QString()},
        {"lens_axis", rounded(r.marksAxis, 1), 1, QStringLiteral("deg (the marks, plan's frame)")},
        {"misalignment", rounded(r.misalignment, 1), 1,
         QStringLiteral("deg ") + turnNote(r.misalignment, "of the planned axis")},
        {"correction_kept", optional(r.correctionKept, 3), 3,
         r.correctionKept && *r.correctionKept < 0 ? QStringLiteral("(negative: the lens adds astigmatism)")
                                                   : QString()},
        {"residual_cyl", rounded(r.residual.dioptres, 2), 2, QStringLiteral("D (predicted, corneal plane)")},
        {"residual_axis", rounded(r.residual.axis, 1), 1, QStringLiteral("deg (plan's frame)")},
        {"residual_share", optional(residualShare(r), 3), 3, QStringLiteral("(of the corneal astigmatism)")}};
    if (!in.refraction)
        return f;
    f << Field{"refraction_cyl", rounded(r.measuredResidual->dioptres, 2), 2,
               QStringLiteral("D (measured, corneal plane)")}
      << Field{"refraction_axis", rounded(r.measuredResidual->axis, 1), 1,
               QStringLiteral("deg (plan's frame)")}
      << Field{"turn_helps", r.turnHelps, -1,
               r.turnHelps ? QString()
                           : QStringLiteral("(turning gains under %1 D: it will not help)")
                                 .arg(QString::number(kMeaninglessGainD, 'f', 2))}
      << Field{"best_axis", rounded(*r.bestAxis, 1), 1, QStringLiteral("deg (plan's frame)")}
      << Field{"best_axis_on_photo", rounded(*r.bestAxisOnPhoto, 1), 1,
               QStringLiteral("deg (current photo: where to set the guide line)")}
      << Field{"turn", rounded(*r.turn, 1), 1,
               QStringLiteral("deg ") + turnNote(*r.turn, "as seen from in front")}
      << Field{"expected_cyl", rounded(*r.expectedCylinder, 2), 2,
               QStringLiteral("D (corneal plane, after the turn)")};
    return f;
}

QString fieldText(const Field& f) {
    if (f.value.isNull())
        return QStringLiteral("-");
    if (f.value.isBool())
        return QLatin1String(f.value.toBool() ? "true" : "false");
    return QString::number(f.value.toDouble(), 'f', f.decimals);
}

} // namespace

QString plainText(const Inputs& in, const Result& r) {
    QString out;
    for (const Field& f : fields(in, r))
        out += (QStringLiteral("%1: %2 %3").arg(QLatin1String(f.key), fieldText(f), f.note)).trimmed() +
               QLatin1Char('\n');
    return out;
}

QString json(const Inputs& in, const Result& r) {
    QJsonObject o;
    for (const Field& f : fields(in, r))
        o.insert(QLatin1String(f.key), f.value);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

} // namespace toric

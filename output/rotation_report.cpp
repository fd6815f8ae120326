#include "output/rotation_report.h"

#include "analysis/tuning.h"
#include "i18n/catalogue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace {

// Reasons for giving no rotation.
const char kNoReferenceLimbus[] = "No se encontró el limbo en la foto de referencia";
const char kNoCurrentLimbus[] = "No se encontró el limbo en la foto actual";
const char kTooLittleIris[] = "Se ve muy poco del iris";
const char kPhotosDoNotMatch[] = "Las fotos no coinciden";

const char kCounterClockwise[] = "%1° antihoraria";
const char kClockwise[] = "%1° horaria";
const char kRotationLine[] = "Rotación: %1 — %2 (confianza %3)";
const char kReliable[] = "fiable";
const char kCheckIt[] = "compruébela con puntos";
const char kConfidenceNote[] = "Confianza %1 de 1; fiable desde %2. El sentido es el del giro visto en la "
                               "pantalla, de la foto de referencia a la actual.";
const char kOnePairLine[] = "Puntos: %1 (1 par)";
const char kPairsLine[] = "Puntos: %1 ± %2° (%3 pares)";
const char kCarriedLine[] = "Eje %1° llevado desde %2 (rotación %3)";

QString number(double value, int decimals) {
    const QLocale locale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                                 : QLocale::Spanish);
    return locale.toString(value, 'f', decimals);
}

QString circleText(const std::optional<Circle>& c) {
    if (!c)
        return QStringLiteral("-");
    return QStringLiteral("%1 %2 r %3")
        .arg(c->centre.x(), 0, 'f', 1)
        .arg(c->centre.y(), 0, 'f', 1)
        .arg(c->radius, 0, 'f', 1);
}

QJsonValue circleJson(const std::optional<Circle>& c) {
    if (!c)
        return QJsonValue();
    return QJsonObject{{QStringLiteral("x"), c->centre.x()},
                       {QStringLiteral("y"), c->centre.y()},
                       {QStringLiteral("radius"), c->radius}};
}

} // namespace

const char* refusalMessage(RotationRefusal refusal) {
    switch (refusal) {
    case RotationRefusal::None:
        return nullptr;
    case RotationRefusal::NoReferenceLimbus:
        return kNoReferenceLimbus;
    case RotationRefusal::NoCurrentLimbus:
        return kNoCurrentLimbus;
    case RotationRefusal::TooLittleIris:
        return kTooLittleIris;
    case RotationRefusal::PhotosDoNotMatch:
    case RotationRefusal::Cancelled:
        return kPhotosDoNotMatch;
    }
    return nullptr;
}

QString turnText(double degrees) {
    const double tenths = std::round(degrees * 10);
    if (tenths == 0)
        return number(0, 1) + QStringLiteral("°");
    const char* words = tenths > 0 ? kCounterClockwise : kClockwise;
    return i18n::lookup(QString::fromUtf8(words)).arg(number(std::abs(tenths) / 10, 1));
}

QString rotationLine(const RotationResult& r) {
    const RotationTrust trust = rotationTrust(r);
    if (trust == RotationTrust::Refused)
        return i18n::lookup(QString::fromUtf8(r.refusal != RotationRefusal::None ? refusalMessage(r.refusal)
                                                                                 : kPhotosDoNotMatch));
    const char* band = trust == RotationTrust::Reliable ? kReliable : kCheckIt;
    return i18n::lookup(QString::fromUtf8(kRotationLine))
        .arg(turnText(r.degrees), i18n::lookup(QString::fromUtf8(band)), number(r.confidence, 2));
}

QString confidenceNote(const RotationResult& r) {
    if (!r.measured)
        return QString();
    return i18n::lookup(QString::fromUtf8(kConfidenceNote))
        .arg(number(r.confidence, 2), number(tuning().rotation.reliableConfidence, 2));
}

QString landmarkLine(const LandmarkRotation& m) {
    if (m.pairs == 1)
        return i18n::lookup(QString::fromUtf8(kOnePairLine)).arg(turnText(m.degrees));
    return i18n::lookup(QString::fromUtf8(kPairsLine))
        .arg(turnText(m.degrees), number(m.spread, 1), QString::number(m.pairs));
}

QString carriedLine(int axis, const QString& referenceName, double rotation) {
    return i18n::lookup(QString::fromUtf8(kCarriedLine))
        .arg(QString::number(axis), referenceName, turnText(rotation));
}

QString rotationText(const RotationResult& r) {
    QString out;
    if (r.measured)
        out += QStringLiteral("rotation: %1\nconfidence: %2\n")
                   .arg(r.degrees, 0, 'f', 1)
                   .arg(r.confidence, 0, 'f', 2);
    else
        out +=
            QStringLiteral("refused: %1\n").arg(i18n::lookup(QString::fromUtf8(refusalMessage(r.refusal))));
    out += QStringLiteral("reference limbus: %1\ncurrent limbus: %2\n")
               .arg(circleText(r.referenceLimbus), circleText(r.currentLimbus));
    return out;
}

QString rotationJson(const RotationResult& r, const QString& reference, const QString& current) {
    QJsonObject o{{QStringLiteral("reference"), reference},
                  {QStringLiteral("current"), current},
                  {QStringLiteral("measured"), r.measured},
                  {QStringLiteral("reference_limbus"), circleJson(r.referenceLimbus)},
                  {QStringLiteral("current_limbus"), circleJson(r.currentLimbus)}};
    if (r.measured) {
        o.insert(QStringLiteral("rotation"), std::round(r.degrees * 10) / 10);
        o.insert(QStringLiteral("confidence"), std::round(r.confidence * 100) / 100);
    } else {
        o.insert(QStringLiteral("refusal"), i18n::lookup(QString::fromUtf8(refusalMessage(r.refusal))));
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

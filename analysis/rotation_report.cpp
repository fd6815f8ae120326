#include "rotation_report.h"

#include "i18n/catalogue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

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

QString rotationLine(const RotationResult& r) {
    if (!r.measured)
        return i18n::lookup(QString::fromUtf8(r.refusal ? r.refusal : kPhotosDoNotMatch));
    const QLocale locale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                                 : QLocale::Spanish);
    return i18n::lookup(QStringLiteral("Rotación: %1° (confianza %2)"))
        .arg(locale.toString(r.degrees, 'f', 1), locale.toString(r.confidence, 'f', 2));
}

QString rotationText(const RotationResult& r) {
    QString out;
    if (r.measured)
        out += QStringLiteral("rotation: %1\nconfidence: %2\n")
                   .arg(r.degrees, 0, 'f', 1)
                   .arg(r.confidence, 0, 'f', 2);
    else
        out += QStringLiteral("refused: %1\n").arg(i18n::lookup(QString::fromUtf8(r.refusal)));
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
        o.insert(QStringLiteral("refusal"), i18n::lookup(QString::fromUtf8(r.refusal)));
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

#include "app/decimal_field.h"

QString DecimalField::withLocalePoint(QString text) const {
    const QString point = locale().decimalPoint();
    const QString other = point == QLatin1String(".") ? QStringLiteral(",") : QStringLiteral(".");
    return text.replace(other, point);
}

QValidator::State DecimalField::validate(QString& text, int& position) const {
    text = withLocalePoint(text);
    return QDoubleSpinBox::validate(text, position);
}

double DecimalField::valueFromText(const QString& text) const {
    return QDoubleSpinBox::valueFromText(withLocalePoint(text));
}

void DecimalField::fixup(QString& text) const {
    text = withLocalePoint(text);
    QDoubleSpinBox::fixup(text);
}

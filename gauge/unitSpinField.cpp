#include "gauge/unitSpinField.h"

#include "gauge/spin_field.h"

SpinField::SpinField(QWidget* parent) : QSpinBox(parent) {}

int SpinField::fieldValue() const {
    return spinFieldValue(cleanText(), minimum());
}

// Any integer may be typed, in range or not, and the text may be cleared or be a lone sign.
QValidator::State SpinField::validate(QString& input, int&) const {
    const QString text = input.trimmed();
    if (text.isEmpty() || text == QLatin1String("-"))
        return QValidator::Acceptable;
    bool ok = false;
    text.toInt(&ok, 10);
    return ok ? QValidator::Acceptable : QValidator::Invalid;
}

int SpinField::valueFromText(const QString& text) const {
    return spinFieldValue(text, minimum());
}

void SpinField::focusOutEvent(QFocusEvent* event) {
    const int typed = fieldValue();
    const int before = value();
    QSpinBox::focusOutEvent(event);
    setValue(pullIntoRange(typed, minimum(), maximum()));
    // An out-of-range text was in use without the held value changing: tell the listeners that
    // the field now reads differently.
    if (value() == before && fieldValue() != typed)
        emit valueChanged(value());
}

#include "gauge/unitSpinField.h"

#include "gauge/spin_field.h"

#include <QLineEdit>

SpinField::SpinField(QWidget* parent) : QSpinBox(parent) {
    // Typing reaches the line edit only; values set by the program reach it with its signals
    // blocked. Listening to both, and comparing texts, gives one notification per change.
    connect(lineEdit(), &QLineEdit::textChanged, this, &SpinField::notifyIfChanged);
    connect(this, &QSpinBox::textChanged, this, &SpinField::notifyIfChanged);
}

void SpinField::notifyIfChanged() {
    if (text() == notifiedText)
        return;
    notifiedText = text();
    emit fieldChanged();
}

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
    QSpinBox::focusOutEvent(event);
    setValue(pullIntoRange(typed, minimum(), maximum()));
    notifyIfChanged(); // the text may have been pulled into range without the held value changing
}

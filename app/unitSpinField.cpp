#include "app/unitSpinField.h"

#include "gauge/spin_field.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <climits>

SpinField::SpinField(QWidget* parent) : QSpinBox(parent) {
    QSpinBox::setRange(INT_MIN, INT_MAX);
    notifiedText = text();
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
    return spinFieldValue(cleanText(), fieldMinimum);
}

void SpinField::setMinimum(int minimum) {
    setRange(minimum, fieldMaximum);
}

void SpinField::setMaximum(int maximum) {
    setRange(fieldMinimum, maximum);
}

void SpinField::setRange(int minimum, int maximum) {
    fieldMinimum = minimum;
    fieldMaximum = maximum;
    update(); // the arrows' enabled state may change
}

bool SpinField::hasRange() const {
    return fieldMinimum != fieldMaximum;
}

int SpinField::pulled(qint64 value) const {
    const int v = int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
    return pullIntoRange(v, fieldMinimum, fieldMaximum);
}

void SpinField::setValue(int value) {
    QSpinBox::setValue(pulled(value));
    notifyIfChanged(); // "030" set to 30 changes the text only, which Qt does not report
}

// The arrows step from the integer in the text, not from a value Qt held back.
void SpinField::stepBy(int steps) {
    setValue(pulled(qint64(fieldValue()) + steps)); // pulled here too: the sum may leave int
    selectAll();
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    const int v = fieldValue();
    StepEnabled enabled = StepNone;
    if (pulled(qint64(v) + 1) != v)
        enabled |= StepUpEnabled;
    if (pulled(qint64(v) - 1) != v)
        enabled |= StepDownEnabled;
    return enabled;
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
    return spinFieldValue(text, fieldMinimum);
}

QString SpinField::textFromValue(int value) const {
    return QString::number(value); // plain digits, as the reader and the validator expect
}

// Enter leaves the text as typed (Qt would pull it into range) and goes on to the window, so a
// dialog's default button still answers it.
void SpinField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

void SpinField::focusOutEvent(QFocusEvent* event) {
    const int typed = fieldValue();
    QSpinBox::focusOutEvent(event);
    setValue(typed);
}

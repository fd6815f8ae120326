#pragma once

#include <QDoubleSpinBox>

// A decimal field that takes the point and the comma alike, whatever the interface's language: a
// keypad gives either, and "2.25" typed in Spanish must become 2,25, never 2. The other separator is
// turned into the locale's as it is typed, so the field shows the value it holds.
class DecimalField : public QDoubleSpinBox {
    Q_OBJECT
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    QValidator::State validate(QString& text, int& position) const override;
    double valueFromText(const QString& text) const override;
    void fixup(QString& text) const override;

private:
    QString withLocalePoint(QString text) const;
};

#pragma once

#include <QSpinBox>

// An integer entry field whose value is the integer its text holds, or its minimum when the text
// is no integer. A value typed outside the range stays as typed, Enter included, until the focus
// leaves the field; a value set by the program, or reached with the arrows, the arrow keys or the
// wheel (which step from the text's integer), is pulled into the range. A field whose minimum and
// maximum are both 0 has no range.
//
// The field keeps its own range: the spin box underneath always spans every int, so Qt never
// clamps or rewrites what was typed. Use the field's own minimum(), maximum(), setRange() and
// setValue(), not QSpinBox's, which hide behind them.
class SpinField : public QSpinBox {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int value READ fieldValue WRITE setValue NOTIFY fieldChanged USER true)
public:
    explicit SpinField(QWidget* parent = nullptr);

    // The value as the text stands now, before any range pull.
    int fieldValue() const;
    int value() const { return fieldValue(); }

    int minimum() const { return fieldMinimum; }
    int maximum() const { return fieldMaximum; }
    // A new range leaves the text as it is; it is pulled in when next set or left.
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    bool hasRange() const;

    // Sets the text to the value pulled into the range; notifies when the text changes.
    void setValue(int value);

    void stepBy(int steps) override;

signals:
    // The text changed: typed (in range or not), set by the program, stepped or pulled into range.
    void fieldChanged();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int pulled(qint64 value) const;
    void notifyIfChanged();

    int fieldMinimum = 0;
    int fieldMaximum = 99; // QSpinBox's own default range
    QString notifiedText;
};

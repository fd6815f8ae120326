#pragma once

#include <QSpinBox>

// An integer entry field whose value is the integer its text holds, or its minimum when the text
// is no integer. A value typed outside the range stays as typed until the focus leaves the field;
// a value set by the program, and the text left behind, are pulled into the range.
class SpinField : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinField(QWidget* parent = nullptr);

    // The value as the text stands now, before any range pull.
    int fieldValue() const;

signals:
    // The text changed: typed (in range or not), set by the program, or pulled into range.
    void fieldChanged();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void notifyIfChanged();
    QString notifiedText;
};

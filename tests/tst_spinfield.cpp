// The integer entry field as a user drives it: typed text, Enter, arrow keys, arrow buttons, the
// wheel, leaving the field, and values set by the program.
#include "app/unitSpinField.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleOptionSpinBox>
#include <QtTest>

#include <climits>

class TestSpinField : public QObject {
    Q_OBJECT
private slots:
    void keystrokes_data();
    void keystrokes();
    void rangeChangeKeepsText();

private:
    void act(SpinField* field, QLineEdit* other, const QString& action);
};

void TestSpinField::keystrokes_data() {
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("notifications"); // raised by the action alone

    auto row = [](const char* name, int min, int max, const char* typed, const char* action, const char* text,
                  int notifications) {
        QTest::newRow(name) << min << max << QString::fromLatin1(typed) << QString::fromLatin1(action)
                            << QString::fromLatin1(text) << notifications;
    };
    row("above range, Enter keeps it", 0, 360, "500", "enter", "500", 0);
    row("negative, Enter keeps it", 0, 360, "-40", "enter", "-40", 0);
    row("cleared, Enter keeps it", 0, 360, "", "enter", "", 0);
    row("above range, leaving pulls it in", 0, 360, "500", "leave", "360", 1);
    row("leading zero, leaving rewrites it", 0, 360, "030", "leave", "30", 1);
    row("above range, Down key", 0, 360, "500", "key down", "360", 1);
    row("negative, Down key", 0, 360, "-40", "key down", "0", 1);
    row("negative, Up button", 0, 360, "-40", "button up", "0", 1);
    row("above range, Down button", 0, 360, "500", "button down", "360", 1);
    row("above range, wheel down", 0, 360, "500", "wheel down", "360", 1);
    row("in range, Up key", 0, 360, "30", "key up", "31", 1);
    row("in range, Page Up", 0, 360, "30", "key pageup", "40", 1);
    row("at the maximum, Up key", 0, 360, "360", "key up", "360", 0);
    row("at the minimum, Down button", 0, 360, "0", "button down", "0", 0);
    row("leading zero set to its own value", 0, 360, "030", "set 30", "30", 1);
    row("set above range", 0, 360, "30", "set 400", "360", 1);
    row("no range: leaving keeps it", 0, 0, "-40", "leave", "-40", 0);
    row("no range: set keeps it", 0, 0, "5", "set 123456", "123456", 1);
    row("no range: Down steps below zero", 0, 0, "-40", "key down", "-41", 1);
    row("no range: Up stops at the last int", 0, 0, "2147483647", "key up", "2147483647", 0);
    row("percent field above its lower bound", 1, INT_MAX, "0", "leave", "1", 1);
}

void TestSpinField::act(SpinField* field, QLineEdit* other, const QString& action) {
    const QStringList words = action.split(QLatin1Char(' '));
    const QString& what = words.constFirst();
    const QString how = words.value(1);
    if (what == QLatin1String("enter")) {
        QTest::keyClick(field, Qt::Key_Return);
    } else if (what == QLatin1String("leave")) {
        other->setFocus();
    } else if (what == QLatin1String("set")) {
        field->setValue(how.toInt());
    } else if (what == QLatin1String("key")) {
        const Qt::Key key = how == QLatin1String("up")     ? Qt::Key_Up
                            : how == QLatin1String("down") ? Qt::Key_Down
                                                           : Qt::Key_PageUp;
        QTest::keyClick(field, key);
    } else if (what == QLatin1String("button")) {
        QStyleOptionSpinBox option;
        option.initFrom(field);
        option.subControls = QStyle::SC_All;
        option.frame = true;
        const auto control = how == QLatin1String("up") ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown;
        const QRect r = field->style()->subControlRect(QStyle::CC_SpinBox, &option, control, field);
        QTest::mouseClick(field, Qt::LeftButton, {}, r.center());
    } else if (what == QLatin1String("wheel")) {
        const QPointF at(field->width() / 2.0, field->height() / 2.0);
        QWheelEvent wheel(at, field->mapToGlobal(at), QPoint(),
                          QPoint(0, how == QLatin1String("up") ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(field, &wheel);
    }
}

void TestSpinField::keystrokes() {
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(QString, text);
    QFETCH(int, notifications);

    QWidget window;
    auto* field = new SpinField(&window);
    auto* other = new QLineEdit(&window);
    field->setGeometry(10, 10, 60, 22);
    other->setGeometry(10, 40, 60, 22);
    field->setRange(minimum, maximum);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), typed);

    QSignalSpy changed(field, &SpinField::fieldChanged);
    act(field, other, action);
    QCOMPARE(field->text(), text);
    bool isInteger = false;
    const int expected = text.toInt(&isInteger);
    QCOMPARE(field->fieldValue(), isInteger ? expected : minimum);
    QCOMPARE(changed.count(), notifications);
}

// A new range leaves the text alone; the field is pulled into it when next set or left.
void TestSpinField::rangeChangeKeepsText() {
    SpinField field;
    field.setRange(0, 100);
    field.setValue(80);
    field.setRange(-10, 50);
    QCOMPARE(field.text(), QStringLiteral("80"));
    QCOMPARE(field.minimum(), -10);
    QCOMPARE(field.maximum(), 50);
    field.setValue(field.fieldValue());
    QCOMPARE(field.text(), QStringLiteral("50"));
    QCOMPARE(field.property("maximum").toInt(), 50);
}

QTEST_MAIN(TestSpinField)
#include "tst_spinfield.moc"

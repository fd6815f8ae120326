#include "app/colour_chooser.h"
#include "app/unitMain.h"
#include "app/unitOpciones.h"
#include "app/unitSpinField.h"
#include "gauge/geometry.h"
#include "output/composite.h"
#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// Answers the colour chooser with a scripted colour, or cancels when none is set.
struct ScriptedColourChooser : ColourChooser {
    std::optional<QColor> answer;
    QList<QColor> presets;
    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override {
        presets << initial;
        return answer;
    }
};

const QColor kWhite(255, 255, 255), kYellow(255, 255, 0), kRed(255, 0, 0), kAqua(0, 255, 255);
// What changeEverything() leaves, and what stays of it once the template group is restored.
const GaugeSettings kChanged{Qt::green, Qt::blue, 5, 60, Qt::magenta, 70, 1, Qt::darkGreen, 80, 2};
const GaugeSettings kTemplateRestored{kWhite, kYellow, 10, 25, Qt::magenta, 70, 1, Qt::darkGreen, 80, 2};

using ColourField = QColor GaugeSettings::*;

// A control's list items, range or caption, whichever it has.
QString describe(const QWidget* w) {
    if (auto* list = qobject_cast<const QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items.join('|') + (list->isEditable() ? " editable" : "");
    }
    if (auto* spin = qobject_cast<const SpinField*>(w))
        return QStringLiteral("%1..%2").arg(spin->minimum()).arg(spin->maximum());
    return w->property(qobject_cast<const QGroupBox*>(w) ? "title" : "text").toString();
}

} // namespace

Q_DECLARE_METATYPE(ColourField)

class TestOpciones : public QObject {
    Q_OBJECT

    std::unique_ptr<TformOpciones> dialog;
    ScriptedColourChooser chooser;

    template <class T = QWidget> T* child(const QString& name) { return dialog->findChild<T*>(name); }
    // Clicks a colour panel; the chooser, if it opens, answers with the colour given or is cancelled.
    void clickPanel(const QString& name, std::optional<QColor> answer = {},
                    Qt::MouseButton b = Qt::LeftButton) {
        chooser.answer = answer;
        QTest::mouseClick(child<QFrame>(name), b, Qt::NoModifier, QPoint(10, 10));
    }
    void typeInto(const QString& name, const QString& text) {
        auto* field = child<QSpinBox>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void showDialog() {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // Every group changed through the controls a user touches: gives kChanged.
    void changeEverything() {
        clickPanel("AngleColorLines", Qt::green);
        clickPanel("AngleColorNumbers", Qt::blue);
        QTest::mouseClick(child<QRadioButton>("AngleStep5"), Qt::LeftButton);
        typeInto("AngleTrans", "60");
        clickPanel("RefColor", Qt::magenta);
        clickPanel("SectorColor", Qt::darkGreen);
        child<QComboBox>("SectorWidth")->setCurrentIndex(2);
        child<QComboBox>("RefWidth")->setCurrentIndex(1);
        typeInto("RefTrans", "70");
        typeInto("SectorTrans", "80");
    }

private slots:
    void init() {
        chooser = ScriptedColourChooser();
        dialog = std::make_unique<TformOpciones>();
        dialog->setColourChooser(&chooser);
    }
    void cleanup() { dialog.reset(); }

    void freshDefaults() {
        QCOMPARE(dialog->settings(), (GaugeSettings{kWhite, kYellow, 10, 25, kRed, 25, 0, kAqua, 25, 0}));
        QVERIFY(child<QRadioButton>("AngleStep10")->isChecked());
        QCOMPARE(child<QComboBox>("RefWidth")->currentText() + child<QComboBox>("SectorWidth")->currentText(),
                 QStringLiteral("FinaFina"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Opciones"));
        QCOMPARE(dialog->size(), QSize(470, 271));
        QVERIFY(dialog->isModal());
        QVERIFY(!child<QPushButton>("BitBtn1")->icon().isNull() &&
                !child<QPushButton>("BitBtn2")->icon().isNull());
    }

    // Row name: the control; then its parent, geometry and caption, list items or range.
    void layoutMatchesTable_data() {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("GroupBox1") << "formOpciones" << QRect(5, 10, 460, 79) << " Plantilla de ángulos  ";
        QTest::newRow("AngleColorLines") << "GroupBox1" << QRect(8, 24, 20, 20) << "";
        QTest::newRow("AngleColorNumbers") << "GroupBox1" << QRect(8, 48, 20, 20) << "";
        QTest::newRow("GroupBox2") << "GroupBox1" << QRect(144, 16, 129, 57) << " Dibujar líneas cada...  ";
        QTest::newRow("AngleStep10") << "GroupBox2" << QRect(8, 16, 113, 17) << "10 grados";
        QTest::newRow("AngleStep5") << "GroupBox2" << QRect(8, 32, 113, 17) << "5 grados";
        QTest::newRow("AngleTrans") << "GroupBox1" << QRect(376, 24, 41, 22) << "0..100";
        QTest::newRow("GroupBox3") << "formOpciones" << QRect(5, 98, 460, 63) << " Línea guía";
        QTest::newRow("RefColor") << "GroupBox3" << QRect(8, 24, 20, 20) << "";
        QTest::newRow("RefWidth") << "GroupBox3" << QRect(192, 24, 81, 21) << "Fina|Mediana|Gruesa";
        QTest::newRow("RefTrans") << "GroupBox3" << QRect(376, 24, 41, 22) << "0..100";
        QTest::newRow("GroupBox4") << "formOpciones" << QRect(5, 170, 460, 63) << " Sector  ";
        QTest::newRow("SectorColor") << "GroupBox4" << QRect(8, 24, 20, 20) << "";
        QTest::newRow("SectorWidth") << "GroupBox4" << QRect(192, 24, 81, 21) << "Fina|Mediana|Gruesa";
        QTest::newRow("SectorTrans") << "GroupBox4" << QRect(376, 24, 41, 22) << "0..100";
        QTest::newRow("BitBtn2") << "formOpciones" << QRect(261, 240, 97, 25) << "Cancelar";
        QTest::newRow("BitBtn1") << "formOpciones" << QRect(368, 240, 97, 25) << "Aceptar";
    }
    void layoutMatchesTable() {
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        const QWidget* w = child(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(describe(w), text);
    }

    // The colour panels react to the mouse only and are no focus stops.
    void focusOrder() {
        QWidget* w = child("AngleStep10");
        QStringList seen;
        do {
            // A spin field's inner editor is part of the field, not a stop of its own.
            if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                seen << w->objectName();
            w = w->nextInFocusChain();
        } while (w != child("AngleStep10"));
        QCOMPARE(seen, QStringList({"AngleStep10", "AngleStep5", "AngleTrans", "RefTrans", "RefWidth",
                                    "SectorTrans", "SectorWidth", "BitBtn1", "BitBtn2"}));
    }

    void colourPanelOpensChooserPresetToItsColour_data() {
        QTest::addColumn<QColor>("initial");
        QTest::addColumn<ColourField>("field");
        QTest::newRow("AngleColorLines") << kWhite << &GaugeSettings::angleColorLines;
        QTest::newRow("AngleColorNumbers") << kYellow << &GaugeSettings::angleColorNumbers;
        QTest::newRow("RefColor") << kRed << &GaugeSettings::refColor;
        QTest::newRow("SectorColor") << kAqua << &GaugeSettings::sectorColor;
    }
    void colourPanelOpensChooserPresetToItsColour() {
        QFETCH(QColor, initial);
        QFETCH(ColourField, field);
        const QString panel = QString::fromLatin1(QTest::currentDataTag());
        const QColor chosen(12, 34, 56);
        showDialog();
        GaugeSettings expected = dialog->settings();
        clickPanel(panel);                      // the chooser is cancelled
        clickPanel(panel, {}, Qt::RightButton); // only a left click opens the chooser
        QCOMPARE(chooser.presets, QList<QColor>{initial});
        QCOMPARE(dialog->settings(), expected);

        clickPanel(panel, chosen);
        expected.*field = chosen;
        QCOMPARE(dialog->settings(), expected);
        QCOMPARE(child<QFrame>(panel)->grab().toImage().pixelColor(10, 10), chosen);
        clickPanel(panel, chosen); // the next showing of the chooser starts from the new colour
        QCOMPARE(chooser.presets, QList<QColor>({initial, initial, chosen}));
    }

    // Aceptar (or Enter) keeps every change; any other close restores the template group only.
    void closingKeepsOrRestores_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Aceptar") << "BitBtn1" << true;
        QTest::newRow("Enter in a field") << "enter" << true;
        QTest::newRow("Cancelar") << "BitBtn2" << false;
        QTest::newRow("Escape") << "escape" << false;
        QTest::newRow("close box") << "close" << false;
    }
    void closingKeepsOrRestores() {
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        showDialog();
        changeEverything();
        QCOMPARE(dialog->settings(), kChanged);
        if (how.startsWith("BitBtn"))
            QTest::mouseClick(child<QPushButton>(how), Qt::LeftButton);
        else if (how == "close")
            QVERIFY(dialog->close());
        else
            QTest::keyClick(child("SectorTrans"), how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(dialog->settings(), accepted ? kChanged : kTemplateRestored);
        QCOMPARE(child<QRadioButton>("AngleStep10")->isChecked(), !accepted); // the radio pair follows
    }

    // A cancelled second showing goes back to what the first one accepted, not to the defaults.
    void secondShowingRestoresWhatTheFirstAccepted() {
        showDialog();
        changeEverything();
        dialog->accept();
        showDialog();
        clickPanel("AngleColorLines", Qt::black);
        clickPanel("AngleColorNumbers", Qt::black);
        QTest::mouseClick(child<QRadioButton>("AngleStep10"), Qt::LeftButton);
        typeInto("AngleTrans", "90");
        dialog->reject();
        QCOMPARE(dialog->settings(), kChanged);
    }

    // A transparency is read as its text stands, pulled into 0..100.
    void transparencyReadsWithinRange() {
        showDialog();
        typeInto("RefTrans", ""); // no integer: the minimum
        QCOMPARE(dialog->settings().refTrans, 0);
        auto* edit = child("RefTrans")->findChild<QLineEdit*>(); // beyond the range: bypass the validator
        edit->setText(QStringLiteral("150"));
        QCOMPARE(dialog->settings().refTrans, 100);
        edit->setText(QStringLiteral("-5"));
        QCOMPARE(dialog->settings().refTrans, 0);
    }

    // The main window draws with what the dialog holds at that moment: accepted template changes,
    // and guide line changes that a cancel leaves in place, reach both the overlay and the composite.
    void mainWindowDrawsWithCurrentSettings() {
        TFormMain form;
        auto* opciones = new TformOpciones(&form);
        opciones->setColourChooser(&chooser);
        form.setDialogs(nullptr, opciones);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.openPhotoFile(testData("eye_600x400.jpg")));
        form.findChild<QCheckBox*>("GuiaMostrar")->click();
        form.findChild<QSpinBox*>("GuiaGrados")->setValue(15);
        // A pixel of the centre mark (distance 10 at 0 degrees) or of the guide line (200 at 15).
        auto overlayPixel = [&form](int distance) {
            const QImage overlay = form.findChild<QLabel*>("imgLineas")->pixmap().toImage();
            const QPoint c = gaugeCentre(overlay.width(), overlay.height(), 0, 0);
            return QColor(overlay.pixel(pointAt(c, distance == 10 ? 0 : 15, distance))).rgb();
        };
        QCOMPARE(overlayPixel(10), kWhite.rgb());
        QCOMPARE(overlayPixel(200), kRed.rgb());

        // Each showing: change the lines colour and the guide colour, then Aceptar or Cancelar.
        for (const bool accept : {true, false}) {
            QTimer::singleShot(0, this, [&, accept] {
                auto* d = qobject_cast<TformOpciones*>(QApplication::activeModalWidget());
                QVERIFY(d);
                chooser.answer = accept ? QColor(Qt::green) : QColor(Qt::blue);
                QTest::mouseClick(d->findChild<QFrame*>("AngleColorLines"), Qt::LeftButton, {},
                                  QPoint(10, 10));
                chooser.answer = accept ? QColor(Qt::magenta) : QColor(Qt::yellow);
                QTest::mouseClick(d->findChild<QFrame*>("RefColor"), Qt::LeftButton, {}, QPoint(10, 10));
                accept ? d->accept() : d->reject();
            });
            form.Button1Click();
            if (!accept)
                form.DrawOverlay(); // a cancel does not redraw; the next redraw shows what stayed
            QCOMPARE(overlayPixel(10), QColor(Qt::green).rgb());
            QCOMPARE(overlayPixel(200), (accept ? QColor(Qt::magenta) : QColor(Qt::yellow)).rgb());
        }

        // The composite's guide line, blended over the photo, is yellow now: red and green high, blue low.
        const CompositeResult composite = form.RenderComposite();
        QVERIFY(composite.ok());
        const QColor guide = composite.image.pixelColor(pointAt(gaugeCentre(600, 400, 0, 0), 15, 250));
        QVERIFY2(guide.red() > 180 && guide.green() > 180 && guide.blue() < 120, qPrintable(guide.name()));
    }
};

QTEST_MAIN(TestOpciones)
#include "tst_opciones.moc"

#include "app/unitMain.h"
#include "gauge/geometry.h"
#include "output/composite.h"
#include "settings/colour_chooser.h"
#include "settings/unitOpciones.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {

// Answers the colour chooser with a scripted colour, or cancels when none is set.
class ScriptedColourChooser : public ColourChooser {
public:
    std::optional<QColor> answer;
    QList<QColor> presets;
    std::optional<QColor> chooseColour(QWidget*, const QColor& initial) override {
        presets << initial;
        return answer;
    }
};

const QColor kWhite(255, 255, 255), kYellow(255, 255, 0), kRed(255, 0, 0), kAqua(0, 255, 255);

} // namespace

class TestOpciones : public QObject {
    Q_OBJECT

    std::unique_ptr<TformOpciones> dialog;
    ScriptedColourChooser chooser;

    template <class T> T* child(const QString& name) {
        T* w = dialog->findChild<T*>(name);
        if (!w)
            qFatal("control %s missing", qPrintable(name));
        return w;
    }
    QSpinBox* spin(const char* name) { return child<QSpinBox>(QString::fromLatin1(name)); }
    void clickPanel(const QString& name, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(child<QFrame>(name), button, Qt::NoModifier, QPoint(10, 10));
    }
    void choose(const QString& panel, const QColor& colour) {
        chooser.answer = colour;
        clickPanel(panel);
    }
    void typeInto(QSpinBox* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    void showDialog() {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // Changes every group: the template group through the controls a user touches, and the
    // guide line and sector groups, which no way of closing takes back.
    void changeEverything() {
        choose("AngleColorLines", Qt::green);
        choose("AngleColorNumbers", Qt::blue);
        QTest::mouseClick(child<QRadioButton>("AngleStep5"), Qt::LeftButton);
        typeInto(spin("AngleTrans"), "60");
        choose("RefColor", Qt::magenta);
        choose("SectorColor", Qt::darkGreen);
        child<QComboBox>("SectorWidth")->setCurrentIndex(2);
        child<QComboBox>("RefWidth")->setCurrentIndex(1);
        typeInto(spin("RefTrans"), "70");
        typeInto(spin("SectorTrans"), "80");
    }
    static GaugeSettings changedValues() {
        GaugeSettings s;
        s.angleColorLines = QColor(Qt::green);
        s.angleColorNumbers = QColor(Qt::blue);
        s.angleStep = 5;
        s.angleTrans = 60;
        s.refColor = QColor(Qt::magenta);
        s.refTrans = 70;
        s.refWidth = 1;
        s.sectorColor = QColor(Qt::darkGreen);
        s.sectorTrans = 80;
        s.sectorWidth = 2;
        return s;
    }

private slots:
    void init() {
        chooser = ScriptedColourChooser();
        dialog = std::make_unique<TformOpciones>();
        dialog->setColourChooser(&chooser);
    }
    void cleanup() { dialog.reset(); }

    void freshDefaults() {
        const GaugeSettings s = dialog->settings();
        QCOMPARE(s, GaugeSettings());
        QVERIFY(s.angleColorLines == kWhite && s.angleColorNumbers == kYellow && s.refColor == kRed &&
                s.sectorColor == kAqua);
        QVERIFY(s.angleStep == 10 && child<QRadioButton>("AngleStep10")->isChecked());
        QVERIFY(s.angleTrans == 25 && s.refTrans == 25 && s.sectorTrans == 25);
        for (const char* name : {"RefWidth", "SectorWidth"}) {
            auto* list = child<QComboBox>(QString::fromLatin1(name));
            QCOMPARE(list->currentText(), QStringLiteral("Fina"));
            QVERIFY(!list->isEditable()); // only the three thicknesses can be chosen
            QCOMPARE(list->count(), 3);
        }
    }

    void layoutMatchesTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* parent, QRect r, const char* text) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << r
                                << QString::fromUtf8(text);
        };
        row("GroupBox1", "formOpciones", QRect(5, 10, 460, 79), " Plantilla de ángulos  ");
        row("AngleColorLines", "GroupBox1", QRect(8, 24, 20, 20), "");
        row("AngleColorNumbers", "GroupBox1", QRect(8, 48, 20, 20), "");
        row("GroupBox2", "GroupBox1", QRect(144, 16, 129, 57), " Dibujar líneas cada...  ");
        row("AngleStep10", "GroupBox2", QRect(8, 16, 113, 17), "10 grados");
        row("AngleStep5", "GroupBox2", QRect(8, 32, 113, 17), "5 grados");
        row("AngleTrans", "GroupBox1", QRect(376, 24, 41, 22), "");
        row("GroupBox3", "formOpciones", QRect(5, 98, 460, 63), " Línea guía");
        row("RefColor", "GroupBox3", QRect(8, 24, 20, 20), "");
        row("RefWidth", "GroupBox3", QRect(192, 24, 81, 21), "");
        row("RefTrans", "GroupBox3", QRect(376, 24, 41, 22), "");
        row("GroupBox4", "formOpciones", QRect(5, 170, 460, 63), " Sector  ");
        row("SectorColor", "GroupBox4", QRect(8, 24, 20, 20), "");
        row("SectorWidth", "GroupBox4", QRect(192, 24, 81, 21), "");
        row("SectorTrans", "GroupBox4", QRect(376, 24, 41, 22), "");
        row("BitBtn2", "formOpciones", QRect(261, 240, 97, 25), "Cancelar");
        row("BitBtn1", "formOpciones", QRect(368, 240, 97, 25), "Aceptar");
    }
    void layoutMatchesTable() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* w = child<QWidget>(name);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), geometry);
        if (auto* group = qobject_cast<QGroupBox*>(w))
            QCOMPARE(group->title(), text);
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(button->text(), text);
    }

    void windowAndButtons() {
        QCOMPARE(dialog->objectName(), QStringLiteral("formOpciones"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Opciones"));
        QCOMPARE(dialog->size(), QSize(470, 271)); // outer 478 x 305 less a Windows frame
        QVERIFY(dialog->isModal());
        auto* ok = child<QPushButton>("BitBtn1");
        auto* cancel = child<QPushButton>("BitBtn2");
        QVERIFY(ok->isDefault() && !cancel->isDefault());
        QVERIFY(!ok->icon().isNull() && !cancel->icon().isNull());
    }

    // The colour panels react to the mouse only and are no focus stops.
    void focusOrder() {
        const QStringList expected = {"AngleStep10", "AngleStep5",  "AngleTrans", "RefTrans", "RefWidth",
                                      "SectorTrans", "SectorWidth", "BitBtn1",    "BitBtn2"};
        QWidget* first = child<QWidget>("AngleStep10");
        QWidget* w = first;
        QStringList seen;
        do {
            // A spin field's inner editor is part of the field, not a stop of its own.
            if ((w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                seen << w->objectName();
            w = w->nextInFocusChain();
        } while (w != first);
        QCOMPARE(seen, expected);
    }

    void colourPanelOpensChooserPresetToItsColour_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QColor>("initial");
        QTest::newRow("AngleColorLines") << "AngleColorLines" << kWhite;
        QTest::newRow("AngleColorNumbers") << "AngleColorNumbers" << kYellow;
        QTest::newRow("RefColor") << "RefColor" << kRed;
        QTest::newRow("SectorColor") << "SectorColor" << kAqua;
    }
    void colourPanelOpensChooserPresetToItsColour() {
        QFETCH(QString, panel);
        QFETCH(QColor, initial);
        showDialog();
        const GaugeSettings before = dialog->settings();

        clickPanel(panel); // the chooser is cancelled
        QCOMPARE(chooser.presets, QList<QColor>{initial});
        QCOMPARE(dialog->settings(), before);

        clickPanel(panel, Qt::RightButton); // only a left click opens the chooser
        QCOMPARE(chooser.presets.size(), 1);

        choose(panel, QColor(12, 34, 56));
        QCOMPARE(chooser.presets.size(), 2);
        const GaugeSettings after = dialog->settings();
        const QColor now = panel == "AngleColorLines"     ? after.angleColorLines
                           : panel == "AngleColorNumbers" ? after.angleColorNumbers
                           : panel == "RefColor"          ? after.refColor
                                                          : after.sectorColor;
        QCOMPARE(now, QColor(12, 34, 56));
        QCOMPARE(child<QFrame>(panel)->grab().toImage().pixelColor(10, 10), QColor(12, 34, 56));

        clickPanel(panel); // the next showing of the chooser starts from the new colour
        QCOMPARE(chooser.presets.last(), QColor(12, 34, 56));
    }

    void closingOtherwiseThanAcceptRestoresTemplateGroupOnly_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancelar") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close box") << "close";
    }
    void closingOtherwiseThanAcceptRestoresTemplateGroupOnly() {
        QFETCH(QString, how);
        showDialog();
        changeEverything();
        QCOMPARE(dialog->settings(), changedValues());

        if (how == "cancel")
            QTest::mouseClick(child<QPushButton>("BitBtn2"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(spin("AngleTrans"), Qt::Key_Escape);
        else
            QVERIFY(dialog->close());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));

        GaugeSettings expected = changedValues();
        expected.angleColorLines = kWhite;
        expected.angleColorNumbers = kYellow;
        expected.angleStep = 10;
        expected.angleTrans = 25;
        QCOMPARE(dialog->settings(), expected);
        QVERIFY(child<QRadioButton>("AngleStep10")->isChecked());
        QVERIFY(!child<QRadioButton>("AngleStep5")->isChecked());
        QCOMPARE(spin("AngleTrans")->text(), QStringLiteral("25"));
    }

    void acceptKeepsEverything_data() {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Aceptar") << false;
        QTest::newRow("Enter in a field") << true;
    }
    void acceptKeepsEverything() {
        QFETCH(bool, byEnter);
        showDialog();
        changeEverything();
        if (byEnter)
            QTest::keyClick(spin("SectorTrans"), Qt::Key_Return);
        else
            QTest::mouseClick(child<QPushButton>("BitBtn1"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->settings(), changedValues());
    }

    void secondShowingRestoresWhatTheFirstAccepted() {
        showDialog();
        choose("AngleColorLines", Qt::green);
        QTest::mouseClick(child<QRadioButton>("AngleStep5"), Qt::LeftButton);
        typeInto(spin("AngleTrans"), "40");
        dialog->accept();

        showDialog();
        choose("AngleColorLines", Qt::blue);
        choose("AngleColorNumbers", Qt::black);
        QTest::mouseClick(child<QRadioButton>("AngleStep10"), Qt::LeftButton);
        typeInto(spin("AngleTrans"), "90");
        dialog->reject();

        const GaugeSettings s = dialog->settings();
        QCOMPARE(s.angleColorLines, QColor(Qt::green));
        QCOMPARE(s.angleColorNumbers, kYellow);
        QCOMPARE(s.angleStep, 5);
        QCOMPARE(s.angleTrans, 40);
    }

    void transparencyReadsWithinRange() {
        showDialog();
        auto* field = spin("RefTrans");
        auto* edit = field->findChild<QLineEdit*>();
        // Text that is no integer reads as the minimum, even before the field is left.
        typeInto(field, "");
        QCOMPARE(edit->text(), QString());
        QCOMPARE(dialog->settings().refTrans, 0);
        // Text beyond the range (set without the validator) reads clamped.
        edit->setText(QStringLiteral("150"));
        QCOMPARE(dialog->settings().refTrans, 100);
        edit->setText(QStringLiteral("-5"));
        QCOMPARE(dialog->settings().refTrans, 0);
        // Leaving an emptied field puts the minimum into it.
        typeInto(field, "");
        spin("SectorTrans")->setFocus();
        QCOMPARE(field->value(), 0);
        QCOMPARE(field->text(), QStringLiteral("0"));
    }

    void settingsButtonOfMainWindowShowsDialog() {
        TFormMain form;
        auto* opciones = new TformOpciones(&form); // created after the main window, owned by it
        form.setDialogs(nullptr, opciones);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        bool sawDialog = false;
        for (const bool accept : {true, false}) {
            QTimer::singleShot(0, this, [&, accept] {
                sawDialog = QApplication::activeModalWidget() == opciones;
                auto* step = opciones->findChild<QRadioButton*>(accept ? "AngleStep5" : "AngleStep10");
                auto* button = opciones->findChild<QPushButton*>(accept ? "BitBtn1" : "BitBtn2");
                QTest::mouseClick(step, Qt::LeftButton);
                QTest::mouseClick(button, Qt::LeftButton);
            });
            form.Button1Click();
            QVERIFY(sawDialog);
            // The main window's next draw reads 5 degrees: accepted first, kept through the cancel.
            QCOMPARE(opciones->settings().angleStep, 5);
        }
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

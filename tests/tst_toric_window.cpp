// The toric lens check in the main window: it opens on Ctrl+T, follows the guide line, speaks both
// languages, and prints its report through the print layout dialog as a one-page PDF file whose
// photo lies where the report's layout puts it.
#include "app/toric_window.h"
#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "output/composite.h"
#include "output/save.h"
#include "testsupport.h"
#include "toric/toric_report.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

namespace {

// Prints the report from the window to a PDF file and renders its page at 10 pixels per millimetre.
QImage printedReport(ToricWindow* toric, TPrintImage* dialog, ScriptedChooser& chooser, const QString& pdf) {
    chooser.nextSave = pdf;
    bool printed = false;
    onceModal(dialog, [dialog, &printed] {
        dialog->findChild<QPushButton*>("btnImprimir")->click();
        printed = true;
    });
    toric->findChild<QPushButton*>("btnPrintReport")->click(); // the page is drawn in the background
    if (!QTest::qWaitFor([&] { return printed && !dialog->isVisible(); }, 120000))
        qWarning("the print layout dialog did not open and close");
    const QString page = pdf + ".page";
    const QString failed = runTool("pdftoppm", {"-r", "254", "-gray", "-singlefile", pdf, page});
    if (!failed.isEmpty())
        qWarning("%s", qPrintable(failed));
    return QImage(page + ".pgm");
}

// The box of rows and columns where most pixels have the photo's grey.
QRect photoBox(const QImage& page, int grey) {
    const auto isPhoto = [&](int x, int y) { return std::abs(qGray(page.pixel(x, y)) - grey) < 12; };
    int top = -1, bottom = -1, left = -1, right = -1;
    for (int y = 0; y < page.height(); ++y) {
        int n = 0;
        for (int x = 0; x < page.width(); ++x)
            n += isPhoto(x, y);
        if (n > 500)
            (top < 0 ? top : bottom) = y;
    }
    for (int x = 0; x < page.width(); ++x) {
        int n = 0;
        for (int y = top; y <= bottom; ++y)
            n += isPhoto(x, y);
        if (n > (bottom - top) / 2)
            (left < 0 ? left : right) = x;
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

int darkPixels(const QImage& page, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(page.pixel(x, y)) < 100;
    return n;
}

} // namespace

class TestToricWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR)); }
    void cleanup() { i18n::SetLanguage(QStringLiteral("es")); }

    void guideLineDrivesTheResult() {
        TFormMain w;
        ScriptedChooser chooser;
        RecordingSink sink;
        w.setFileChooser(&chooser);
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.openPhotoFile(testData("eye_600x400.jpg")));
        auto* guide = w.findChild<QSpinBox*>("GuiaGrados");
        auto* shown = w.findChild<QCheckBox*>("GuiaMostrar");
        shown->setChecked(false);
        guide->setValue(90);

        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        ToricWindow* toric = w.toric();
        QVERIFY(toric && toric->isVisible());
        QVERIFY(shown->isChecked());
        toric->findChild<QSpinBox*>("spnPlanned")->setValue(90);
        toric->findChild<QDoubleSpinBox*>("spnLensCyl")->setValue(2.0);
        auto* results = toric->findChild<QLabel*>("lblResults");

        guide->setValue(100);
        QVERIFY2(results->text().contains("10° en sentido antihorario"), qPrintable(results->text()));
        QVERIFY(results->text().contains("94,0 %"));
        QVERIFY(results->text().contains("0,69 D a 50°"));
        const QString recorded = output::measurementText(w.compositeInputs());
        QVERIFY2(
            recorded.contains("; Toric check: planned 90 deg in the plan, lens 2.00 D at the corneal plane, "
                              "cornea 2.00 D at 90 deg (assumed: the lens's values)"),
            qPrintable(recorded));
        QVERIFY(recorded.contains("misalignment 10 deg counter-clockwise of the plan, correction kept 94%, "
                                  "predicted residual 0.69 D at 50 deg, 34.7% of the corneal astigmatism"));
        QCOMPARE(output::guideOfMeasurement(recorded), 100);

        guide->setValue(80);
        w.flag_gbClick();
        QCOMPARE(toric->windowTitle(), QString("Toric lens"));
        QCOMPARE(toric->findChild<QPushButton*>("btnPrintReport")->text(), QString("Print report…"));
        QVERIFY2(results->text().contains("Position of the lens"), qPrintable(results->text()));
        QVERIFY(results->text().contains("10° clockwise"));
        QVERIFY(results->text().contains("94.0 %"));

        toric->close();
        QVERIFY(!output::measurementText(w.compositeInputs()).contains("Toric"));
    }

    // The report goes through the print layout dialog to a PDF file: one A4 page, fitted at 100 %,
    // with the photo and its gauge where the report's layout puts it; the text follows the language.
    void reportPrintsAsOnePage() {
        const QString dir = tempDir();
        QImage photo(1200, 800, QImage::Format_RGB32);
        photo.fill(qRgb(30, 30, 90));
        QVERIFY(photo.save(dir + "/photo.png"));
        TFormMain w;
        TPrintImage dialog;
        ScriptedChooser chooser;
        RecordingSink sink;
        dialog.setFileChooser(&chooser);
        w.setDialogs(&dialog, nullptr);
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(w.openPhotoFile(dir + "/photo.png"));
        w.openToric();

        const QImage spanish = printedReport(w.toric(), &dialog, chooser, dir + "/es.pdf");
        w.flag_gbClick();
        const QImage english = printedReport(w.toric(), &dialog, chooser, dir + "/en.pdf");
        QVERIFY(sink.errors.isEmpty() && sink.messages.isEmpty());

        const toric::ReportLayout layout = toric::reportLayout(photo.size(), QSize());
        const QRectF want(layout.current.x() * 10, layout.current.y() * 10, layout.current.width() * 10,
                          layout.current.height() * 10);
        for (const QImage& page : {spanish, english}) {
            QVERIFY(page.width() == 2100 && std::abs(page.height() - 2970) <= 1); // A4
            const QRect got = photoBox(page, qGray(qRgb(30, 30, 90)));
            for (const auto& [g, e] : {std::pair{got.left(), want.left()},
                                       {got.top(), want.top()},
                                       {got.right() + 1, want.right()},
                                       {got.bottom() + 1, want.bottom()}})
                QVERIFY2(std::abs(g - e) <= 5, qPrintable(QString("photo at %1,%2 %3x%4 (0.1 mm)")
                                                              .arg(got.x())
                                                              .arg(got.y())
                                                              .arg(got.width())
                                                              .arg(got.height())));
        }
        const QRect text(0, int(layout.textTop * 10), 2100, 2970 - int(layout.textTop * 10));
        QVERIFY(spanish.copy(text) != english.copy(text));
        QVERIFY(darkPixels(spanish, text) > 20000); // the rows are written

        // The text is text, the photo a picture at the page's resolution, not a whole-page raster.
        for (const auto& [pdf, words] :
             {std::pair{QString("es.pdf"), QStringList{"Comprobación de lente tórica",
                                                       "Foto actual con el "
                                                       "calibre: photo.png (fecha del archivo:",
                                                       "Posición de la lente", "supuesto: el de la lente"}},
              {QString("en.pdf"), QStringList{"Toric lens check",
                                              "Current photo with the gauge: photo.png "
                                              "(file date:",
                                              "Position of the lens", "assumed: the lens's values"}}}) {
            QByteArray extracted;
            QCOMPARE(runTool("pdftotext", {"-layout", dir + "/" + pdf, "-"}, &extracted), QString());
            const QString plain = QString::fromUtf8(extracted).simplified();
            for (const QString& word : words)
                QVERIFY2(plain.contains(word), qPrintable(word + " not in: " + plain));
            QVERIFY2(QFileInfo(dir + "/" + pdf).size() < 600 * 1024, qPrintable(pdf));
        }
    }

    // "2.25" and "2,25" both become 2.25 in either language, shown with the language's separator;
    // digits beyond the field's decimals are not taken.
    void decimalsTakeEitherSeparator() {
        ToricWindow toric;
        toric.show();
        toric.findChild<QCheckBox*>("chkCornea")->setChecked(true);
        toric.findChild<QCheckBox*>("chkRefraction")->setChecked(true);
        for (const QString language : {"es", "en"}) {
            i18n::SetLanguage(language);
            i18n::RetranslateComponent(&toric);
            toric.refresh();
            const QString shown = language == "es" ? "2,25" : "2.25";
            for (auto* field : toric.findChildren<QDoubleSpinBox*>()) {
                if (field->decimals() < 2)
                    continue;
                for (const QString typed : {"2.25", "2,25"}) {
                    field->setValue(0.5);
                    field->findChild<QLineEdit*>()->selectAll();
                    QTest::keyClicks(field->findChild<QLineEdit*>(), typed);
                    QVERIFY2(
                        field->findChild<QLineEdit*>()->text() == shown,
                        qPrintable(field->objectName() + " shows " + field->findChild<QLineEdit*>()->text()));
                    QTest::keyClick(field->findChild<QLineEdit*>(), Qt::Key_Enter);
                    QCOMPARE(field->value(), 2.25);
                }
            }
            auto* vertex = toric.findChild<QDoubleSpinBox*>("spnVertex");
            vertex->findChild<QLineEdit*>()->selectAll();
            QTest::keyClicks(vertex->findChild<QLineEdit*>(), "12.5");
            QTest::keyClick(vertex->findChild<QLineEdit*>(), Qt::Key_Enter);
            QCOMPARE(vertex->value(), 12.5);
        }
    }

    // A language switch retranslates the results, keeps their values and the size they are set in,
    // and the turn is said as an instruction with the target axis on the current photo.
    void languageSwitchKeepsTheResults() {
        TFormMain w;
        w.show();
        QVERIFY(w.openPhotoFile(testData("eye_600x400.jpg")));
        w.findChild<QSpinBox*>("GuiaGrados")->setValue(110);
        w.openToric();
        ToricWindow* toric = w.toric();
        toric->findChild<QSpinBox*>("spnPlanned")->setValue(90);
        toric->findChild<QDoubleSpinBox*>("spnLensCyl")->setValue(2.0);
        toric->findChild<QDoubleSpinBox*>("spnRotation")->setValue(10.0);
        toric->findChild<QCheckBox*>("chkRefraction")->setChecked(true);
        toric->findChild<QDoubleSpinBox*>("spnCylinder")->setValue(-0.69);
        toric->findChild<QSpinBox*>("spnRefractionAxis")->setValue(140);
        auto* results = toric->findChild<QLabel*>("lblResults");
        const QString spanish = results->text();
        const QFont font = results->font();
        // Marks at 110 on the photo, eye turned +10: 100 in the plan; the refraction asks for 90 in
        // the plan, 100 on the photo, a turn of 10 clockwise.
        for (const char* said :
             {"Eje objetivo en la foto actual (ponga ahí la línea guía)</td><td>&nbsp;&nbsp;<b>100°",
              "Eje objetivo en el marco del plan</td><td>&nbsp;&nbsp;<b>90°",
              "gire la lente 10° en sentido horario, visto de frente",
              "la lente está 10° en sentido antihorario del eje previsto"})
            QVERIFY2(spanish.contains(QString::fromUtf8(said)), qPrintable(spanish));

        w.flag_gbClick();
        QVERIFY2(results->text().contains("turn the lens 10° clockwise, as seen from in front"),
                 qPrintable(results->text()));
        QCOMPARE(results->font(), font);
        w.flag_esClick();
        toric->close();
        w.openToric();
        QCOMPARE(results->text(), spanish);
        QCOMPARE(results->font(), font);

        // Within a quarter dioptre of the best, turning is not worth it.
        toric->findChild<QDoubleSpinBox*>("spnCylinder")->setValue(-0.25);
        toric->findChild<QSpinBox*>("spnRefractionAxis")->setValue(5);
        QVERIFY2(results->text().contains("girarla no ayuda: ganaría menos de 0,25 D"),
                 qPrintable(results->text()));
        QVERIFY(!results->text().contains("Eje objetivo"));

        // A refraction that leaves the clinical range at the corneal plane gives no figures.
        toric->findChild<QDoubleSpinBox*>("spnSphere")->setValue(30);
        toric->findChild<QDoubleSpinBox*>("spnVertex")->setValue(30);
        QCOMPARE(results->text(),
                 QString("la refracción llevada al plano corneal sale de 30 D: revise la distancia "
                         "al vértice"));
    }
};

QTEST_MAIN(TestToricWindow)
#include "tst_toric_window.moc"

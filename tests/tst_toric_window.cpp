// The toric lens check in the main window: it opens on Ctrl+T, follows the guide line, speaks both
// languages, and prints its report through the print layout dialog as a one-page PDF file whose
// photo lies where the report's layout puts it.
#include "app/toric_window.h"
#include "i18n/catalogue.h"
#include "output/composite.h"
#include "output/save.h"
#include "output/unitPrintImage.h"
#include "testsupport.h"
#include "toric/toric_report.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QLabel>
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
        QVERIFY2(recorded.contains("; Toric check: planned 90 deg, lens 2.00 D"), qPrintable(recorded));
        QVERIFY(recorded.contains("misalignment 10 deg, correction kept 94%, residual 0.69 D at 50 deg"));
        QCOMPARE(output::guideOfMeasurement(recorded), 100);

        guide->setValue(80);
        w.flag_gbClick();
        QCOMPARE(toric->windowTitle(), QString("Toric lens"));
        QCOMPARE(toric->findChild<QPushButton*>("btnPrintReport")->text(), QString("Print report…"));
        QVERIFY2(results->text().contains("Misalignment"), qPrintable(results->text()));
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
    }
};

QTEST_MAIN(TestToricWindow)
#include "tst_toric_window.moc"

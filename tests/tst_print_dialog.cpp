#include "app/application.h"
#include "app/unitMain.h"
#include "app/unitPrintImage.h"
#include "app/unitPrinterSetup.h"
#include "app/unitSpinField.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

// A4 at 600 ppi with 5 mm margins, and a small card of 100 x 150 mm at 300 ppi.
const PrintableArea kA4{4724, 6780, 600, 600};
const PrintableArea kCard{1181, 1772, 300, 300};

// A composite of 3000 x 2000 pixels at 96 ppi, dark, so the preview shows where it lies.
QImage composite() {
    QImage image(3000, 2000, QImage::Format_RGB32);
    image.fill(qRgb(20, 40, 160));
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    return image;
}

} // namespace

class TestPrintDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<TPrintImage> dialog;
    ScriptedPrinters printers;
    ScriptedChooser chooser;
    RecordingSink sink;

    template <class T> T* child(const char* name) { return requireChild<T>(dialog.get(), name); }
    SpinField* spin(const char* name) { return child<SpinField>(name); }
    void type(const char* field, const QString& text) {
        SpinField* f = spin(field);
        f->setFocus();
        f->selectAll();
        QTest::keyClicks(f, text);
    }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    void choosePrinter(const QString& entry) {
        QComboBox* list = child<QComboBox>("cbImpresoras");
        list->setCurrentIndex(list->findText(entry));
        emit list->activated(list->currentIndex());
    }
    // Runs the dialog modally; `act` works on it once it is up, and must close it (or leave it open,
    // then the dialog is rejected after).
    int runModal(const std::function<void()>& act) {
        QTimer::singleShot(0, this, [this, act] {
            act();
            if (dialog->isVisible())
                dialog->reject();
        });
        return dialog->exec();
    }

private slots:
    void init() {
        printers = ScriptedPrinters();
        printers.names = QStringList{"Oficina", "Tarjetas"};
        printers.defaultName = printers.current = "Oficina";
        printers.areas = {{"Oficina", kA4}, {"Tarjetas", kCard}, {"", kA4}};
        chooser = ScriptedChooser();
        sink = RecordingSink();
        dialog = std::make_unique<TPrintImage>();
        dialog->setPrinterBackend(&printers);
        dialog->setFileChooser(&chooser);
        static_cast<PelvanorApplication*>(qApp)->setErrorSink(&sink);
    }
    void cleanup() {
        static_cast<PelvanorApplication*>(qApp)->setErrorSink(&qtMessageSink());
        dialog.reset();
    }

    void frameButtonsAndFields() {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Imprimir"));
        QCOMPARE(dialog->size(), QSize(434, 314));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(child<QPushButton>("btnImprimir")->isDefault());
        QVERIFY(!child<QPushButton>("btnImprimir")->icon().isNull());
        QVERIFY(!child<QPushButton>("btnCancelar")->icon().isNull());
        QVERIFY(child<QComboBox>("cbImpresoras")->isEditable());
        QCOMPARE(std::make_tuple(spin("spCopias")->minimum(), spin("spCopias")->maximum(),
                                 spin("spCopias")->value()),
                 std::make_tuple(1, 999, 1));
        for (const char* name : {"spWPor", "spHPor"})
            QCOMPARE(std::make_tuple(spin(name)->minimum(), spin(name)->maximum(), spin(name)->value()),
                     std::make_tuple(1, 10000, 100));
        // The printers in the platform's order, then the PDF file; the current printer selected.
        QComboBox* list = child<QComboBox>("cbImpresoras");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(2), QStringLiteral("Archivo PDF"));
        QCOMPARE(list->currentText(), QStringLiteral("Oficina"));
    }

    void noPrinterLeavesThePdfFileAlone() {
        printers.names.clear();
        printers.defaultName.clear();
        dialog->setPrinterBackend(&printers);
        QComboBox* list = child<QComboBox>("cbImpresoras");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->currentText(), QStringLiteral("Archivo PDF"));
        QCOMPARE(printers.current, QString());
    }

    // Width and height stay coupled unless distortion is allowed, whichever field is typed in.
    void coupling_data() {
        QTest::addColumn<bool>("distortion");
        QTest::addColumn<QString>("typedField");
        QTest::addColumn<int>("widthPercent");
        QTest::addColumn<int>("heightPercent");
        QTest::newRow("width") << false << "spWPor" << 50 << 50;
        QTest::newRow("height") << false << "spHPor" << 50 << 50;
        QTest::newRow("width distorted") << true << "spWPor" << 50 << 100;
        QTest::newRow("height distorted") << true << "spHPor" << 100 << 50;
    }
    void coupling() {
        QFETCH(bool, distortion);
        QFETCH(QString, typedField);
        dialog->SetImage(composite());
        const output::PrintLayout full = dialog->printLayout();
        child<QCheckBox>("ckDistorsion")->setChecked(distortion);
        dialog->show();
        type(typedField.toLatin1().constData(), QStringLiteral("50"));
        QTEST(spin("spWPor")->fieldValue(), "widthPercent");
        QTEST(spin("spHPor")->fieldValue(), "heightPercent");
        QFETCH(int, widthPercent);
        QFETCH(int, heightPercent);
        QCOMPARE(qRound(dialog->printLayout().PrintWidthMm * 100), qRound(full.PrintWidthMm * widthPercent));
        QCOMPARE(qRound(dialog->printLayout().PrintHeightMm * 100),
                 qRound(full.PrintHeightMm * heightPercent));
        // The preview's box follows: half the picture's width at 50 %.
        const QImage picture = dialog->previewPicture();
        QCOMPARE(picture.pixel(picture.width() * 3 / 4, 5) == qRgb(255, 255, 255), widthPercent == 50);
    }

    void fitToPageAfterDistortionKeepsOffsets() {
        dialog->SetImage(composite());
        const output::PrintLayout full = dialog->printLayout();
        child<QCheckBox>("ckDistorsion")->setChecked(true);
        spin("spWPor")->setValue(40);
        spin("spHPor")->setValue(70);
        spin("spPosTop")->setValue(30);
        spin("spPosLeft")->setValue(-12);
        click("BitBtn1");
        QCOMPARE(spin("spWPor")->value(), 100);
        QCOMPARE(spin("spHPor")->value(), 100);
        QCOMPARE(spin("spPosTop")->value(), 30);
        QCOMPARE(spin("spPosLeft")->value(), -12);
        QCOMPARE(dialog->printLayout().PrintWidthMm, full.PrintWidthMm);
        QCOMPARE(dialog->printLayout().PrintHeightMm, full.PrintHeightMm);
    }

    void centring() {
        dialog->SetImage(composite());
        click("btnCentrar");
        // A4 less margins: 200 x 287.0 mm; the 3:2 composite fills the width, 133.3 mm high.
        QCOMPARE(spin("spPosLeft")->value(), 0);
        QCOMPARE(spin("spPosTop")->value(), 77);
        const QImage picture = dialog->previewPicture();
        QCOMPARE(picture.size(), QSize(167, 240));
        QCOMPARE(picture.pixel(83, 120), qRgb(20, 40, 160));
        QCOMPARE(picture.pixel(83, 40), qRgb(255, 255, 255));
    }

    // A page of aspect 0.9 gives a picture 216 pixels wide: shown centred, cut at both sides.
    void widePagePictureIsCentred() {
        printers.areas["Oficina"] = PrintableArea{5400, 6000, 600, 600};
        dialog->SetImage(composite());
        QCOMPARE(dialog->previewPicture().size(), QSize(216, 240));
        const QImage shown = child<QLabel>("imgTumb")->grab().toImage();
        QCOMPARE(shown.size(), QSize(180, 240));
        // Picture column 18 (white paper below the composite) is the label's first column; the
        // outline's columns 0 and 215 are cut off, its bottom row is not.
        QCOMPARE(shown.pixel(0, 200), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(179, 200), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(90, 239), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(0, 20), qRgb(20, 40, 160));
    }

    // Another printer recomputes the ranges and the preview; percentages and offsets keep their
    // values, an offset outside its new range included.
    void printerChangeKeepsValues() {
        dialog->SetImage(composite());
        spin("spWPor")->setValue(80);
        spin("spPosTop")->setValue(200);
        spin("spPosLeft")->setValue(15);
        choosePrinter("Tarjetas");
        QCOMPARE(printers.current, QStringLiteral("Tarjetas"));
        QCOMPARE(spin("spPosTop")->maximum(), 150);
        QCOMPARE(spin("spPosLeft")->maximum(), 100);
        QCOMPARE(spin("spPosTop")->fieldValue(), 200);
        QCOMPARE(spin("spPosLeft")->fieldValue(), 15);
        QCOMPARE(spin("spWPor")->value(), 80);
        QCOMPARE(spin("spHPor")->value(), 80);
        QCOMPARE(qRound(dialog->printLayout().PrintWidthMm), 80);
        QCOMPARE(dialog->previewPicture().size(), QSize(160, 240));
    }

    // Typed text is applied by Enter, which does not print, or by leaving the list; a name that is
    // no printer gives the default printer, and the list shows the printer that will print.
    void typedPrinterName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("printer");
        QTest::newRow("no printer, Enter") << "Zzz" << true << "Oficina";
        QTest::newRow("no printer, left") << "Zzz" << false << "Oficina";
        QTest::newRow("PDF file, left") << "Archivo PDF" << false << "";
    }
    void typedPrinterName() {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, printer);
        printers.current = "Tarjetas";
        dialog->SetImage(composite());
        QComboBox* list = child<QComboBox>("cbImpresoras");
        runModal([&] {
            QApplication::setActiveWindow(dialog.get()); // focus moves only in the active window
            list->setFocus();
            list->lineEdit()->selectAll();
            QTest::keyClicks(list, typed);
            enter ? QTest::keyClick(list, Qt::Key_Return) : spin("spCopias")->setFocus();
            QVERIFY(dialog->isVisible());
        });
        QVERIFY(printers.jobs.isEmpty());
        QCOMPARE(printers.current, printer);
        QCOMPARE(list->currentText(), printer.isEmpty() ? QStringLiteral("Archivo PDF") : printer);
        QCOMPARE(spin("spCopias")->isEnabled(), !printer.isEmpty());
    }

    // Another destination shows its own paper and orientation; the PDF file takes no copies.
    void printerSetupChoices() {
        const QPageSize a4(QPageSize::A4), label(QSizeF(62, 29), QPageSize::Millimeter);
        TPrinterSetup setup(
            {{"Oficina", "Oficina", {a4, QPageSize(QPageSize::Letter)}, a4, QPageLayout::Portrait},
             {"Etiquetas", "Etiquetas", {label}, label, QPageLayout::Landscape},
             {"", "Archivo PDF", {a4}, a4, QPageLayout::Portrait}},
            {"Oficina", QPageSize(QPageSize::Letter), QPageLayout::Portrait, 3});
        const auto settings = [&] {
            const PrinterSettings s = setup.settings();
            return std::make_tuple(s.printer, s.pageSize.id(), s.orientation, s.copies);
        };
        QCOMPARE(settings(),
                 std::make_tuple(QString("Oficina"), QPageSize::Letter, QPageLayout::Portrait, 3));
        QComboBox* destination = requireChild<QComboBox>(&setup, "cbImpresora");
        emit destination->activated(1);
        QCOMPARE(settings(), std::make_tuple(QString("Etiquetas"), label.id(), QPageLayout::Landscape, 3));
        emit destination->activated(2);
        QCOMPARE(settings(), std::make_tuple(QString(""), QPageSize::A4, QPageLayout::Portrait, 1));
        QVERIFY(!requireChild<SpinField>(&setup, "spCopias")->isEnabled());
    }

    void setupDialog_data() {
        QTest::addColumn<bool>("confirms");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("copies");
        QTest::newRow("confirmed") << true << "Tarjetas" << 3;
        QTest::newRow("cancelled") << false << "Oficina" << 1;
    }
    void setupDialog() {
        dialog->SetImage(composite());
        printers.setupConfirms = QTest::currentDataTag() == QByteArray("confirmed");
        printers.setupChooses = "Tarjetas";
        printers.setupCopies = 3;
        click("btnPropiedades");
        QTEST(child<QComboBox>("cbImpresoras")->currentText(), "entry");
        QTEST(spin("spCopias")->value(), "copies");
        QCOMPARE(dialog->printerMetrics().PageWidthPx, float(printers.areas.value(printers.current).widthPx));
    }

    void cancelPrintsNothing() {
        dialog->SetImage(composite());
        const int result = runModal([this] { click("btnCancelar"); });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(printers.jobs.isEmpty());
    }

    void printsThePageAsLaidOut() {
        dialog->SetImage(composite());
        child<QCheckBox>("ckDistorsion")->setChecked(true);
        const int result = runModal([this] {
            spin("spCopias")->setValue(2);
            spin("spHPor")->setValue(50);
            spin("spPosTop")->setValue(10);
            spin("spPosLeft")->setValue(-5);
            click("btnImprimir");
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(printers.jobs.size(), 1);
        const PrintJob& job = printers.jobs.constFirst();
        QCOMPARE(job.title, QStringLiteral("Pelvanor"));
        QCOMPARE(job.copies, 2);
        QCOMPARE(job.image.size(), QSize(3000, 2000));
        QCOMPARE(job.placementMm.topLeft(), QPointF(-5, 10));
        QCOMPARE(qRound(job.placementMm.width() * 10), 2000);
        QCOMPARE(qRound(job.placementMm.height() * 10), 667);
    }

    // The PDF file asks for a name; cancelling it leaves the dialog open and prints nothing.
    void pdfFileAsksForAName() {
        choosePrinter("Archivo PDF");
        QCOMPARE(printers.current, QString());
        dialog->setSourcePath("/fotos/ojo1.jpeg");
        dialog->SetImage(composite());
        bool stillOpen = false;
        runModal([&] {
            click("btnImprimir");
            stillOpen = dialog->isVisible();
        });
        QVERIFY(stillOpen);
        QVERIFY(printers.jobs.isEmpty());
        QCOMPARE(chooser.lastProposedName, QStringLiteral("/fotos/ojo1_ang.pdf"));
        QCOMPARE(chooser.lastFilter, QStringLiteral("Archivo PDF (*.pdf)"));
        // A report of the same photo is proposed a name of its own.
        dialog->setSourcePath("/fotos/ojo1.jpeg", "_torica");
        dialog->SetImage(composite());
        runModal([this] { click("btnImprimir"); });
        QCOMPARE(chooser.lastProposedName, QStringLiteral("/fotos/ojo1_torica.pdf"));

        chooser.nextSave = "/tmp/elegido.pdf";
        dialog->setSourcePath(QString()); // after a paste the last name is proposed
        dialog->SetImage(composite());
        QCOMPARE(runModal([this] { click("btnImprimir"); }), int(QDialog::Accepted));
        QCOMPARE(printers.jobs.size(), 1);
        QCOMPARE(printers.jobs.constFirst().pdfPath, QStringLiteral("/tmp/elegido.pdf"));
        QCOMPARE(chooser.lastProposedName, QStringLiteral("/fotos/ojo1_torica.pdf"));
    }

    // A failing print closes the dialog all the same and reaches the application's error box.
    void printErrorReachesTheErrorBox() {
        printers.failure = "The printer or class does not exist";
        dialog->SetImage(composite());
        const int result = runModal([this] { click("btnImprimir"); });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(sink.errors, QStringList{"The printer or class does not exist."});
        QVERIFY(printers.jobs.isEmpty());
    }

    // The main window's print button: nothing without a photo; with one, the dialog shows the
    // composite of the photo, and the dialog has let go of it once closed.
    void printButton() {
        TFormMain form;
        form.setDialogs(dialog.get(), nullptr);
        form.setMessageSink(&sink);
        bool shown = false;
        QTimer::singleShot(0, this, [&] { shown = QApplication::activeModalWidget() != nullptr; });
        form.btnPrintClick();
        QTest::qWait(10);
        QVERIFY(!shown);

        QVERIFY(form.openPhotoFile(testData("eye_600x400.jpg")));
        QSize previewSize;
        onceModal(dialog.get(), [&] {
            shown = true;
            previewSize = dialog->previewPicture().size();
            dialog->reject();
        });
        form.btnPrintClick(); // the composite is drawn in the background, then the dialog opens
        QVERIFY(form.waitUntilIdle());
        QVERIFY(shown);
        QCOMPARE(previewSize, QSize(167, 240));
        QVERIFY(printers.jobs.isEmpty());
        QVERIFY(sink.messages.isEmpty() && sink.errors.isEmpty());
    }
};

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    TestPrintDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_print_dialog.moc"

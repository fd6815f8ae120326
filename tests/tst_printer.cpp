// The program's printers without a print server: the PDF file alone, written whole or not at all.
// Where the page puts the composite is measured end to end (e2e_print).
#include "output/printer_backend.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

#include <stdexcept>

class TestPrinter : public QObject {
    Q_OBJECT

    PrinterBackend& printers = qtPrinterBackend();

    PrintJob job(const QString& path, const QRectF& mm) {
        PrintJob j;
        j.image = QImage(600, 400, QImage::Format_RGB32);
        j.image.fill(qRgb(30, 30, 90));
        j.title = QStringLiteral("Pelvanor");
        j.placementMm = mm;
        j.pdfPath = path;
        return j;
    }

private slots:
    // No print server: no printers, the PDF file is current and its page is A4 with no margins.
    void pdfFileAloneWithoutPrintServer() {
        QCOMPARE(qgetenv("CUPS_SERVER"), QByteArray("/nonexistent.sock"));
        QVERIFY(printers.printerNames().isEmpty());
        QCOMPARE(printers.defaultPrinter(), QString());
        QCOMPARE(printers.currentPrinter(), QString());
        const PrintableArea area = printers.printableArea();
        QCOMPARE(qRound(25.4 * area.widthPx / area.dpiX), 210);
        QCOMPARE(qRound(25.4 * area.heightPx / area.dpiY), 297);
    }

    // A file that cannot be written is reported; a written one replaces the old file whole, with no
    // temporary file left beside it.
    void writesWholeFilesOnly() {
        const QString dir = tempDir();
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            printers.print(job(dir + QStringLiteral("/missing/x.pdf"), QRectF(0, 0, 10, 10))));
        QVERIFY(QDir(dir).isEmpty());
        const QString path = dir + QStringLiteral("/kept.pdf");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        printers.print(job(path, QRectF(0, 0, 10, 10)));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().startsWith("%PDF"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"kept.pdf"});
    }

    // A printer that is not there is refused before anything is sent.
    void vanishedPrinterIsReported() {
        printers.setCurrentPrinter(QStringLiteral("Desaparecida"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, printers.print(job(QString(), QRectF(0, 0, 10, 10))));
        printers.setCurrentPrinter(QString());
    }
};

QTEST_MAIN(TestPrinter)
#include "tst_printer.moc"

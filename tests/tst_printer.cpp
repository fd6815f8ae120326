// The program's printers without a print server: the PDF file alone, written by the real path and
// measured on the page as pdftoppm renders it.
#include "output/printer_backend.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QtTest>

#include <stdexcept>

namespace {

// The box of the non-white pixels of a page rendered at 10 pixels per millimetre, in millimetres.
QRectF inkBoxMm(const QString& pdf, int* pages = nullptr) {
    const QString prefix = QFileInfo(pdf).absolutePath() + QStringLiteral("/page");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {"-r", "254", "-png", "-singlefile", pdf, prefix});
    if (!render.waitForFinished(60000) || render.exitCode() != 0)
        qFatal("pdftoppm failed: %s", render.readAllStandardError().constData());
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(60000);
    if (pages)
        *pages = QString::fromLatin1(info.readAllStandardOutput())
                     .section(QStringLiteral("Pages:"), 1)
                     .trimmed()
                     .section(QLatin1Char('\n'), 0, 0)
                     .toInt();
    const QImage page(prefix + QStringLiteral(".png"));
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200)
                box |= QRect(x, y, 1, 1);
    return QRectF(box.x() / 10.0, box.y() / 10.0, box.width() / 10.0, box.height() / 10.0);
}

} // namespace

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

    // The box lands where the job says, to within half a millimetre, distorted boxes included.
    void placementOnThePage_data() {
        QTest::addColumn<QRectF>("mm");
        QTest::newRow("top left") << QRectF(0, 0, 150, 100);
        QTest::newRow("inside") << QRectF(10, 20, 100, 50);
        QTest::newRow("distorted") << QRectF(30.5, 100, 40, 120);
    }
    void placementOnThePage() {
        QFETCH(QRectF, mm);
        const QString path = tempDir() + QStringLiteral("/page.pdf");
        printers.print(job(path, mm));
        int pages = 0;
        const QRectF box = inkBoxMm(path, &pages);
        QCOMPARE(pages, 1);
        QVERIFY2(qAbs(box.left() - mm.left()) <= 0.5 && qAbs(box.top() - mm.top()) <= 0.5 &&
                     qAbs(box.right() - mm.right()) <= 0.5 && qAbs(box.bottom() - mm.bottom()) <= 0.5,
                 qPrintable(QStringLiteral("box %1,%2 %3x%4 mm")
                                .arg(box.x())
                                .arg(box.y())
                                .arg(box.width())
                                .arg(box.height())));
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

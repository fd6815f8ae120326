#include "imaging/rounding.h"
#include "output/print_layout.h"

#include <QtTest>

using namespace output;

class TestPrintLayout : public QObject {
    Q_OBJECT

private slots:
    // A printable area of 4760 x 6779 pixels at 600 ppi and a 3000 x 2000 composite at 96 ppi.
    void workedExample() {
        const PrinterMetrics page = ReadPrinterMetrics(4760, 6779, 600, 600);
        const ImageMetrics image = ReadImageMetrics(3000, 2000, 96, 96);
        QCOMPARE(qRound(page.PageWidthMm * 1000), 201507);
        QCOMPARE(qRound(page.PageHeightMm * 1000), 286978);
        QCOMPARE(qRound(page.PageAspect * 100000), 70217);
        QCOMPARE(image.ImageAspect, 1.5f);

        const PrintLayout l = UpdateLayout(page, image, 100, 100);
        QCOMPARE(qRound(l.PrintDpiX * 1000), 378151);
        QCOMPARE(l.PrintDpiY, l.PrintDpiX);
        QCOMPARE(qRound(l.PrintWidthMm * 1000), 201507);
        QCOMPARE(qRound(l.PrintHeightMm * 1000), 134338);
        QCOMPARE(std::make_pair(l.topMinimum, l.topMaximum), std::make_pair(-134, 287));
        QCOMPARE(std::make_pair(l.leftMinimum, l.leftMaximum), std::make_pair(-202, 202));

        const Offsets centre = centredOffsets(page, l);
        QCOMPARE(centre.top, 76);
        QCOMPARE(centre.left, 0);
        const PreviewGeometry g = previewGeometry(page, l, centre.left, centre.top);
        QCOMPARE(g.page, QSize(169, 240));
        QCOMPARE(g.image, QRect(0, 64, 169, 112));
    }

    // Equal aspects fit by height, and the printed composite then fills both directions.
    void tieFillsBothDirections() {
        const PrinterMetrics page = ReadPrinterMetrics(4000, 6000, 600, 600);
        const PrintLayout l = UpdateLayout(page, ReadImageMetrics(2000, 3000, 72, 72), 100, 100);
        QCOMPARE(page.PageAspect, ReadImageMetrics(2000, 3000, 72, 72).ImageAspect);
        QCOMPARE(l.PrintHeightMm, page.PageHeightMm);
        QVERIFY(qAbs(l.PrintWidthMm - page.PageWidthMm) < 1e-4);
    }

    // A composite whose two resolutions differ keeps the proportions those resolutions give it.
    void unequalImageResolutions() {
        const PrinterMetrics page = ReadPrinterMetrics(4800, 4800, 600, 600); // 203.2 mm square
        const PrintLayout l = UpdateLayout(page, ReadImageMetrics(1000, 1000, 100, 200), 100, 100);
        // 254 x 127 mm at its own resolution: the width fills the page, the height is half of it.
        QCOMPARE(qRound(l.PrintWidthMm * 100), 20320);
        QCOMPARE(qRound(l.PrintHeightMm * 100), 10160);
    }

    void percentages_data() {
        QTest::addColumn<int>("widthPercent");
        QTest::addColumn<int>("heightPercent");
        QTest::addColumn<double>("widthMm");
        QTest::addColumn<double>("heightMm");
        QTest::addColumn<QPoint>("topRange");
        QTest::addColumn<QPoint>("leftRange");
        // Page 200 x 300 mm, composite 100 x 100 mm: the width fits at 200 mm.
        QTest::newRow("both 50") << 50 << 50 << 100.0 << 100.0 << QPoint(-100, 300) << QPoint(-100, 200);
        QTest::newRow("distorted") << 50 << 100 << 100.0 << 200.0 << QPoint(-200, 300) << QPoint(-100, 200);
        QTest::newRow("enlarged") << 300 << 150 << 600.0 << 300.0 << QPoint(-300, 300) << QPoint(-600, 200);
        // Below 1 % (a field's text being no integer reads as 0) counts as 1 %.
        QTest::newRow("zero and negative") << 0 << -20 << 2.0 << 2.0 << QPoint(-2, 300) << QPoint(-2, 200);
        QTest::newRow("beyond 10,000")
            << INT_MAX << 10001 << 20000.0 << 20000.0 << QPoint(-20000, 300) << QPoint(-20000, 200);
    }
    void percentages() {
        QFETCH(int, widthPercent);
        QFETCH(int, heightPercent);
        const PrinterMetrics page = ReadPrinterMetrics(2000, 3000, 254, 254);
        const PrintLayout l =
            UpdateLayout(page, ReadImageMetrics(1000, 1000, 254, 254), widthPercent, heightPercent);
        QTEST(double(l.PrintWidthMm), "widthMm");
        QTEST(double(l.PrintHeightMm), "heightMm");
        QTEST(QPoint(l.topMinimum, l.topMaximum), "topRange");
        QTEST(QPoint(l.leftMinimum, l.leftMaximum), "leftRange");
    }

    // Beyond the int range the rounding saturates; NaN gives 0.
    void roundingSaturates() {
        const std::pair<double, int> cases[] = {
            {-2.5, -2}, {2147483647.4, INT_MAX}, {3e9, INT_MAX}, {-1e300, INT_MIN}, {std::nan(""), 0}};
        for (const auto& [value, rounded] : cases)
            QCOMPARE(roundHalfEven(value), rounded);
    }

    // Half the free height of 101 and 103 mm: 50.5 and 51.5 round to the even neighbours.
    void centringRoundsHalvesToEven_data() {
        QTest::addColumn<int>("pageHeightPx");
        QTest::addColumn<int>("top");
        QTest::newRow("50.5") << 3010 << 50;
        QTest::newRow("51.5") << 3030 << 52;
    }
    void centringRoundsHalvesToEven() {
        QFETCH(int, pageHeightPx);
        const PrinterMetrics page = ReadPrinterMetrics(2000, pageHeightPx, 254, 254);
        const PrintLayout l = UpdateLayout(page, ReadImageMetrics(1000, 1000, 254, 254), 100, 100);
        QTEST(centredOffsets(page, l).top, "top");
        QCOMPARE(centredOffsets(page, l).left, 0);
    }

    void preview_data() {
        QTest::addColumn<QSize>("pagePx");
        QTest::addColumn<QSize>("imagePx");
        QTest::addColumn<QPoint>("offsetMm");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("box");
        // The worked example turned on its side: 286.978 x 201.507 mm, the width fills it.
        QTest::newRow("landscape") << QSize(6779, 4760) << QSize(3000, 2000) << QPoint(10, 5)
                                   << QSize(180, 126) << QRect(6, 3, 180, 120);
        QTest::newRow("portrait") << QSize(4760, 6779) << QSize(3000, 2000) << QPoint(0, 0) << QSize(169, 240)
                                  << QRect(0, 0, 169, 112);
        // Aspect 0.9: the picture is 240 high and wider than the 180-pixel area.
        QTest::newRow("nearly square") << QSize(9000, 10000) << QSize(1000, 1000) << QPoint(0, 21)
                                       << QSize(216, 240) << QRect(0, 12, 216, 216);
        // Offsets at the ends of their ranges put the box beyond the picture's edges.
        QTest::newRow("off the top left") << QSize(4760, 6779) << QSize(3000, 2000) << QPoint(-202, -134)
                                          << QSize(169, 240) << QRect(-169, -112, 169, 112);
    }
    void preview() {
        QFETCH(QSize, pagePx);
        QFETCH(QSize, imagePx);
        QFETCH(QPoint, offsetMm);
        const PrinterMetrics page = ReadPrinterMetrics(pagePx.width(), pagePx.height(), 600, 600);
        const PrintLayout l =
            UpdateLayout(page, ReadImageMetrics(imagePx.width(), imagePx.height(), 96, 96), 100, 100);
        const PreviewGeometry g = previewGeometry(page, l, offsetMm.x(), offsetMm.y());
        QTEST(g.page, "picture");
        QTEST(g.image, "box");
    }

    // A resolution of 0 (an image or device that reports none) must not make the layout divide by zero.
    void unknownResolutionCountsAs96() {
        const ImageMetrics image = ReadImageMetrics(960, 480, 0, -1);
        QCOMPARE(image.ImageDpiX, 96.0f);
        QCOMPARE(qRound(image.ImageWidthMm * 10), 2540);
        const PrintLayout l = UpdateLayout(ReadPrinterMetrics(2000, 3000, 0, 0), image, 100, 100);
        QVERIFY(std::isfinite(l.PrintWidthMm) && l.PrintWidthMm > 0);
    }
};

QTEST_APPLESS_MAIN(TestPrintLayout)
#include "tst_print_layout.moc"

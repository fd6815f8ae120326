// The screen overlay as a user sees it: which pixels are transparent and which carry which colour.
#include "gauge/geometry.h"
#include "gauge/overlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

#include <climits>

namespace {

const QRgb kWhite = 0xffffffff, kYellow = 0xffffff00, kRed = 0xffff0000, kAqua = 0xff00ffff;
const QPoint kC(324, 214); // the centre of the worked 649 x 429 layer

// The worked layer with the guide line at 15 degrees and the sector rays at 25 and 50 shown.
GaugeInputs worked() {
    GaugeInputs in;
    in.layer = QSize(649, 429);
    in.guideShown = in.sectorShown = true;
    return in;
}

int count(const QImage& image, const QRect& rect, QRgb colour) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

// Rasterised lines may sit a pixel off the rounded point.
bool near(const QImage& image, const QPoint& p, QRgb colour) {
    return count(image, QRect(p - QPoint(1, 1), QSize(3, 3)), colour) > 0;
}

} // namespace

class TestOverlay : public QObject {
    Q_OBJECT
private slots:
    void workedOverlay();
    void centreMark();
    void keyColour();
    void lines_data();
    void lines();
    void guideThickness();
    void degenerateLayers();
    void sectorReadout_data();
    void sectorReadout();
};

void TestOverlay::workedOverlay() {
    const QImage image = renderOverlay(worked()).image;
    QCOMPARE(image.size(), QSize(649, 429));
    // Text is drawn unsmoothed too: every opaque pixel has one of the gauge's colours.
    const int transparent = count(image, image.rect(), 0);
    int gauge = 0;
    for (QRgb colour : {kWhite, kYellow, kRed, kAqua})
        gauge += count(image, image.rect(), colour);
    QCOMPARE(transparent + gauge, 649 * 429);
    QVERIFY(transparent > 649 * 429 * 8 / 10); // the photo shows through
    // The centre mark is drawn over the lines: the red line passes under it and shows outside.
    QCOMPARE(image.pixel(kC + QPoint(5, 0)), kWhite);
    QCOMPARE(image.pixel(pointAt(kC, 15, 40)), kRed);
    // Each number's box, w x h of its text centred on its point, holds the text alone: the template's
    // at rN, the guide's at 0.94 rN and the sector start's at 0.88 rN, each in its colour.
    const QFont font = overlayLabelFont(649, 96);
    QCOMPARE(font.pixelSize(), 8); // 6 points at 96 pixels per inch
    const QFontMetrics metrics(font);
    const std::tuple<QString, QPoint, QRgb> numbers[] = {{"0", kC + QPoint(194, 0), kYellow},
                                                         {"90", kC - QPoint(0, 194), kYellow},
                                                         {"15", pointAt(kC, 15, 194 * 0.94), kRed},
                                                         {"25", pointAt(kC, 25, 194 * 0.88), kAqua}};
    for (const auto& [text, p, colour] : numbers) {
        const QSize size(metrics.horizontalAdvance(text), metrics.height());
        QImage alone(size, image.format());
        alone.fill(0);
        QPainter painter(&alone);
        painter.setFont(font);
        painter.setPen(QColor(colour));
        painter.drawText(0, metrics.ascent(), text);
        painter.end();
        QCOMPARE(image.copy(QRect(p - QPoint(size.width() / 2, size.height() / 2), size)), alone);
    }
    // The rays beneath "0" and "90" run right up to their boxes.
    const int w = metrics.horizontalAdvance(QStringLiteral("0")), h = metrics.height();
    QCOMPARE(image.pixel(kC.x() + 194 - w / 2 - 1, kC.y()), kWhite);
    QCOMPARE(image.pixel(kC.x() + 194 - w / 2 + w, kC.y()), kWhite);
    QCOMPARE(image.pixel(kC.x(), kC.y() - 194 - h / 2 - 1), kWhite);
    QCOMPARE(image.pixel(kC.x(), kC.y() - 194 - h / 2 + h), kWhite);
}

void TestOverlay::centreMark() {
    const QImage image = renderCentreMark(worked());
    for (const QPoint& d : {QPoint(0, -10), QPoint(0, 10), QPoint(-10, 0), QPoint(10, 0)})
        QCOMPARE(image.pixel(kC + d), kWhite);         // the cross
    QVERIFY(near(image, pointAt(kC, 45, 20), kWhite)); // the circle at rC 21
    QCOMPARE(image.pixel(kC + QPoint(7, -7)), 0u);     // inside: nothing
    // Nothing else: every pixel outside the circle's square is transparent.
    const QRect square(kC - QPoint(22, 22), QSize(45, 45));
    QCOMPARE(count(image, image.rect(), 0) - count(image, square, 0), 649 * 429 - 45 * 45);
}

void TestOverlay::keyColour() {
    GaugeInputs in = worked();
    in.settings.angleColorLines = in.settings.angleColorNumbers = QColor(0x111111);
    in.settings.refColor = in.settings.sectorColor = QColor(0x111111);
    QCOMPARE(count(renderOverlay(in).image, QRect(0, 0, 649, 429), 0), 649 * 429);
    // A key-coloured centre mark still erases the red line beneath it.
    in.settings.refColor = Qt::red;
    const QImage image = renderOverlay(in).image;
    QCOMPARE(image.pixel(kC + QPoint(5, 0)), 0u);
    QCOMPARE(image.pixel(pointAt(kC, 15, 40)), kRed);
}

void TestOverlay::lines_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QPoint>("p");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<char>("how"); // '=' at p, '~' within a pixel of p, '!' not within a pixel
    QTest::newRow("0, 2 wide") << 10 << kC + QPoint(100, -1) << kWhite << '=';
    QTest::newRow("0 to the edge") << 10 << kC + QPoint(320, 0) << kWhite << '=';
    QTest::newRow("270") << 10 << kC + QPoint(0, 100) << kWhite << '=';
    QTest::newRow("120") << 10 << pointAt(kC, 120, 150) << kWhite << '~';
    QTest::newRow("from rC on") << 10 << pointAt(kC, 30, 12) << kWhite << '!';
    QTest::newRow("no 5") << 10 << pointAt(kC, 5, 150) << kWhite << '!';
    QTest::newRow("no 45") << 10 << kC + QPoint(100, -100) << kWhite << '!';
    QTest::newRow("step 5: 5") << 5 << pointAt(kC, 5, 150) << kWhite << '~';
    QTest::newRow("step 5: 45") << 5 << kC + QPoint(100, -100) << kWhite << '=';
    QTest::newRow("step 5: 45, 1 wide") << 5 << kC + QPoint(100, -99) << 0u << '=';
    QTest::newRow("guide") << 10 << pointAt(kC, 15, 150) << kRed << '~';
    QTest::newRow("guide through the centre") << 10 << pointAt(kC, 195, 310) << kRed << '~';
    QTest::newRow("sector start") << 10 << pointAt(kC, 25, 150) << kAqua << '~';
    QTest::newRow("sector end") << 10 << pointAt(kC, 50, 150) << kAqua << '~';
    QTest::newRow("sector rays, not lines") << 10 << pointAt(kC, 205, 150) << kAqua << '!';
    QTest::newRow("sector not filled") << 10 << pointAt(kC, 37, 150) << 0u << '=';
}

void TestOverlay::lines() {
    QFETCH(int, step);
    QFETCH(QPoint, p);
    QFETCH(QRgb, colour);
    QFETCH(char, how);
    GaugeInputs in = worked();
    in.settings.angleStep = step;
    const QImage image = renderOverlay(in).image;
    if (how == '=')
        QCOMPARE(image.pixel(p), colour);
    else
        QCOMPARE(near(image, p, colour), how == '~');
}

// The thickness choices draw 3, 5 and 7 pixels wide: the guide line crosses a column in about that.
void TestOverlay::guideThickness() {
    GaugeInputs in = worked();
    const QPoint p = pointAt(kC, 15, 120);
    for (int index : {0, 1, 2}) {
        in.settings.refWidth = index;
        const int run = count(renderOverlay(in).image, QRect(p.x(), p.y() - 10, 1, 21), kRed);
        QVERIFY2(run == 3 + 2 * index || run == 4 + 2 * index, qPrintable(QString::number(run)));
    }
}

void TestOverlay::degenerateLayers() {
    GaugeInputs in = worked();
    in.layer = QSize(0, 0);
    QVERIFY(renderOverlay(in).image.isNull());
    // Under 100 pixels wide the numbers use the default text size and still appear.
    in.layer = QSize(80, 60);
    QVERIFY(count(renderOverlay(in).image, QRect(0, 0, 80, 60), kYellow) > 0);
    // Centre near a corner: rN is negative and the numbers stand beyond the centre.
    in.layer = QSize(649, 429);
    in.offsetX = in.offsetY = -0.49f;
    QCOMPARE(renderOverlay(in).image.pixel(648, 428), 0u); // the rays stop short of the far corner
}

void TestOverlay::sectorReadout_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("readout");
    QTest::newRow("typed beyond the range") << -40 << 500 << QStringLiteral("540");
    QTest::newRow("int extremes") << INT_MIN << INT_MAX << QStringLiteral("4294967295");
    QTest::newRow("lowest against zero") << INT_MIN << 0 << QStringLiteral("2147483648");
}

// Any typed angles give the true width, and the overlay is still drawn.
void TestOverlay::sectorReadout() {
    QFETCH(int, start);
    QFETCH(int, end);
    GaugeInputs in = worked();
    in.sectorStart = start;
    in.sectorEnd = end;
    const OverlayResult result = renderOverlay(in);
    QFETCH(QString, readout);
    QCOMPARE(result.readout, readout);
    QCOMPARE(result.image.size(), in.layer);
}

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"

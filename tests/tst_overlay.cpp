// The screen overlay as a user sees it: which pixels are transparent and which carry which colour.
#include "gauge/geometry.h"
#include "gauge/overlay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

namespace {

const QRgb kWhite = 0xffffffff;
const QRgb kRed = 0xffff0000;
const QRgb kAqua = 0xff00ffff;

GaugeInputs worked() {
    GaugeInputs in;
    in.layer = QSize(649, 429);
    return in;
}

QRgb at(const QImage& image, const QPoint& p) {
    return image.pixel(p);
}

// Whether the colour appears within one pixel of p: rasterised lines may sit a pixel off the
// rounded point.
bool colourNear(const QImage& image, const QPoint& p, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixel(p + QPoint(dx, dy)) == colour)
                return true;
    return false;
}

// Length of the run of the colour in column x that contains row y.
int verticalRun(const QImage& image, int x, int y, QRgb colour) {
    int top = y;
    while (top > 0 && image.pixel(x, top - 1) == colour)
        --top;
    int bottom = y;
    while (bottom + 1 < image.height() && image.pixel(x, bottom + 1) == colour)
        ++bottom;
    return bottom - top + 1;
}

} // namespace

class TestOverlay : public QObject {
    Q_OBJECT
private slots:
    void onlyTransparentOrOpaquePixels();
    void centreMark();
    void centreMarkLiesOverTheLines();
    void templateRays();
    void numberBoxInterruptsTheRay();
    void textCentredInItsBox();
    void guideLineAndSector();
    void lineThickness();
    void keyColouredGaugeIsInvisible();
    void readout();
    void degenerateLayers();
};

void TestOverlay::onlyTransparentOrOpaquePixels() {
    GaugeInputs in = worked();
    in.guideShown = in.sectorShown = true;
    const QImage image = renderOverlay(in).image;
    QCOMPARE(image.size(), QSize(649, 429));
    // Text is drawn unsmoothed too: every opaque pixel has one of the gauge's colours.
    const QList<QRgb> colours{0u, kWhite, 0xffffff00, kRed, kAqua};
    int transparent = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QVERIFY(colours.contains(image.pixel(x, y)));
            transparent += image.pixel(x, y) == 0;
        }
    QVERIFY(transparent > image.width() * image.height() * 8 / 10); // the photo shows through
}

void TestOverlay::centreMark() {
    const QImage image = renderCentreMark(worked());
    const QPoint c(324, 214);
    const int rC = 21;
    QCOMPARE(at(image, c + QPoint(0, -10)), kWhite); // vertical stroke
    QCOMPARE(at(image, c + QPoint(0, 10)), kWhite);
    QCOMPARE(at(image, c + QPoint(-10, 0)), kWhite); // horizontal stroke
    QCOMPARE(at(image, c + QPoint(10, 0)), kWhite);
    QVERIFY(colourNear(image, pointAt(c, 45, rC - 1), kWhite)); // the circle
    QCOMPARE(at(image, c + QPoint(7, -7)), 0u);                 // inside: nothing
    // Nothing else: every opaque pixel lies within the circle's square.
    const QRect square(c.x() - rC - 1, c.y() - rC - 1, 2 * rC + 3, 2 * rC + 3);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != 0)
                QVERIFY(square.contains(x, y));
}

void TestOverlay::centreMarkLiesOverTheLines() {
    GaugeInputs in = worked();
    in.guideShown = true;
    in.guide = 15;
    const QImage image = renderOverlay(in).image;
    const QPoint c(324, 214);
    QCOMPARE(at(image, c + QPoint(5, 0)), kWhite); // the red line passes here, under the mark
    QCOMPARE(at(image, pointAt(c, 15, 40)), kRed); // and shows outside it
}

void TestOverlay::templateRays() {
    const QPoint c(324, 214);
    GaugeInputs in = worked();
    QImage image = renderOverlay(in).image;
    QCOMPARE(at(image, c + QPoint(100, 0)), kWhite);  // 0 degrees
    QCOMPARE(at(image, c + QPoint(0, 100)), kWhite);  // 270 degrees
    QCOMPARE(at(image, c + QPoint(-100, 0)), kWhite); // 180 degrees
    QCOMPARE(at(image, c + QPoint(100, -100)), 0u);   // no ray at 45 degrees for step 10
    QVERIFY(colourNear(image, pointAt(c, 120, 150), kWhite));
    QCOMPARE(at(image, pointAt(c, 30, 12)), 0u);             // rays start at rC, outside the mark
    QVERIFY(!colourNear(image, pointAt(c, 5, 150), kWhite)); // no ray at 5 degrees for step 10
    QCOMPARE(at(image, c + QPoint(320, 0)), kWhite);         // reaching the layer's edge
    // The axis rays are 2 pixels wide, the others 1.
    QCOMPARE(at(image, c + QPoint(100, -1)), kWhite);
    QCOMPARE(verticalRun(image, c.x() + 150, c.y() - 150, kWhite), 1);

    in.settings.angleStep = 5;
    image = renderOverlay(in).image;
    QVERIFY(colourNear(image, pointAt(c, 5, 150), kWhite));
    QVERIFY(colourNear(image, pointAt(c, 355, 150), kWhite));
    QCOMPARE(at(image, c + QPoint(100, -100)), kWhite); // 45 degrees, an exact diagonal
    QCOMPARE(at(image, c + QPoint(100, -98)), 0u);
}

void TestOverlay::numberBoxInterruptsTheRay() {
    const QPoint c(324, 214);
    const QImage image = renderOverlay(worked()).image;
    const QFontMetrics metrics(overlayLabelFont(649, 96));
    QCOMPARE(overlayLabelFont(649, 96).pixelSize(), 8); // 6 points at 96 pixels per inch
    const int w = metrics.horizontalAdvance(QStringLiteral("0"));
    const QPoint label = c + QPoint(194, 0); // "0" at rN on the 0-degree ray
    const int left = label.x() - w / 2;
    QVERIFY(w > 0);
    for (int x = left; x < left + w; ++x)
        QVERIFY2(at(image, QPoint(x, c.y())) != kWhite, "the ray is interrupted by the box");
    QCOMPARE(at(image, QPoint(left - 2, c.y())), kWhite);
    QCOMPARE(at(image, QPoint(left + w + 1, c.y())), kWhite);
    int yellow = 0;
    for (int y = label.y() - 8; y <= label.y() + 8; ++y)
        for (int x = left; x < left + w; ++x)
            yellow += at(image, QPoint(x, y)) == 0xffffff00;
    QVERIFY(yellow > 3);
}

// The box is w x h of the text, its top-left corner at (x - w div 2, y - h div 2).
void TestOverlay::textCentredInItsBox() {
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(kWhite);
    const QFont font = overlayLabelFont(649, 96);
    const QFontMetrics metrics(font);
    const int w = metrics.horizontalAdvance(QStringLiteral("170"));
    const int h = metrics.height();
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::yellow);
        DrawTextCentered(painter, 51, 50, QStringLiteral("170"));
    }
    QRect cleared;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (image.pixel(x, y) != kWhite)
                cleared |= QRect(x, y, 1, 1);
    QCOMPARE(cleared, QRect(51 - w / 2, 50 - h / 2, w, h));
    QCOMPARE(image.pixel(cleared.topLeft()), 0u); // the box is transparent around the glyphs
}

void TestOverlay::guideLineAndSector() {
    const QPoint c(324, 214);
    GaugeInputs in = worked();
    in.guideShown = true;
    in.sectorShown = true;
    const QImage image = renderOverlay(in).image;
    QVERIFY(colourNear(image, pointAt(c, 15, 150), kRed));
    QVERIFY(colourNear(image, pointAt(c, 195, 150), kRed)); // through the centre
    QVERIFY(colourNear(image, pointAt(c, 15, 310), kRed));  // across the layer
    QVERIFY(colourNear(image, pointAt(c, 25, 150), kAqua));
    QVERIFY(colourNear(image, pointAt(c, 50, 150), kAqua));
    QVERIFY(!colourNear(image, pointAt(c, 205, 150), kAqua)); // rays, not lines
    QCOMPARE(at(image, pointAt(c, 37, 150)), 0u);             // no fill between them
    // The numbers in their line's colour: the guide's at 0.94 rN, the sector's at 0.88 rN.
    int red = 0, aqua = 0;
    const QPoint guideNumber = c + QPoint(qRound(194 * std::cos(15 * M_PI / 180) * 0.94),
                                          -qRound(194 * std::sin(15 * M_PI / 180) * 0.94));
    const QPoint startNumber = c + QPoint(qRound(194 * std::cos(25 * M_PI / 180) * 0.88),
                                          -qRound(194 * std::sin(25 * M_PI / 180) * 0.88));
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -6; dx <= 6; ++dx) {
            red += at(image, guideNumber + QPoint(dx, dy)) == kRed;
            aqua += at(image, startNumber + QPoint(dx, dy)) == kAqua;
        }
    QVERIFY(red > 5);
    QVERIFY(aqua > 5);
}

void TestOverlay::lineThickness() {
    const QPoint c(324, 214);
    for (int index : {0, 1, 2}) {
        GaugeInputs in = worked();
        in.guideShown = true;
        in.guide = 15;
        in.settings.refWidth = index;
        const QImage image = renderOverlay(in).image;
        const QPoint p = pointAt(c, 15, 120);
        const int run = verticalRun(image, p.x(), p.y(), kRed);
        const int width = thicknessPenWidth(index);
        QVERIFY2(run >= width && run <= width + 1, qPrintable(QString::number(run)));
    }
}

void TestOverlay::keyColouredGaugeIsInvisible() {
    GaugeInputs in = worked();
    in.settings.angleColorLines = QColor(0x11, 0x11, 0x11);
    in.settings.angleColorNumbers = QColor(0x11, 0x11, 0x11);
    in.settings.refColor = QColor(0x11, 0x11, 0x11);
    in.guideShown = true;
    QImage image = renderOverlay(in).image;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), 0u);
    // A key-coloured centre mark still erases the red guide line beneath it.
    in.settings.refColor = QColor(255, 0, 0);
    image = renderOverlay(in).image;
    const QPoint c(324, 214);
    QCOMPARE(at(image, c + QPoint(5, 0)), 0u);
    QCOMPARE(at(image, pointAt(c, 15, 40)), kRed);
}

void TestOverlay::readout() {
    GaugeInputs in = worked();
    QCOMPARE(renderOverlay(in).readout, QStringLiteral("25"));
    in.sectorStart = 350;
    in.sectorEnd = 10;
    QCOMPARE(renderOverlay(in).readout, QStringLiteral("340")); // no wrap-around
    in.sectorEnd = 350;
    QCOMPARE(renderOverlay(in).readout, QStringLiteral("0"));
}

void TestOverlay::degenerateLayers() {
    GaugeInputs in = worked();
    in.layer = QSize(0, 0);
    const OverlayResult empty = renderOverlay(in);
    QVERIFY(empty.image.isNull());
    QCOMPARE(empty.readout, QStringLiteral("25"));
    // Under 100 pixels wide the numbers use the default text size and still appear.
    in.layer = QSize(80, 60);
    QImage image = renderOverlay(in).image;
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            yellow += image.pixel(x, y) == 0xffffff00;
    QVERIFY(yellow > 0);
    // Centre near a corner: rN is negative and the numbers stand beyond the centre.
    in.layer = QSize(649, 429);
    in.offsetX = -0.49f;
    in.offsetY = -0.49f;
    image = renderOverlay(in).image;
    QCOMPARE(image.pixel(648, 428), 0u); // the rays stop short of the far corner
}

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"

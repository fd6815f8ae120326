// The zoomed view: its limits and mapping, the gauge drawn at screen size over it, and the photo
// drawn from halved copies.
#include "gauge/geometry.h"
#include "gauge/overlay.h"
#include "gauge/zoom_view.h"
#include "imaging/fit.h"
#include "imaging/photo_view.h"

#include <QtTest>

namespace {

const QSize kPanel(729, 606);
const QSize kPhoto(6000, 4000);
const ZoomFrame kFrame{fitPhotoRect(729, 606, 6000, 4000), kPanel}; // 729 x 486 at top 60
const double kMax = maxZoom(kFrame.fitted.size(), kPhoto);

} // namespace

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    void zoomKeepsThePointAndItsLimits_data() {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("notches");
        QTest::newRow("middle") << QPointF(364, 303) << 3;
        // Off the vertical middle the first notch, 607.5 pixels high, cannot keep the point.
        QTest::newRow("right") << QPointF(700, 303) << 5;
        QTest::newRow("far in, left") << QPointF(100, 303) << 12;
    }
    void zoomKeepsThePointAndItsLimits() {
        QFETCH(QPointF, at);
        QFETCH(int, notches);
        ZoomView v = fittedView(kFrame);
        const QPointF layerPoint = v.toLayer(at);
        for (int i = 0; i < notches; ++i)
            v = zoomedAbout(v, kZoomStep, at, kFrame, kMax);
        QCOMPARE(v.zoom, std::pow(kZoomStep, notches));
        QVERIFY((v.toLayer(at) - layerPoint).manhattanLength() < 1e-6);
        for (int i = 0; i < 40; ++i) // far beyond the closest view, then back out past the fitted one
            v = zoomedAbout(v, kZoomStep, at, kFrame, kMax);
        QCOMPARE(zoomPercent(v.zoom, kFrame.fitted.size(), kPhoto), 800);
        for (int i = 0; i < 60; ++i)
            v = zoomedAbout(v, 1 / kZoomStep, at, kFrame, kMax);
        QVERIFY(v == fittedView(kFrame));
    }

    void panStopsAtTheEdges() {
        const ZoomView v = zoomedAbout(fittedView(kFrame), 1.1, QPointF(364, 303), kFrame, kMax);
        // 801.9 x 534.6: wider than the panel, still lower than it.
        const ZoomView left = pannedBy(v, QPointF(5000, 5000), kFrame, kMax);
        QCOMPARE(left.origin, QPointF(0, (606 - 486 * 1.1) / 2));
        const ZoomView right = pannedBy(v, QPointF(-5000, 0), kFrame, kMax);
        QCOMPARE(right.origin.x(), 729 - 729 * 1.1);
        QVERIFY(pannedBy(fittedView(kFrame), QPointF(30, 30), kFrame, kMax) == fittedView(kFrame));
        QCOMPARE(visibleLayerRect(left, kFrame), QRect(0, 35, 729, 536)); // 35.7 .. 570.3
    }

    void resizeKeepsTheScaleAndTheCentre() {
        const ZoomView v = zoomedAbout(fittedView(kFrame), 4, QPointF(200, 150), kFrame, kMax);
        const ZoomFrame wider{fitPhotoRect(1029, 806, 6000, 4000), QSize(1029, 806)};
        const ZoomView after = resizedView(v, kFrame, wider, maxZoom(wider.fitted.size(), kPhoto));
        const QTransform before = photoToPanel(v, kFrame.fitted.size(), kPhoto);
        const QTransform now = photoToPanel(after, wider.fitted.size(), kPhoto);
        QCOMPARE(now.m11(), before.m11());
        const QPointF photoPoint = before.inverted().map(QPointF(364.5, 303));
        QVERIFY((now.map(photoPoint) - QPointF(514.5, 403)).manhattanLength() < 1e-6);
        // Grown so far that the old scale is below the fitted one: fitted.
        const ZoomFrame huge{fitPhotoRect(4000, 3000, 6000, 4000), QSize(4000, 3000)};
        QVERIFY(resizedView(v, kFrame, huge, kMax) == fittedView(huge));
    }

    // At 8 screen pixels per photo pixel the centre mark crosses on the pixel the composite centres
    // on, lines keep their screen width, and the pointer grabs what is drawn under it.
    void gaugeAtScreenSize() {
        GaugeInputs in;
        in.layer = kFrame.fitted.size();
        in.offsetX = 0.1f;
        in.offsetY = -0.05f;
        in.centreSize = 2; // a hit radius of 4.86 layer pixels, 320 on the screen
        in.guideShown = true;
        in.guide = 45;
        const QPointF photoCentre(std::round(6000 * 0.1f + 3000) + 0.5,
                                  std::round(4000 * -0.05f + 2000) + 0.5);
        ZoomView v{kMax, QPointF()};
        v.origin = QPointF(364.5, 303.5) - photoToPanel(v, in.layer, kPhoto).map(photoCentre);
        const OverlayView ov{v, visibleLayerRect(v, kFrame), kPhoto};
        QCOMPARE(ov.visible, QRect(QPoint(), kPanel));
        const QImage image = renderOverlayView(in, ov).image.convertToFormat(QImage::Format_RGB32);
        const QRgb white = qRgb(255, 255, 255);
        const auto whiteIn = [&](const QRect& r) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += image.pixel(x, y) == white;
            return n;
        };
        // The centre mark's strokes, 2 pixels wide, cross at (364, 303); beyond it the 90-degree axis
        // ray is 2 wide, the 80-degree ray 1.
        QCOMPARE(whiteIn(QRect(564, 293, 1, 21)), 2);
        QCOMPARE(image.pixel(564, 303), white);
        QCOMPARE(whiteIn(QRect(354, 100, 21, 1)), 2);
        QCOMPARE(image.pixel(364, 100), white);
        QCOMPARE(whiteIn(QRect(354, 10, 21, 1)), 2);
        QCOMPARE(whiteIn(QRect(406, 10, 21, 1)), 1);
        // The guide line, 400 pixels out at 45 degrees, grabbed there.
        const QPointF onGuide = QPointF(364.5, 303.5) + QPointF(282, -282);
        QCOMPARE(image.pixel(646, 21), qRgb(255, 0, 0));
        const PointerGeometry p = pointerGeometryOnLayer(v.toLayer(onGuide), in.layer, kPhoto, in.offsetX,
                                                         in.offsetY, in.centreSize);
        QCOMPARE(grabTargetAt(p, GrabbableAngles{45, 25, 50, true, false}), GrabGuide);
        const PointerGeometry atCentre = pointerGeometryOnLayer(
            v.toLayer(QPointF(364.5, 303.5)), in.layer, kPhoto, in.offsetX, in.offsetY, in.centreSize);
        QVERIFY(atCentre.distance < 0.01);
    }

    // Reduced, a fine checkerboard is grey (averaged by the halved copies, not skipped pixels);
    // enlarged past two screen pixels per photo pixel, each photo pixel is a sharp block.
    void photoFromHalvedCopies() {
        QImage checker(256, 256, QImage::Format_RGB32);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        imaging::ScaledCopies copies;
        copies.reset(checker);
        QImage reduced(50, 50, QImage::Format_RGB32);
        imaging::drawPhotoView(reduced, copies, QTransform::fromScale(0.15, 0.15));
        for (const QPoint& p : {QPoint(10, 10), QPoint(25, 31), QPoint(37, 12)})
            QVERIFY2(std::abs(qGray(reduced.pixel(p)) - 128) < 12,
                     qPrintable(QString::number(qGray(reduced.pixel(p)))));
        QImage enlarged(40, 40, QImage::Format_RGB32);
        imaging::drawPhotoView(enlarged, copies,
                               QTransform(5, 0, 0, 5, -50, -50)); // photo (10, 10) at (0, 0)
        for (int x = 0; x < 40; ++x)
            QCOMPARE(enlarged.pixel(x, 7), checker.pixel(10 + x / 5, 11));
    }
};

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"

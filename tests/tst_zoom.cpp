// The zoomed view: its limits and mapping, the gauge drawn at screen size over it, and the photo
// drawn from halved copies.
#include "gauge/geometry.h"
#include "gauge/overlay.h"
#include "gauge/zoom_view.h"
#include "imaging/fit.h"
#include "imaging/photo_view.h"
#include "testsupport.h"
#include "unitMain.h"

#include <QLabel>
#include <QPainter>
#include <QWheelEvent>

#include <QtTest>

namespace {

const QSize kPanel(729, 606);
const QSize kPhoto(6000, 4000);
const ZoomFrame kFrame{fitPhotoRect(729, 606, 6000, 4000), kPanel}; // 729 x 486 at top 60
const double kMax = maxZoom(kFrame.fitted.size(), kPhoto);

// The centre of the pixels of one colour that the window's photo layer shows, in panel pixels.
QPointF centreOfColour(QLabel* photoLayer, QRgb colour) {
    const QImage shown = photoLayer->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QPointF sum;
    int n = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) == colour) {
                sum += QPointF(x + 0.5, y + 0.5);
                ++n;
            }
    return n == 0 ? QPointF(-1e6, -1e6) : sum / n + QPointF(photoLayer->pos());
}

} // namespace

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    // Every notch in keeps the point under the pointer, wherever it is on a letterboxed (landscape) or
    // pillarboxed (portrait) photo; and every notch out at the same point, back to the fitted view.
    void zoomKeepsThePointAndItsLimits_data() {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<int>("notches");
        QTest::newRow("landscape, middle") << kPhoto << QPointF(364, 303) << 3;
        QTest::newRow("landscape, right") << kPhoto << QPointF(700, 303) << 5;
        QTest::newRow("landscape, upper left") << kPhoto << QPointF(170, 76) << 3;
        QTest::newRow("landscape, low, far in") << kPhoto << QPointF(100, 540) << 12;
        QTest::newRow("portrait, left") << QSize(2000, 3000) << QPointF(180, 206) << 4;
        QTest::newRow("portrait, lower right") << QSize(2000, 3000) << QPointF(560, 590) << 9;
    }
    void zoomKeepsThePointAndItsLimits() {
        QFETCH(QSize, photo);
        QFETCH(QPointF, at);
        QFETCH(int, notches);
        const ZoomFrame frame{fitPhotoRect(729, 606, photo.width(), photo.height()), kPanel};
        const double most = maxZoom(frame.fitted.size(), photo);
        ZoomView v = fittedView(frame);
        const QPointF layerPoint = v.toLayer(at);
        for (int i = 0; i < notches; ++i) {
            v = zoomedAbout(v, kZoomStep, at, frame, most);
            QVERIFY2((v.toLayer(at) - layerPoint).manhattanLength() < 1e-6, qPrintable(QString::number(i)));
        }
        QCOMPARE(v.zoom, std::pow(kZoomStep, notches));
        for (int i = notches - 1; i >= 0; --i) {
            v = zoomedAbout(v, 1 / kZoomStep, at, frame, most);
            QVERIFY((v.toLayer(at) - layerPoint).manhattanLength() < 1e-6);
        }
        QVERIFY(v == fittedView(frame));
        for (int i = 0; i < 40; ++i) // far beyond the closest view, then back out past the fitted one
            v = zoomedAbout(v, kZoomStep, at, frame, most);
        QCOMPARE(zoomPercent(v.zoom, frame.fitted.size(), photo), 800);
        for (int i = 0; i < 60; ++i)
            v = zoomedAbout(v, 1 / kZoomStep, at, frame, most);
        QVERIFY(v == fittedView(frame));
    }

    // The real window, photos read from files: a red disc under the pointer stays under it, within a
    // pixel, notch by notch in and out; a blue one at the panel's middle through Ctrl++ and Ctrl+-.
    void windowKeepsThePointUnderThePointer_data() {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QRect>("fitted"); // the photo layer at the fitted view: its bands are the rest
        QTest::addColumn<QPoint>("pointer");
        QTest::newRow("landscape, bands above and below")
            << QSize(3000, 2000) << QRect(0, 60, 729, 486) << QPoint(170, 206);
        QTest::newRow("portrait, bands left and right")
            << QSize(2000, 3000) << QRect(162, 0, 404, 606) << QPoint(230, 420);
    }
    void windowKeepsThePointUnderThePointer() {
        QFETCH(QSize, photo);
        QFETCH(QRect, fitted);
        QFETCH(QPoint, pointer);
        const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
        const double scale = double(fitted.width()) / photo.width();
        QImage image(photo, QImage::Format_RGB32);
        image.fill(qRgb(128, 128, 128));
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(red));
        painter.drawEllipse(QPointF(pointer - fitted.topLeft()) / scale, 40, 40);
        painter.setBrush(QColor(blue));
        const QPointF middle(729 / 2.0, 606 / 2.0);
        painter.drawEllipse((middle - fitted.topLeft()) / scale, 40, 40);
        painter.end();
        const QString path = tempDir() + QStringLiteral("/photo.png");
        QVERIFY(image.save(path));

        RecordingSink sink;
        TFormMain w;
        w.setMessageSink(&sink);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.openPhotoFile(path));
        auto* photoLayer = requireChild<QLabel>(&w, "imgScreen");
        auto* overlay = requireChild<QLabel>(&w, "imgLineas");
        QCOMPARE(photoLayer->geometry(), fitted);
        const auto near = [&](QRgb colour, const QPointF& where, const char* what) {
            const QPointF at = centreOfColour(photoLayer, colour);
            QVERIFY2((at - where).manhattanLength() <= 1.0, qPrintable(QStringLiteral("%1 at %2, %3, zoom %4")
                                                                           .arg(QLatin1String(what))
                                                                           .arg(at.x())
                                                                           .arg(at.y())
                                                                           .arg(w.zoomView().zoom)));
        };
        const auto notch = [&](int delta) {
            const QPointF local = QPointF(pointer) - QPointF(overlay->pos());
            QWheelEvent wheel(local, overlay->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(overlay, &wheel);
        };
        near(red, pointer, "fitted");
        for (int i = 0; i < 6; ++i) {
            notch(120);
            near(red, pointer, "in");
        }
        for (int i = 0; i < 6; ++i) {
            notch(-120);
            near(red, pointer, "out");
        }
        QVERIFY(w.zoomView().fitted());
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
            near(blue, middle, "Ctrl++");
        }
        QCOMPARE(w.zoomView().zoom, std::pow(kZoomStep, 4));
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
            near(blue, middle, "Ctrl+-");
        }
        QVERIFY(w.zoomView().fitted());
        QVERIFY(sink.messages.isEmpty());
    }

    void panStopsAtTheEdges() {
        const ZoomView v = zoomedAbout(fittedView(kFrame), 1.1, QPointF(364, 303), kFrame, kMax);
        // 801.9 x 534.6: wider than the panel, still lower than it; no wider a band than the fitted 60.
        const ZoomView left = pannedBy(v, QPointF(5000, 5000), kFrame, kMax);
        QCOMPARE(left.origin, QPointF(0, 60));
        QCOMPARE(pannedBy(v, QPointF(0, -5000), kFrame, kMax).origin.y(), 606 - 60 - 486 * 1.1);
        const ZoomView right = pannedBy(v, QPointF(-5000, 0), kFrame, kMax);
        QCOMPARE(right.origin.x(), 729 - 729 * 1.1);
        QVERIFY(pannedBy(fittedView(kFrame), QPointF(30, 30), kFrame, kMax) == fittedView(kFrame));
        QCOMPARE(visibleLayerRect(left, kFrame), QRect(0, 60, 729, 535)); // 60 .. 594.6
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

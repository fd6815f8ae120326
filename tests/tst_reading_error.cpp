// The reading's error model: known geometry gives known half-widths (bench/eval_reading checks their
// coverage on synthetic readings).
#include "gauge/reading_error.h"

#include <QtTest>

#include <cmath>

using namespace reading_error;

class TestReadingError : public QObject {
    Q_OBJECT
private slots:
    void halfWidthOfTheMixture_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("sigma");
        QTest::addColumn<double>("expected");
        QTest::newRow("even alone") << 1.0 << 0.0 << 0.475;
        QTest::newRow("normal alone") << 0.0 << 1.0 << 1.95996;
        QTest::newRow("nothing") << 0.0 << 0.0 << 0.0;
        // A normal error much wider than a degree swamps the step: about 1.96 times their joint spread.
        QTest::newRow("normal dominates") << 1.0 << 10.0 << 1.95996 * std::sqrt(100 + 1.0 / 12);
    }
    void halfWidthOfTheMixture() {
        QFETCH(double, width);
        QFETCH(double, sigma);
        QFETCH(double, expected);
        QVERIFY2(std::abs(halfWidth95(width, sigma) - expected) <= 0.002 * std::max(1.0, expected),
                 qPrintable(QString::number(halfWidth95(width, sigma))));
    }

    void knownGeometry_data() {
        QTest::addColumn<double>("markRadius");
        QTest::addColumn<double>("photoPerScreen");
        QTest::addColumn<double>("centreSigma");
        QTest::addColumn<double>("centre");
        QTest::addColumn<double>("sighting");
        // Half a screen pixel of 4 photo pixels at 300 photo pixels: atan(2 / 300), times 1.96.
        QTest::newRow("fitted, dragged") << 300.0 << 4.0 << 2.0 << 0.7487 << 0.7487;
        QTest::newRow("zoomed 4x, dragged") << 300.0 << 1.0 << 0.5 << 0.1872 << 0.1872;
        // A centre found by a double-click to a tenth of a pixel, the line judged in the fitted view.
        QTest::newRow("found centre") << 300.0 << 4.0 << 0.1 << 0.0374 << 0.7487;
        QTest::newRow("no distance") << 0.0 << 4.0 << 2.0 << 1.95996 * 90 << 1.95996 * 90;
    }
    void knownGeometry() {
        QFETCH(double, markRadius);
        QFETCH(double, photoPerScreen);
        QFETCH(double, centreSigma);
        QFETCH(double, centre);
        QFETCH(double, sighting);
        // One mark: the centre's offset counts in full.
        const AxisError e = axisError({1, markRadius, photoPerScreen, centreSigma, false});
        QCOMPARE(std::round(e.step * 1000), 475.0);
        QVERIFY2(std::abs(e.centre - centre) < 1e-3, qPrintable(QString::number(e.centre)));
        QVERIFY2(std::abs(e.sighting - sighting) < 1e-3, qPrintable(QString::number(e.sighting)));
        QVERIFY(e.total >= std::max({e.step, e.centre, e.sighting}));
        QVERIFY(e.total <= e.step + e.centre + e.sighting);
        // Marks either side: the centre's offset cancels and the two sightings average.
        const AxisError both = axisError({1, markRadius, photoPerScreen, centreSigma, true});
        QCOMPARE(both.centre, 0.0);
        QVERIFY(std::abs(both.sighting - sighting / std::sqrt(2.0)) < 1e-3);
    }

    // Zooming in narrows the reading down to the step's own half-degree; a carried axis adds the
    // rotation's error, which never drops below its floor.
    void zoomNarrowsAndCarryingWidens() {
        double previous = 1e9;
        for (double photoPerScreen : {8.0, 4.0, 1.0, 0.25, 0.125}) {
            const AxisReading r{1, 300, photoPerScreen,
                                centreSigma(CentrePlacement::Dragged, photoPerScreen)};
            const double total = axisError(r).total;
            QVERIFY(total < previous);
            QVERIFY(total > 0.475);
            previous = total;
            QVERIFY(carriedHalfWidth(r, 0.2) > total);
        }
        QVERIFY(previous < 0.5);
        QCOMPARE(rotationHalfWidth(0), 1.959963984540054 * kRotationFloorSigma);
        QVERIFY(rotationHalfWidth(0.3) > rotationHalfWidth(0.1));
        QCOMPARE(defaultMarkRadius(120, 1000, 800), 120.0);
        QCOMPARE(defaultMarkRadius(0, 1000, 800), 200.0);
    }
};

QTEST_APPLESS_MAIN(TestReadingError)
#include "tst_reading_error.moc"

// Known answers for the building blocks of double-click centring: the robust circle fit and the
// ellipse fit on exact points of known outlines (the circle also with outliers, as lids and lashes
// give), and the dark regions flooded about a point inside a drawn dark disc.
#include "analysis/circle_fit.h"
#include "analysis/dark_region.h"

#include <QtTest>

#include <opencv2/imgproc.hpp>

#include <cmath>

class TestOutlineParts : public QObject {
    Q_OBJECT
private slots:
    void robustCircle_data();
    void robustCircle();
    void ellipse_data();
    void ellipse();
    void darkDisc_data();
    void darkDisc();
};

void TestOutlineParts::robustCircle_data() {
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("radius");
    QTest::addColumn<int>("outlierEvery"); // every n-th point moved well off the circle; 0: none
    QTest::addColumn<double>("startOff");  // pixels the start circle lies off, in centre and radius
    QTest::newRow("exact, start on it") << QPointF(120.5, 80.25) << 40.0 << 0 << 0.0;
    QTest::newRow("exact, start off") << QPointF(300, 200) << 150.0 << 0 << 12.0;
    QTest::newRow("a fifth outliers inside") << QPointF(64, 64) << 30.0 << 5 << 3.0;
    QTest::newRow("a quarter outliers, large") << QPointF(1000, 700) << 420.0 << 4 << 20.0;
}

void TestOutlineParts::robustCircle() {
    QFETCH(QPointF, centre);
    QFETCH(double, radius);
    QFETCH(int, outlierEvery);
    QFETCH(double, startOff);
    std::vector<QPointF> points;
    for (int i = 0; i < 120; ++i) {
        const double a = 2 * M_PI * i / 120;
        // Outliers lie a fifth of the radius inside, as a lid's edge crossing the limbus does.
        const double r = outlierEvery && i % outlierEvery == 0 ? 0.8 * radius : radius;
        points.push_back(centre + r * QPointF(std::cos(a), std::sin(a)));
    }
    const Circle start{centre + QPointF(startOff, -startOff), radius + startOff};
    const RobustCircle fit = fitCircleRobust(points, start);
    QVERIFY2(
        std::hypot(fit.circle.centre.x() - centre.x(), fit.circle.centre.y() - centre.y()) < 0.01,
        qPrintable(QStringLiteral("centre %1,%2").arg(fit.circle.centre.x()).arg(fit.circle.centre.y())));
    QVERIFY2(std::abs(fit.circle.radius - radius) < 0.01, qPrintable(QString::number(fit.circle.radius)));
    for (int i = 0; i < int(points.size()); ++i)
        QCOMPARE(bool(fit.inliers[i]), !(outlierEvery && i % outlierEvery == 0));
}

void TestOutlineParts::ellipse_data() {
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("major");
    QTest::addColumn<double>("minor");
    QTest::addColumn<double>("degrees"); // of the major axis
    QTest::addColumn<double>("arc");     // degrees of the outline the points cover
    QTest::newRow("circle") << QPointF(50, 40) << 20.0 << 20.0 << 0.0 << 360.0;
    QTest::newRow("oval, tilted") << QPointF(400.5, 300.5) << 120.0 << 96.0 << 30.0 << 360.0;
    QTest::newRow("flat, upright") << QPointF(10, 900) << 300.0 << 150.0 << 90.0 << 360.0;
    QTest::newRow("oval, lower half hidden") << QPointF(200, 150) << 80.0 << 70.0 << -20.0 << 200.0;
}

void TestOutlineParts::ellipse() {
    QFETCH(QPointF, centre);
    QFETCH(double, major);
    QFETCH(double, minor);
    QFETCH(double, degrees);
    QFETCH(double, arc);
    const double phi = degrees * M_PI / 180;
    std::vector<QPointF> points;
    for (int i = 0; i < 60; ++i) {
        const double t = arc * M_PI / 180 * i / 60;
        const double x = major * std::cos(t), y = minor * std::sin(t);
        points.push_back(
            centre + QPointF(x * std::cos(phi) - y * std::sin(phi), x * std::sin(phi) + y * std::cos(phi)));
    }
    const auto e = fitEllipse(points);
    QVERIFY(e);
    QVERIFY(std::hypot(e->centre.x() - centre.x(), e->centre.y() - centre.y()) < 1e-6 * major);
    QVERIFY(std::abs(e->major - major) < 1e-6 * major);
    QVERIFY(std::abs(e->minor - minor) < 1e-6 * major);
    for (const QPointF& p : points)
        QVERIFY(e->distance(p) < 1e-6 * major);
    QVERIFY(e->distance(centre) > 0.5 * minor);
    // Too few points, or points on a line, make no ellipse.
    QVERIFY(!fitEllipse(std::vector<QPointF>(points.begin(), points.begin() + 5)));
    QVERIFY(!fitEllipse({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}));
}

void TestOutlineParts::darkDisc_data() {
    QTest::addColumn<QPointF>("centre"); // of the disc's centre pixel; pixel i covers [i, i + 1)
    QTest::addColumn<int>("radius");
    QTest::addColumn<bool>("bright"); // a bright disc on a dark ground, looked for as bright
    QTest::addColumn<QPointF>("click");
    QTest::newRow("dark disc, click at its middle") << QPointF(90, 70) << 20 << false << QPointF(90.5, 70.5);
    QTest::newRow("dark disc, click near its edge") << QPointF(120, 60) << 35 << false << QPointF(140, 75);
    QTest::newRow("bright disc") << QPointF(100, 75) << 50 << true << QPointF(110, 60);
}

void TestOutlineParts::darkDisc() {
    QFETCH(QPointF, centre);
    QFETCH(int, radius);
    QFETCH(bool, bright);
    QFETCH(QPointF, click);
    // A disc drawn sharp, then blurred as a lens blurs an edge, so that the flood rises through it.
    cv::Mat plane(150, 200, CV_8U, cv::Scalar(bright ? 30 : 170));
    cv::circle(plane, cv::Point(int(centre.x()), int(centre.y())), radius, cv::Scalar(bright ? 200 : 40),
               cv::FILLED);
    cv::GaussianBlur(plane, plane, cv::Size(0, 0), 2.0);
    const std::vector<RegionEllipse> regions = roundRegionsAround(plane, click, bright);
    QVERIFY(!regions.empty());
    // Regions at the levels through the blurred edge: all centred on the disc, innermost first, the
    // disc's own edge among them, none beyond the blur.
    const QPointF truth = centre + QPointF(0.5, 0.5);
    for (size_t i = 0; i < regions.size(); ++i) {
        const RegionEllipse& r = regions[i];
        QVERIFY2(std::hypot(r.centre.x() - truth.x(), r.centre.y() - truth.y()) < 0.5,
                 qPrintable(QStringLiteral("centre %1,%2").arg(r.centre.x()).arg(r.centre.y())));
        QVERIFY(r.minor > 0.98 * r.major && !r.touchesBorder);
        QVERIFY(i == 0 || r.area > regions[i - 1].area);
    }
    const double inner = std::sqrt(regions.front().major * regions.front().minor),
                 outer = std::sqrt(regions.back().major * regions.back().minor);
    QVERIFY2(inner <= radius && outer >= radius && inner > radius - 6 && outer < radius + 6,
             qPrintable(QStringLiteral("radii %1 to %2").arg(inner).arg(outer)));
    // A click off the disc finds no region about the disc.
    for (const RegionEllipse& off : roundRegionsAround(plane, QPointF(3.5, 3.5), bright))
        QVERIFY(std::hypot(off.centre.x() - truth.x(), off.centre.y() - truth.y()) > 0.5 * radius);
}

QTEST_APPLESS_MAIN(TestOutlineParts)
#include "tst_outline_parts.moc"

// Gauge geometry, pointer rule and spin field rule: the exact numbers the screen and the
// composite share.
#include "gauge/geometry.h"
#include "gauge/rounding.h"
#include "gauge/spin_field.h"

#include <QtTest>

#include <map>

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void workedLayer();
    void centreKeepsSinglePrecision();
    void templateNumbering_data();
    void templateNumbering();
    void templateRayEnds();
    void pointerAngles();
    void grabRule_data();
    void grabRule();
    void dragValues();
    void spinFieldRule();
};

void TestGeometry::workedLayer() {
    const QPoint c = gaugeCentre(649, 429, 0.0f, 0.0f);
    QCOMPARE(c, QPoint(324, 214)); // 324.5 and 214.5 both go to the even neighbour
    const GaugeRadii r = gaugeRadii(649, 429, 10, c);
    QCOMPARE(r.centre, 21);
    QCOMPARE(r.reach, 649);
    QCOMPARE(r.number, 194);
    QCOMPARE(labelPointSize(649), 6);
    QCOMPARE(pointerGeometry(0, 0, 649, 429, 0.0f, 0.0f, 10).hitRadius, 21.45f);
    QCOMPARE(labelPointSize(99), 0);
    // Near an edge the number radius reaches zero or below; it is used as it is.
    QCOMPARE(gaugeRadii(649, 429, 10, QPoint(20, 214)).number, 0);
    QCOMPARE(gaugeRadii(649, 429, 10, QPoint(640, 214)).number, -11);
}

void TestGeometry::centreKeepsSinglePrecision() {
    // A 50-pixel drag on a 649-pixel layer: 50/649 in single precision lands just past the tie;
    // the same fraction in double precision would sit on it and round down to 374.
    QCOMPARE(gaugeCentre(649, 429, float(50.0 / 649), 0.0f).x(), 375);
    QCOMPARE(roundHalfEven(649 * (50.0 / 649) + 324.5), 374);
    QCOMPARE(gaugeCentre(649, 429, float(40.0 / 649), 0.0f).x(), 364);
    QCOMPARE(gaugeCentre(649, 429, 0.0f, -0.25f).y(), 107);       // 107.25
    QCOMPARE(gaugeCentre(649, 429, 0.75f, 0.0f).x(), 811);        // off the layer is allowed
    QCOMPARE(pointAt(QPoint(100, 100), 90, 10), QPoint(100, 90)); // counter-clockwise, y down
    QCOMPARE(pointAt(QPoint(100, 100), 270, 10), QPoint(100, 110));
}

void TestGeometry::templateNumbering_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("rays");
    QTest::newRow("10") << 10 << 36;
    QTest::newRow("5") << 5 << 72;
}

// Every ray is numbered by axis: its own angle up to 180, 180 less below; numbers only every 10.
void TestGeometry::templateNumbering() {
    QFETCH(int, step);
    QFETCH(int, rays);
    const QPoint c(300, 200);
    const GaugeRadii radii{20, 600, 150};
    const std::vector<TemplateRay> all = templateRays(c, radii, step);
    QCOMPARE(int(all.size()), rays);
    std::map<int, QString> byAngle;
    int axisRays = 0;
    for (const TemplateRay& ray : all) {
        const QPoint d = ray.outer - c;
        int angle = qRound(std::atan2(-d.y(), d.x()) * 180 / M_PI);
        angle = (angle + 360) % 360;
        QVERIFY2(!byAngle.count(angle), "each direction once");
        byAngle[angle] = ray.text;
        axisRays += ray.penWidth == 2;
        QCOMPARE(ray.penWidth, angle % 90 == 0 ? 2 : 1);
    }
    QCOMPARE(axisRays, 4);
    for (const auto& [angle, text] : byAngle) {
        QCOMPARE(angle % step, 0);
        const QString expected = angle % 10 ? QString()
                                            : QString::number(angle == 180   ? 180
                                                              : angle <= 180 ? angle
                                                                             : angle - 180);
        QCOMPARE(text, expected);
    }
    QCOMPARE(byAngle[0], QStringLiteral("0"));
    QCOMPARE(byAngle[270], QStringLiteral("90"));
    QCOMPARE(byAngle[350], QStringLiteral("170"));
}

void TestGeometry::templateRayEnds() {
    const QPoint c(324, 214);
    const GaugeRadii radii = gaugeRadii(649, 429, 10, c);
    const std::vector<TemplateRay> rays = templateRays(c, radii, 10);
    // Pass 0 draws 0, 180, 90 and 270 degrees in this order.
    QCOMPARE(rays[0].inner, QPoint(345, 214));
    QCOMPARE(rays[0].outer, QPoint(973, 214));
    QCOMPARE(rays[0].label, QPoint(518, 214));
    QCOMPARE(rays[3].label, QPoint(324, 214 + 194));
    // Pass 3 (30 degrees): its third ray is at 120 degrees.
    QCOMPARE(rays[14].outer, pointAt(c, 120, 649));
    QCOMPARE(rays[14].text, QStringLiteral("120"));
}

void TestGeometry::pointerAngles() {
    // 400 x 300 layer: the unrounded centre is (200, 150).
    PointerGeometry p = pointerGeometry(287, 200, 400, 300, 0.0f, 0.0f, 10);
    QCOMPARE(p.dx, 87.0f);
    QCOMPARE(p.dy, -50.0f);
    QVERIFY(std::abs(p.angle + 29.886f) < 0.001f);
    QVERIFY(std::abs(p.angle360 - 330.114f) < 0.001f);
    QVERIFY(std::abs(p.angle180 - 150.114f) < 0.001f);
    QCOMPARE(p.hitRadius, 15.0f);
    // The pointer is measured from the unrounded centre: 649 / 2 = 324.5.
    p = pointerGeometry(324, 214, 649, 429, 0.0f, 0.0f, 10);
    QCOMPARE(p.dx, -0.5f);
    QCOMPARE(p.dy, 0.5f);
    QCOMPARE(p.angle180, 135.0f);
    QCOMPARE(pointerGeometry(250, 150, 400, 300, 0.25f, 0.0f, 10).dx, -50.0f);
}

void TestGeometry::grabRule_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("guide");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("guideShown");
    QTest::addColumn<bool>("sectorShown");
    QTest::addColumn<int>("target");
    // Layer 400 x 300, centre (200, 150), hit radius 15; (400, 149) is at 0.286 degrees,
    // (400, 151) at -0.286 (a360 359.71, a180 179.71), (0, 151) at -179.71 (a180 0.29).
    QTest::newRow("inside the hit radius on a ray") << 214 << 150 << 0 << 0 << 0 << true << true << 1;
    QTest::newRow("just outside the hit radius") << 215 << 150 << 0 << 0 << 0 << true << true << 3;
    QTest::newRow("start before end and guide") << 400 << 149 << 0 << 0 << 0 << true << true << 3;
    QTest::newRow("end before guide") << 400 << 149 << 0 << 90 << 0 << true << true << 4;
    QTest::newRow("guide") << 400 << 149 << 0 << 90 << 90 << true << true << 2;
    QTest::newRow("sector hidden") << 400 << 149 << 90 << 0 << 0 << false << false << 0;
    QTest::newRow("guide hidden") << 400 << 149 << 0 << 90 << 90 << false << true << 0;
    QTest::newRow("ray at 0 from above") << 400 << 149 << 90 << 0 << 90 << false << true << 3;
    QTest::newRow("ray at 0 not from below") << 400 << 151 << 90 << 0 << 90 << false << true << 0;
    QTest::newRow("ray at 360 from below") << 400 << 151 << 90 << 360 << 90 << false << true << 3;
    QTest::newRow("ray at 360 not from above") << 400 << 149 << 90 << 360 << 90 << false << true << 0;
    QTest::newRow("guide at 0 above right half") << 400 << 149 << 0 << 90 << 90 << true << false << 2;
    QTest::newRow("guide at 0 not below right half") << 400 << 151 << 0 << 90 << 90 << true << false << 0;
    QTest::newRow("guide at 0 below left half") << 0 << 151 << 0 << 90 << 90 << true << false << 2;
    QTest::newRow("guide at 0 not above left half") << 0 << 149 << 0 << 90 << 90 << true << false << 0;
    QTest::newRow("half a degree is outside") << 300 << 149 << 0 << 90 << 90 << true << true << 0;
}

void TestGeometry::grabRule() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, guide);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, guideShown);
    QFETCH(bool, sectorShown);
    QFETCH(int, target);
    const PointerGeometry p = pointerGeometry(x, y, 400, 300, 0.0f, 0.0f, 10);
    QCOMPARE(int(grabTargetAt(p, GrabbableAngles{guide, start, end, guideShown, sectorShown})), target);
}

void TestGeometry::dragValues() {
    // The guide line dragged below the centre takes the inclination of the opposite side.
    const PointerGeometry below = pointerGeometry(287, 200, 400, 300, 0.0f, 0.0f, 10);
    QCOMPARE(dragAngleValue(GrabGuide, below), 150);
    QCOMPARE(dragAngleValue(GrabSectorEnd, below), 330);
    QCOMPARE(dragAngleValue(GrabCentre, below), -1);
    // Just below 0 degrees a sector ray reads 360.
    const PointerGeometry justBelow = pointerGeometry(400, 151, 400, 300, 0.0f, 0.0f, 10);
    QCOMPARE(dragAngleValue(GrabSectorStart, justBelow), 360);
    QCOMPARE(dragAngleValue(GrabGuide, justBelow), 180);
}

void TestGeometry::spinFieldRule() {
    QCOMPARE(spinFieldValue(QStringLiteral("42"), 0), 42);
    QCOMPARE(spinFieldValue(QStringLiteral("400"), 0), 400); // used as typed until focus leaves
    QCOMPARE(spinFieldValue(QStringLiteral("-"), 2), 2);
    QCOMPARE(spinFieldValue(QStringLiteral("1e2"), 2), 2);
    QCOMPARE(pullIntoRange(400, 0, 360), 360);
    QCOMPARE(pullIntoRange(-5, 0, 180), 0);
    QCOMPARE(pullIntoRange(-7, 0, 0), -7); // a field without range
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"

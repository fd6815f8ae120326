// Gauge geometry, pointer rule and spin field rule: the exact numbers the screen and the
// composite share.
#include "gauge/geometry.h"
#include "gauge/spin_field.h"

#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(GrabbableAngles)

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void workedLayer();
    void templateNumbering_data();
    void templateNumbering();
    void pointerAndDragValues();
    void grabRule_data();
    void grabRule();
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
    QCOMPARE(labelPointSize(99), 0);
    // The first ray drawn, at 0 degrees, runs from rC to rL with its number at rN.
    const TemplateRay first = templateRays(c, r, 10).front();
    QCOMPARE(first.inner, QPoint(345, 214));
    QCOMPARE(first.outer, QPoint(973, 214));
    QCOMPARE(first.label, QPoint(518, 214));
    // Near an edge the number radius reaches zero or below; it is used as it is.
    QCOMPARE(gaugeRadii(649, 429, 10, QPoint(20, 214)).number, 0);
    QCOMPARE(gaugeRadii(649, 429, 10, QPoint(640, 214)).number, -11);
    // A 50-pixel drag: 50/649 in single precision lands just past the tie; in double precision it
    // would sit on it and round down to 374.
    QCOMPARE(gaugeCentre(649, 429, float(50.0 / 649), 0.0f), QPoint(375, 214));
    QCOMPARE(gaugeCentre(649, 429, float(40.0 / 649), 0.0f), QPoint(364, 214));
    QCOMPARE(gaugeCentre(649, 429, 0.0f, -0.25f), QPoint(324, 107)); // 107.25
    QCOMPARE(gaugeCentre(649, 429, 0.75f, 0.0f), QPoint(811, 214));  // off the layer is allowed
}

void TestGeometry::templateNumbering_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("angle");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 10 << 0 << "0";
    QTest::newRow("120") << 10 << 120 << "120";
    QTest::newRow("180") << 10 << 180 << "180";
    QTest::newRow("270 reads 90") << 10 << 270 << "90";
    QTest::newRow("350 reads 170") << 10 << 350 << "170";
    QTest::newRow("step 5: 5 unnumbered") << 5 << 5 << "";
    QTest::newRow("step 5: 190 reads 10") << 5 << 190 << "10";
}

void TestGeometry::templateNumbering() {
    QFETCH(int, step);
    QFETCH(int, angle);
    QFETCH(QString, text);
    const QPoint c(300, 200);
    const std::vector<TemplateRay> rays = templateRays(c, GaugeRadii{20, 600, 150}, step);
    const auto rayAt = [&](int a) {
        return std::find_if(rays.begin(), rays.end(),
                            [&](const TemplateRay& ray) { return ray.outer == pointAt(c, a, 600); });
    };
    // One ray in each direction, every step degrees.
    QCOMPARE(int(rays.size()), 360 / step);
    for (int a = 0; a < 360; a += step)
        QVERIFY(rayAt(a) != rays.end());
    QCOMPARE(rayAt(angle)->text, text);
}

void TestGeometry::pointerAndDragValues() {
    // Measured from the unrounded centre (324.5, 214.5) plus the offset; the hit radius is not truncated.
    PointerGeometry p = pointerGeometry(324, 214, 649, 429, 0.0f, 0.0f, 10);
    QCOMPARE(p.angle180, 135.0f);
    QCOMPARE(p.hitRadius, 21.45f);
    QCOMPARE(pointerGeometry(250, 150, 400, 300, 0.25f, 0.0f, 10).dx, -50.0f);
    // The guide line dragged below the centre takes the inclination of the opposite side.
    QCOMPARE(dragAngleValue(GrabGuide, pointerGeometry(287, 200, 400, 300, 0.0f, 0.0f, 10)), 150);
    // Just below 0 degrees (-0.29) a sector ray reads 360 and the guide line 180.
    p = pointerGeometry(400, 151, 400, 300, 0.0f, 0.0f, 10);
    QCOMPARE(dragAngleValue(GrabSectorStart, p), 360);
    QCOMPARE(dragAngleValue(GrabGuide, p), 180);
    QCOMPARE(dragAngleValue(GrabCentre, p), -1);
}

void TestGeometry::grabRule_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<GrabbableAngles>("angles"); // guide, start, end, guide shown, sector shown
    QTest::addColumn<int>("target");             // 0 none, 1 centre, 2 guide, 3 sector start, 4 sector end
    // Layer 400 x 300, centre (200, 150), hit radius 15; (400, 149) is at 0.286 degrees,
    // (400, 151) at -0.286 (a360 359.71, a180 179.71), (0, 151) at -179.71 (a180 0.29).
    using Angles = GrabbableAngles;
    const QPoint above(400, 149), below(400, 151), leftBelow(0, 151), leftAbove(0, 149);
    QTest::newRow("inside the hit radius") << QPoint(214, 150) << Angles{0, 0, 0, true, true} << 1;
    QTest::newRow("outside the hit radius") << QPoint(215, 150) << Angles{0, 0, 0, true, true} << 3;
    QTest::newRow("start before end and guide") << above << Angles{0, 0, 0, true, true} << 3;
    QTest::newRow("end before guide") << above << Angles{0, 90, 0, true, true} << 4;
    QTest::newRow("guide") << above << Angles{0, 90, 90, true, true} << 2;
    QTest::newRow("sector hidden") << above << Angles{90, 0, 0, false, false} << 0;
    QTest::newRow("guide hidden") << above << Angles{0, 90, 90, false, true} << 0;
    QTest::newRow("ray at 0 from above") << above << Angles{90, 0, 90, false, true} << 3;
    QTest::newRow("ray at 0 not from below") << below << Angles{90, 0, 90, false, true} << 0;
    QTest::newRow("ray at 360 from below") << below << Angles{90, 360, 90, false, true} << 3;
    QTest::newRow("ray at 360 not from above") << above << Angles{90, 360, 90, false, true} << 0;
    QTest::newRow("guide at 0 above right") << above << Angles{0, 90, 90, true, false} << 2;
    QTest::newRow("guide at 0 not below right") << below << Angles{0, 90, 90, true, false} << 0;
    QTest::newRow("guide at 0 below left") << leftBelow << Angles{0, 90, 90, true, false} << 2;
    QTest::newRow("guide at 0 not above left") << leftAbove << Angles{0, 90, 90, true, false} << 0;
    QTest::newRow("half a degree is outside") << QPoint(300, 149) << Angles{0, 90, 90, true, true} << 0;
}

void TestGeometry::grabRule() {
    QFETCH(QPoint, at);
    QFETCH(GrabbableAngles, angles);
    QFETCH(int, target);
    QCOMPARE(int(grabTargetAt(pointerGeometry(at.x(), at.y(), 400, 300, 0.0f, 0.0f, 10), angles)), target);
}

// Typed 400 and pulled into 0..360 are driven through the window; these are the other cases.
void TestGeometry::spinFieldRule() {
    QCOMPARE(spinFieldValue(QStringLiteral("-"), 2), 2); // no integer: the fallback
    QCOMPARE(spinFieldValue(QStringLiteral("1e2"), 2), 2);
    QCOMPARE(pullIntoRange(-5, 0, 180), 0);
    QCOMPARE(pullIntoRange(-7, 0, 0), -7); // a field without range
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"

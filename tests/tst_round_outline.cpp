// The search for the round outline around a clicked point, on synthetic eyes whose true centres
// are known: every click inside the pupil must give the pupil's centre, every click on the visible
// iris the limbus's centre, each within 1 % of that outline's radius; photos with nothing round
// must give nothing.
#include "analysis/ray_edges.h"
#include "analysis/round_outline.h"
#include "synthetic_eye.h"

#include <QPainter>
#include <QtTest>

#include <cmath>
#include <random>

Q_DECLARE_METATYPE(EyeSpec)

class TestRoundOutline : public QObject {
    Q_OBJECT
private slots:
    void eyes_data();
    void eyes();
    void fundus();
    void darkIrisWithoutPupil();
    void limbusArc_data();
    void limbusArc();
    void nothingRound_data();
    void nothingRound();
    void offTheEye_data();
    void offTheEye();
    void edgesOfAThrownCircle();
};

namespace {

EyeSpec eye(QSize size, QPointF centreShare, double radiusShare) {
    EyeSpec s;
    s.size = size;
    s.limbusCentre = QPointF(centreShare.x() * size.width(), centreShare.y() * size.height());
    s.limbusRadius = radiusShare * std::min(size.width(), size.height());
    return s;
}

double worstShare = 0; // the largest error seen, in radii, for the log

// Checks one click: the centre found lies within 1 % of the radius of the expected one.
void expectCentre(const QImage& photo, const QPointF& click, const QPointF& centre, double radius,
                  const char* what) {
    const auto found = findRoundOutline(photo, click);
    QVERIFY2(found, qPrintable(QStringLiteral("%1: nothing found for a click at %2,%3")
                                   .arg(what)
                                   .arg(click.x())
                                   .arg(click.y())));
    const double error = std::hypot(found->centre.x() - centre.x(), found->centre.y() - centre.y());
    worstShare = std::max(worstShare, error / radius);
    QVERIFY2(error <= 0.01 * radius,
             qPrintable(QStringLiteral("%1: click %2,%3 found %4,%5 (r %6), true %7,%8 (r %9)")
                            .arg(what)
                            .arg(click.x())
                            .arg(click.y())
                            .arg(found->centre.x())
                            .arg(found->centre.y())
                            .arg(found->radius)
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(radius)));
}

} // namespace

void TestRoundOutline::eyes_data() {
    QTest::addColumn<EyeSpec>("spec");
    const QSize mp1(1224, 816), mp6(3000, 2000), mp24(6000, 4000);
    EyeSpec s = eye(mp1, {0.5, 0.5}, 0.3);
    QTest::newRow("1 MP, centred, round, no lid") << (s.lidCover = 0, s);
    s = eye(mp1, {0.3, 0.6}, 0.2);
    s.lidCover = 0.25, s.roundness = 0.93, s.tiltDegrees = 10, s.iris = QColor(70, 110, 150), s.seed = 2;
    QTest::newRow("1 MP, blue iris, quarter under the lid, oval") << s;
    s = eye(mp1, {0.75, 0.4}, 0.15);
    s.pupilRatio = 0.25, s.pupilShift = {-0.06, 0.03}, s.reflection = {0.1, -0.22}, s.seed = 3;
    QTest::newRow("1 MP, small eye near the side, reflection on the pupil's edge") << s;
    s = eye(QSize(816, 1224), {0.5, 0.35}, 0.35);
    s.pupilRatio = 0.5, s.roundness = 0.95, s.tiltDegrees = 80, s.jpegQuality = 60, s.seed = 4;
    QTest::newRow("1 MP portrait, wide pupil, strong compression") << s;
    s = eye(mp1, {0.45, 0.5}, 0.25);
    s.iris = QColor(55, 38, 28), s.lidCover = 0.1, s.seed = 8;
    QTest::newRow("1 MP, dark brown iris: a faint pupil edge") << s;
    s = eye(mp6, {0.45, 0.55}, 0.28);
    s.lidCover = 0.15, s.roundness = 0.94, s.iris = QColor(90, 100, 60), s.blur = 1.5, s.seed = 5;
    QTest::newRow("6 MP, green iris, more blur") << s;
    // What real photos show: reflections on the pupil's border, eyes looking 25 degrees aside.
    s = eye(mp1, {0.5, 0.5}, 0.3);
    s.pupilRatio = 0.3, s.reflection = {0.33, 0.05}, s.seed = 9;
    QTest::newRow("1 MP, reflection just beside the pupil") << s;
    s = eye(mp1, {0.5, 0.5}, 0.3);
    s.roundness = 0.9, s.tiltDegrees = 0, s.lidCover = 0.15, s.seed = 11;
    QTest::newRow("1 MP, looking aside: oval outlines") << s;
    s = eye(mp24, {0.55, 0.5}, 0.3);
    s.lidCover = 0.25, s.roundness = 0.95, s.tiltDegrees = -5, s.seed = 6;
    QTest::newRow("24 MP, quarter under the lid") << s;
}

void TestRoundOutline::eyes() {
    QFETCH(EyeSpec, spec);
    const SyntheticEye e = makeSyntheticEye(spec);
    std::mt19937 rng(spec.seed);
    std::uniform_real_distribution<double> u(0, 1);
    const auto visible = [&](const QPointF& p) {
        const QPointF toLid = p - e.lidCircleCentre, toGlint = p - e.reflectionCentre;
        return std::hypot(toLid.x(), toLid.y()) < e.lidCircleRadius - 0.2 * e.limbusRadius &&
               std::hypot(toGlint.x(), toGlint.y()) > 2 * e.reflectionRadius;
    };
    int pupilClicks = 0, irisClicks = 0;
    for (int i = 0; i < 8; ++i) {
        const double a = 2 * M_PI * (i + u(rng)) / 8;
        const QPointF dir(std::cos(a), std::sin(a));
        const QPointF inPupil = e.pupilCentre + dir * e.pupilRadius * (i == 0 ? 0.0 : 0.8 * u(rng));
        if (visible(inPupil)) {
            expectCentre(e.photo, inPupil, e.pupilCentre, e.pupilRadius, "pupil");
            ++pupilClicks;
        }
        const double gap = e.limbusRadius - e.pupilRadius;
        const QPointF onIris = e.limbusCentre + dir * (e.pupilRadius + gap * (0.15 + 0.7 * u(rng)));
        if (visible(onIris)) {
            expectCentre(e.photo, onIris, e.limbusCentre, e.limbusRadius, "limbus");
            ++irisClicks;
        }
    }
    QVERIFY(pupilClicks >= 5 && irisClicks >= 4);
    qInfo("worst error so far: %.3f %% of the radius", 100 * worstShare);
}

// A click anywhere on a fundus photo's field, beside the optic disc, finds the field's centre,
// also when the field runs off the photo at top and bottom.
void TestRoundOutline::fundus() {
    const QImage photo = makeSyntheticFundus(QSize(1600, 1200), QPointF(810.5, 597.25), 640, 7);
    for (const QPointF& click :
         {QPointF(800, 600), QPointF(400, 500), QPointF(900, 1000), QPointF(1200, 300)})
        expectCentre(photo, click, QPointF(810.5, 597.25), 640, "fundus field");
    // A field cut off by the frame on all four sides, black only in the corners, and one cut off well
    // into it at top and bottom, black only at the sides, each with the camera's tab on its edge:
    // centre and radius both.
    const struct {
        QSize size;
        double radius;
    } cut[] = {{QSize(1411, 1411), 712}, {QSize(1600, 1000), 725}};
    for (const auto& [size, radius] : cut) {
        const QPointF centre(size.width() / 2.0, size.height() / 2.0);
        const QImage field = makeSyntheticFundus(size, centre, radius, 8, true);
        for (const QPointF& offset : {QPointF(0, 0), QPointF(-300, -200), QPointF(250, 300)}) {
            expectCentre(field, centre + offset, centre, radius, "field cut off by the frame");
            const auto found = findRoundOutline(field, centre + offset);
            QVERIFY(found && std::abs(found->radius - radius) < 0.01 * radius);
        }
    }
}

// A dark iris whose pupil cannot be told from it: a click on the iris finds the limbus; a click in
// the pupil finds nothing, and says it lies in a pupil not told from the iris.
void TestRoundOutline::darkIrisWithoutPupil() {
    EyeSpec s = eye(QSize(1224, 816), {0.5, 0.5}, 0.3);
    s.iris = s.pupil = QColor(62, 40, 28), s.lidCover = 0.15, s.seed = 21;
    const SyntheticEye e = makeSyntheticEye(s);
    for (double side : {-1.0, 1.0})
        expectCentre(e.photo, e.limbusCentre + QPointF(side * 0.65 * e.limbusRadius, 0), e.limbusCentre,
                     e.limbusRadius, "limbus of a dark iris");
    for (const QPointF& click : {e.pupilCentre, e.pupilCentre + QPointF(0, 0.5 * e.pupilRadius)}) {
        const OutlineSearch search = searchRoundOutline(e.photo, click);
        QVERIFY(!search.outline);
        QVERIFY2(inUnseenPupil(search.refusedBy), outlineCheckName(search.refusedBy));
    }
}

// A limbus of which only an arc shows, its upper part hidden by the lid or beyond the photo's top
// edge, is found from the sides of the eye.
void TestRoundOutline::limbusArc_data() {
    QTest::addColumn<EyeSpec>("spec");
    EyeSpec s = eye(QSize(1224, 816), {0.5, 0.55}, 0.3);
    s.lidCover = 0.4, s.seed = 31;
    QTest::newRow("upper part under the lid") << s;
    s = eye(QSize(1224, 816), {0.5, 0.12}, 0.35);
    s.lidCover = 0, s.seed = 32;
    QTest::newRow("upper part beyond the photo") << s;
}

void TestRoundOutline::limbusArc() {
    QFETCH(EyeSpec, spec);
    const SyntheticEye e = makeSyntheticEye(spec);
    for (double side : {-1.0, 1.0}) {
        const QPointF click = e.limbusCentre + QPointF(side * 0.7 * e.limbusRadius, 0.1 * e.limbusRadius);
        const auto found = findRoundOutline(e.photo, click);
        QVERIFY(found);
        QVERIFY2(std::hypot(found->centre.x() - e.limbusCentre.x(), found->centre.y() - e.limbusCentre.y()) <
                     4,
                 qPrintable(QStringLiteral("%1,%2").arg(found->centre.x()).arg(found->centre.y())));
    }
}

void TestRoundOutline::nothingRound_data() {
    QTest::addColumn<QImage>("photo");
    QImage plain(1200, 800, QImage::Format_RGB32);
    plain.fill(QColor(120, 90, 80));
    QTest::newRow("plain colour") << plain;
    QImage noise(1200, 800, QImage::Format_RGB32);
    std::mt19937 rng(11);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb(rng() % 256, rng() % 256, rng() % 256));
    QTest::newRow("noise") << noise;
    QImage stripes(1200, 800, QImage::Format_RGB32);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < stripes.width(); ++x)
            stripes.setPixel(x, y, (x / 150) % 2 ? qRgb(230, 230, 230) : qRgb(40, 40, 40));
    QTest::newRow("straight stripes") << degrade(stripes, 1, 85);
    // Bright and round, but not framed in black as a fundus camera's field is.
    QImage disc(1200, 800, QImage::Format_RGB32);
    disc.fill(QColor(150, 115, 95));
    QPainter painter(&disc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 230, 225));
    painter.drawEllipse(QPointF(600, 400), 330, 330);
    painter.end();
    QTest::newRow("bright disc on skin") << degrade(disc, 1, 85);
    disc.fill(QColor(150, 115, 95));
    painter.begin(&disc);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 230, 225));
    painter.drawEllipse(QPointF(600, 400), 460, 460);
    painter.end();
    QTest::newRow("bright disc on skin, cut off by the frame") << degrade(disc, 1, 85);
}

void TestRoundOutline::nothingRound() {
    QFETCH(QImage, photo);
    for (const QPointF& click : {QPointF(600, 400), QPointF(100, 700), QPointF(1190, 5)}) {
        const OutlineSearch search = searchRoundOutline(photo, click);
        QVERIFY2(!search.outline,
                 qPrintable(QStringLiteral("found something at %1,%2").arg(click.x()).arg(click.y())));
        // Nothing answered, a check named as what refused.
        QVERIFY(search.refusedBy != OutlineCheck::None);
    }
    QCOMPARE(searchRoundOutline(photo, QPointF(-1, 5)).refusedBy, OutlineCheck::OffPhoto);
}

// On an eye, a click on the white of the eye, on a reflection there or on the skin above the lid
// finds nothing: a refusal is better than a wrong centre.
void TestRoundOutline::offTheEye_data() {
    QTest::addColumn<QPointF>("where"); // in limbus radii from the limbus centre
    QTest::newRow("white of the eye") << QPointF(1.5, 0.1);
    QTest::newRow("reflection on the white") << QPointF(1.35, 0.0);
    QTest::newRow("skin above the lid") << QPointF(0.2, -1.6);
}

void TestRoundOutline::offTheEye() {
    QFETCH(QPointF, where);
    EyeSpec s = eye(QSize(1224, 816), {0.5, 0.5}, 0.25);
    s.reflection = QPointF(1.35, 0.0), s.seed = 12;
    const SyntheticEye e = makeSyntheticEye(s);
    const QPointF click = e.limbusCentre + where * e.limbusRadius;
    const auto found = findRoundOutline(e.photo, click);
    QVERIFY2(!found, qPrintable(QStringLiteral("found %1,%2 r %3")
                                    .arg(found ? found->centre.x() : 0)
                                    .arg(found ? found->centre.y() : 0)
                                    .arg(found ? found->radius : 0)));
}

// A robust fit that fails can throw a circle far off; the next pass must read nothing from it
// rather than ask for a profile of absurd length.
void TestRoundOutline::edgesOfAThrownCircle() {
    const SyntheticEye e = makeSyntheticEye(eye(QSize(400, 300), {0.5, 0.5}, 0.3));
    const PhotoGray gray(e.photo);
    const double nan = std::nan("");
    for (const Circle& c :
         {Circle{{200, 150}, nan}, Circle{{nan, 150}, 50}, Circle{{200, 150}, 1e12}, Circle{{-1e12, 0}, 50}})
        QVERIFY(edgesAcrossCircle(gray, c, 1, 90, 10, 2).empty());
    QVERIFY(edgesAcrossCircle(gray, Circle{{200, 150}, 50}, 1, 90, nan, 2).empty());
    QVERIFY(!edgesAcrossCircle(gray, Circle{e.limbusCentre, e.limbusRadius}, 1, 90, 10, 2).empty());
    // Rays that cross a reflection give no edge and are not counted as read.
    QImage glared = e.photo;
    QPainter(&glared).fillRect(QRectF(0, 0, e.limbusCentre.x(), glared.height()), Qt::white);
    int read = 0;
    const auto right = edgesAcrossCircle(PhotoGray(glared), Circle{e.limbusCentre, e.limbusRadius}, 1, 90, 10,
                                         2, false, 250, &read);
    QVERIFY(read > 30 && read < 60 && !right.empty());
    QVERIFY(std::all_of(right.begin(), right.end(),
                        [&](const QPointF& p) { return p.x() >= e.limbusCentre.x(); }));
}

QTEST_MAIN(TestRoundOutline)
#include "tst_round_outline.moc"

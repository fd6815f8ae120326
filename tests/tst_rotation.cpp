// Rotation between two photos of an eye: the sign and the half turn on generated eyes, refusals,
// the landmark arithmetic round 0/360 degrees, and pelvanor-compare run as a user would.
#include "analysis/eye_planes.h"
#include "analysis/eye_rings.h"
#include "analysis/landmarks.h"
#include "analysis/limbus_search.h"
#include "analysis/rotation.h"
#include "analysis/tuning.h"
#include "gauge/guide_axis.h"
#include "output/rotation_report.h"
#include "output/save.h"
#include "synthetic_eye.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QtTest>

Q_DECLARE_METATYPE(RotationRefusal)

namespace {

SyntheticEye eyeWithSeed(uint32_t seed, double pupilRatio = 0.35) {
    EyeSpec s;
    s.size = QSize(900, 640);
    s.limbusCentre = QPointF(440, 330);
    s.limbusRadius = 170;
    s.pupilRatio = pupilRatio;
    s.seed = seed;
    return makeSyntheticEye(s);
}

bool near(const std::optional<Circle>& found, const QPointF& centre, double radius, double tolerance) {
    return found && std::hypot(found->centre.x() - centre.x(), found->centre.y() - centre.y()) <= tolerance &&
           std::abs(found->radius - radius) <= tolerance;
}

// The photo turned counter-clockwise on the screen by degrees about a point, on skin-coloured ground.
QImage turned(const QImage& photo, double degrees, const QPointF& about) {
    QImage out(photo.size(), QImage::Format_RGB32);
    out.fill(QColor(200, 160, 140));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(about);
    p.rotate(-degrees); // Qt turns clockwise on the screen for positive angles
    p.translate(-about);
    p.drawImage(0, 0, photo);
    return out;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

} // namespace

class TestRotation : public QObject {
    Q_OBJECT
private slots:
    void measuredTurn_data() {
        QTest::addColumn<double>("degrees");
        QTest::newRow("counter-clockwise") << 12.4;
        QTest::newRow("clockwise") << -7.0;
        QTest::newRow("nearly a half turn") << 170.0;
        QTest::newRow("a half turn the other way") << -175.5;
    }
    void measuredTurn() {
        QFETCH(double, degrees);
        const SyntheticEye eye = eyeWithSeed(3);
        const QImage current = turned(eye.photo, degrees, eye.limbusCentre + QPointF(30, -20));
        const RotationResult r = measureRotation(eye.photo, current);
        QVERIFY2(r.measured, refusalMessage(r.refusal));
        QVERIFY2(std::abs(wrapDegrees(r.degrees - degrees)) < 0.5, qPrintable(QString::number(r.degrees)));
        QVERIFY(r.confidence > 0 && r.confidence <= 1);
        QVERIFY2(r.bothWays < 0.2, qPrintable(QString::number(r.bothWays)));
    }

    // An answer the photos swapped do not give back is refused, and says which check refused it.
    void refusedWhenTheOtherWayDisagrees() {
        const double saved = tuning().rotation.maxBothWays;
        QVERIFY(setTuning("rotation.maxBothWays", 0));
        const SyntheticEye eye = eyeWithSeed(3);
        const RotationResult r = measureRotation(eye.photo, turned(eye.photo, 6, eye.limbusCentre));
        setTuning("rotation.maxBothWays", saved);
        QVERIFY(!r.measured);
        QCOMPARE(r.refusal, RotationRefusal::PhotosDoNotMatch);
        QCOMPARE(QString(checkName(r.check)), QString("both ways"));
        QVERIFY(r.bothWays > 0);
    }

    // The same eye, its pupil wider in the second photo (dilated for the later photo), turned.
    void dilatedPupil() {
        const SyntheticEye before = eyeWithSeed(5, 0.3), after = eyeWithSeed(5, 0.5);
        const RotationResult r = measureRotation(before.photo, turned(after.photo, -8.5, after.limbusCentre));
        QVERIFY2(r.measured, refusalMessage(r.refusal));
        QVERIFY2(std::abs(r.degrees + 8.5) < 0.5, qPrintable(QString::number(r.degrees)));
    }

    // Each photo's rings are found in that photo alone: the same whichever photo it is compared with,
    // and on the eye.
    void ringsOfEachPhotoAlone() {
        const SyntheticEye eye = eyeWithSeed(3);
        QImage lighter = turned(eye.photo, -4, eye.limbusCentre);
        lighter.invertPixels(); // a photo that shows nothing of this eye
        const RotationResult a = measureRotation(turned(eye.photo, 9, eye.limbusCentre), eye.photo);
        const RotationResult b = measureRotation(lighter, eye.photo);
        QVERIFY(a.measured && !b.measured);
        QVERIFY(a.currentLimbus && b.currentLimbus);
        QCOMPARE(a.currentLimbus->centre, b.currentLimbus->centre);
        QCOMPARE(a.currentLimbus->radius, b.currentLimbus->radius);
    }

    // The rings found in one photo, against the eye drawn: in colour and in grey as infrared cameras
    // give it, with a camera's ring of reflections inside the pupil, and inside a camera's black round
    // field stop (whose edge is no limbus).
    void eyeRings_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("colour") << "colour";
        QTest::newRow("grey") << "grey";
        QTest::newRow("ring of reflections") << "ring";
        QTest::newRow("black field stop") << "stop";
    }
    void eyeRings() {
        QFETCH(QString, variant);
        const SyntheticEye eye = eyeWithSeed(7, 0.4);
        QImage photo = eye.photo;
        if (variant == "grey")
            photo = photo.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
        QPainter p(&photo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        if (variant == "ring") {
            p.setBrush(Qt::white);
            for (int k = 0; k < 8; ++k) {
                const double a = k * M_PI / 4, r = 0.45 * eye.pupilRadius;
                p.drawEllipse(eye.pupilCentre + r * QPointF(std::cos(a), std::sin(a)), 4, 4);
            }
        } else if (variant == "stop") {
            QPainterPath outside;
            outside.addRect(photo.rect());
            outside.addEllipse(eye.limbusCentre, 1.35 * eye.limbusRadius, 1.35 * eye.limbusRadius);
            p.setBrush(Qt::black);
            p.drawPath(outside);
        }
        p.end();
        const auto rings = findEyeRings(photo);
        QVERIFY(rings);
        QVERIFY(near(rings->limbus, eye.limbusCentre, eye.limbusRadius, 0.05 * eye.limbusRadius));
        QVERIFY(near(rings->pupil, eye.pupilCentre, eye.pupilRadius, 0.1 * eye.pupilRadius + 2));
    }

    // The search about several points at once, which reads each centre's levels once for all of
    // them, finds for each point what the search about that point alone finds.
    void limbusSearchAboutSeveralPoints() {
        const SyntheticEye eye = eyeWithSeed(5);
        const EyePlanes planes = makeEyePlanes(eye.photo);
        const double f = planes.factor;
        const std::vector<QPointF> points{eye.pupilCentre / f, (eye.limbusCentre + QPointF(60, 20)) / f,
                                          QPointF(40, 40)};
        const auto together = searchLimbusAbout(planes.luma, points);
        QCOMPARE(together.size(), points.size());
        QVERIFY(!together[0].empty());
        for (size_t k = 0; k < points.size(); ++k) {
            const auto alone = searchLimbus(planes.luma, points[k], std::nullopt);
            QCOMPARE(together[k].size(), alone.size());
            for (size_t c = 0; c < alone.size(); ++c) {
                QCOMPARE(together[k][c].circle.centre, alone[c].circle.centre);
                QCOMPARE(together[k][c].circle.radius, alone[c].circle.radius);
                QCOMPARE(together[k][c].step, alone[c].step);
            }
        }
    }

    void cancelled() {
        const std::atomic<bool> cancel{true};
        const SyntheticEye eye = eyeWithSeed(3);
        const RotationResult r = measureRotation(eye.photo, eye.photo, std::nullopt, std::nullopt, &cancel);
        QVERIFY(!r.measured);
        QCOMPARE(r.refusal, RotationRefusal::Cancelled);
        QCOMPARE(r.check, RotationCheck::Cancelled);
    }

    void refused_data() {
        QTest::addColumn<QImage>("current");
        QTest::addColumn<RotationRefusal>("reason");
        QImage blank(900, 640, QImage::Format_RGB32);
        blank.fill(QColor(210, 170, 150));
        QTest::newRow("another eye") << eyeWithSeed(11).photo << RotationRefusal::PhotosDoNotMatch;
        QTest::newRow("no eye") << blank << RotationRefusal::NoCurrentLimbus;
    }
    void refused() {
        QFETCH(QImage, current);
        QFETCH(RotationRefusal, reason);
        const RotationResult r = measureRotation(eyeWithSeed(3).photo, current);
        QVERIFY(!r.measured);
        QCOMPARE(r.refusal, reason);
    }

    void landmarks_data() {
        QTest::addColumn<QList<double>>("referenceAngles");
        QTest::addColumn<QList<double>>("currentAngles");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("spread");
        QTest::newRow("across 0 upwards") << QList<double>{355} << QList<double>{5} << 10.0 << 0.0;
        QTest::newRow("across 0 downwards") << QList<double>{5} << QList<double>{355} << -10.0 << 0.0;
        QTest::newRow("pairs averaged round the circle")
            << QList<double>{359, 1} << QList<double>{1, 5} << 3.0 << 1.0;
        QTest::newRow("half turn") << QList<double>{90} << QList<double>{270} << 180.0 << 0.0;
    }
    void landmarks() {
        QFETCH(QList<double>, referenceAngles);
        QFETCH(QList<double>, currentAngles);
        QFETCH(double, expected);
        QFETCH(double, spread);
        // Different centres and radii in the two photos: only the angles about each centre count.
        const Circle ref{QPointF(100, 120), 50}, cur{QPointF(300, 40), 80};
        const auto at = [](const Circle& c, double a, double r) {
            return c.centre + r * QPointF(std::cos(a * M_PI / 180), -std::sin(a * M_PI / 180));
        };
        std::vector<LandmarkPair> pairs;
        for (int i = 0; i < referenceAngles.size(); ++i)
            pairs.push_back({at(ref, referenceAngles[i], 40), at(cur, currentAngles[i], 90)});
        const auto r = rotationFromLandmarks(ref, cur, pairs);
        QVERIFY(r);
        QVERIFY2(std::abs(wrapDegrees(r->degrees - expected)) < 1e-9,
                 qPrintable(QString::number(r->degrees)));
        QCOMPARE(qRound(r->spread * 1000), qRound(spread * 1000));
        QVERIFY(!rotationFromLandmarks(ref, cur, {}));
    }

    void carriedGuide_data() {
        QTest::addColumn<double>("axis");
        QTest::addColumn<double>("rotation");
        QTest::addColumn<int>("guide");
        QTest::newRow("past 180") << 170.0 << 15.2 << 5;
        QTest::newRow("below 0") << 10.0 << -15.0 << 175;
        QTest::newRow("half to even") << 90.0 << 4.5 << 94;
        QTest::newRow("unchanged") << 0.0 << 0.4 << 0;
    }
    void carriedGuide() {
        QFETCH(double, axis);
        QFETCH(double, rotation);
        QFETCH(int, guide);
        QCOMPARE(carriedAxis(axis, rotation), guide);
    }

    void guideOfMeasurement() {
        QCOMPARE(output::guideOfMeasurement("Eye: OD (right); Guide line: 35 deg; Centre size: 10%"), 35);
        QVERIFY(!output::guideOfMeasurement("Eye: OD (right); Centre size: 10%"));
        QVERIFY(!output::guideOfMeasurement("Reference: Guide line: 35 deg?"));
    }

    // The command-line program on files, as a user runs it; the photos stay as they were.
    void compareProgram_data() {
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<int>("status");
        QTest::newRow("measured") << "turned.png" << 0;
        QTest::newRow("refused") << "other.png" << 1;
        QTest::newRow("bad input") << "missing.png" << 2;
    }
    void compareProgram() {
        QFETCH(QString, currentFile);
        QFETCH(int, status);
        const SyntheticEye eye = eyeWithSeed(3);
        const QString dir = tempDir();
        QVERIFY(eye.photo.save(dir + "/reference.jpg", "JPG", 90));
        QVERIFY(turned(eye.photo, -6, eye.limbusCentre).save(dir + "/turned.png"));
        QVERIFY(eyeWithSeed(11).photo.save(dir + "/other.png"));
        const QByteArray before = digest(dir + "/reference.jpg");
        QProcess run;
        run.start(PELVANOR_BIN_DIR "/pelvanor-compare",
                  {"--json", dir + "/reference.jpg", dir + "/" + currentFile});
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), status);
        QCOMPARE(digest(dir + "/reference.jpg"), before);
        if (status == 2) {
            QVERIFY(run.readAllStandardOutput().isEmpty());
            QVERIFY(run.readAllStandardError().contains("missing.png"));
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(run.readAllStandardOutput()).object();
        QCOMPARE(o["measured"].toBool(), status == 0);
        QVERIFY(o["reference_limbus"].isObject());
        if (status == 0)
            QVERIFY2(std::abs(o["rotation"].toDouble() + 6) <= 0.3,
                     qPrintable(QString::number(o["rotation"].toDouble())));
        else
            QVERIFY(!run.readAllStandardError().isEmpty());
    }
};

QTEST_MAIN(TestRotation)
#include "tst_rotation.moc"

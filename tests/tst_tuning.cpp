// The analysis's tuning table: a field set by name is the one the analysis reads, the names it
// cannot take are refused, and every field is listed once.
#include "analysis/rotation.h"
#include "analysis/round_outline.h"
#include "analysis/tuning.h"
#include "synthetic_eye.h"

#include <QtTest>

#include <set>
#include <string>

class TestTuning : public QObject {
    Q_OBJECT
private slots:
    void namesAndValues();
    void settingChangesTheAnswer();
};

namespace {

// The field's value now, as the table prints it.
std::string valueOf(const std::string& name) {
    for (const std::string& line : tuningValues())
        if (line.compare(0, name.size() + 1, name + "=") == 0)
            return line.substr(name.size() + 1);
    return {};
}

// Sets a field for the rest of a scope, and puts the default back after it.
struct Setting {
    std::string name, saved;
    Setting(const std::string& n, double value) : name(n), saved(valueOf(n)) {
        QVERIFY(setTuning(name, value));
    }
    ~Setting() { setTuning(name, std::stod(saved)); }
};

} // namespace

void TestTuning::namesAndValues() {
    std::set<std::string> names;
    for (const std::string& line : tuningValues()) {
        const std::string name = line.substr(0, line.find('='));
        QVERIFY2(names.insert(name).second, name.c_str());
    }
    for (const char* known : {"outline.minAgreement", "limbus.maxDecentring", "rings.glareStep",
                              "rotation.minPeakScore", "rings.glareBand.1"})
        QVERIFY2(names.count(known), known);
    QCOMPARE(valueOf("outline.minAgreement"), std::string("0.5"));
    QVERIFY(!setTuning("outline.noSuchField", 1));
    QVERIFY(!setTuning("outline", 1));
    // A whole-number field takes whole numbers only, and keeps its value when refused.
    const std::string rays = valueOf("outline.fineRays");
    QVERIFY(!setTuning("outline.fineRays", 360.5));
    QCOMPARE(valueOf("outline.fineRays"), rays);
}

void TestTuning::settingChangesTheAnswer() {
    EyeSpec spec;
    spec.size = QSize(900, 640);
    spec.limbusCentre = QPointF(450, 320);
    spec.limbusRadius = 180;
    const SyntheticEye eye = makeSyntheticEye(spec);
    QVERIFY(searchRoundOutline(eye.photo, eye.pupilCentre).outline);
    {
        // No outline can have more than all of its rays agree: the pupil is refused, and then the
        // limbus about the point too, since the point is where a pupil would be.
        Setting strict("outline.minAgreement", 1.01);
        const OutlineSearch s = searchRoundOutline(eye.photo, eye.pupilCentre);
        QVERIFY(!s.outline);
        QVERIFY(s.refusedBy != OutlineCheck::None);
    }
    QVERIFY(searchRoundOutline(eye.photo, eye.pupilCentre).outline);
    {
        // No correlation reaches above 1.
        Setting strict("rotation.minPeakScore", 1.01);
        const RotationResult r = measureRotation(eye.photo, eye.photo);
        QVERIFY(!r.measured);
        QCOMPARE(checkName(r.check), "peak score");
    }
    QVERIFY(measureRotation(eye.photo, eye.photo).measured);
}

QTEST_GUILESS_MAIN(TestTuning)
#include "tst_tuning.moc"

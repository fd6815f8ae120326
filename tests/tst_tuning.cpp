// The analysis's tuning table: a field set by name is the one the analysis reads, the names and values
// it cannot take are refused with the reason, and every field of the structs is listed once.
#include "analysis/eye_rings.h"
#include "analysis/rotation.h"
#include "analysis/round_outline.h"
#include "analysis/tuning.h"
#include "synthetic_eye.h"

#include <QtTest>

#include <cmath>
#include <cstddef>
#include <set>
#include <string>
#include <type_traits>
#include <utility>

class TestTuning : public QObject {
    Q_OBJECT
private slots:
    void namesAndValues();
    void settingChangesTheAnswer();
    void bounds_data();
    void bounds();
    void everyFieldListedInRange();
    void ringSidesFollowTheSetting();
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

// Converts to any number: a struct takes as many of these in braces as it has numbers, an array's
// elements counted one by one, as the table lists them.
struct AnyNumber {
    template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>> constexpr operator T() const {
        return T();
    }
};
template <typename T, typename Seq, typename = void> struct Takes : std::false_type {};
template <typename T, size_t... I>
struct Takes<T, std::index_sequence<I...>, std::void_t<decltype(T{(void(I), AnyNumber{})...})>>
    : std::true_type {};
template <typename T, size_t n = 0> constexpr size_t numbersIn() {
    if constexpr (Takes<T, std::make_index_sequence<n + 1>>::value)
        return numbersIn<T, n + 1>();
    else
        return n;
}

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
        // The refusal says by how much: the whole rings' correlation against the limit set.
        QVERIFY(r.checkValue < 1.01);
        QCOMPARE(r.checkLimit, 1.01);
    }
    QVERIFY(measureRotation(eye.photo, eye.photo).measured);
}

void TestTuning::bounds_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("accepted");
    const auto row = [](const char* field, double value, bool accepted) {
        QTest::addRow("%s=%g", field, value) << QString(field) << value << accepted;
    };
    // Divisors, counts, loop steps, blur widths: nothing the code divides by, steps by or sizes with
    // may be zero.
    row("outline.brightShownDivisor", 0, false);
    row("outline.brightShownDivisor", 1, true);
    row("outline.brightShownDivisor", 72, true);
    row("outline.brightShownDivisor", 73, false);
    row("outline.fineRays", 0, false);
    row("outline.fineRays", 3600, true);
    row("outline.fineRays", 360.5, false);
    row("outline.coreRingStep", 0, false);
    row("outline.minFitSpread", 0, false);
    row("limbus.holdShare", 0, false);
    row("rings.blobScales.1", 0, false);
    row("rings.leastLevelSamples", 0, false);
    row("rotation.stripOuter", 1, false);
    row("rotation.irisFrom", 1, false);
    row("rotation.contrastFloor", 0, false);
    row("rotation.centreRidge", 0, false);
    row("outline.maxDarkAreaShare", -0.1, false);
    row("outline.minAgreement", NAN, false);
    // Thresholds set to refuse everything stay settable.
    row("outline.minAgreement", 1.01, true);
    row("rotation.minPeakScore", 1.01, true);
    row("rotation.maxBothWays", 0, true);
    row("rings.lateralDegrees", 90, true);
}

void TestTuning::bounds() {
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(bool, accepted);
    const std::string name = field.toStdString(), before = valueOf(name);
    std::string why;
    QCOMPARE(setTuning(name, value, &why), accepted);
    if (accepted) {
        setTuning(name, std::stod(before));
        return;
    }
    QCOMPARE(valueOf(name), before);
    QVERIFY2(why.rfind(name + " ", 0) == 0, why.c_str());
    if (name == "outline.brightShownDivisor")
        QCOMPARE(why, std::string("outline.brightShownDivisor must lie in 1..72"));
}

void TestTuning::everyFieldListedInRange() {
    // Each group's rows cover distinct numbers of its struct, as many as it holds.
    const struct {
        const char* prefix;
        size_t offset, size, numbers;
    } groups[] = {
        {"outline.", offsetof(Tuning, outline), sizeof(OutlineTuning), numbersIn<OutlineTuning>()},
        {"limbus.", offsetof(Tuning, limbus), sizeof(LimbusTuning), numbersIn<LimbusTuning>()},
        {"rings.", offsetof(Tuning, rings), sizeof(RingsTuning), numbersIn<RingsTuning>()},
        {"rotation.", offsetof(Tuning, rotation), sizeof(RotationTuning), numbersIn<RotationTuning>()},
    };
    const std::vector<TuningField> fields = tuningFields();
    for (const auto& g : groups) {
        std::set<size_t> offsets;
        for (const TuningField& f : fields)
            if (f.name.rfind(g.prefix, 0) == 0) {
                QVERIFY2(f.offset >= g.offset && f.offset + f.size <= g.offset + g.size, f.name.c_str());
                QVERIFY2(offsets.insert(f.offset).second, f.name.c_str());
            }
        QVERIFY2(offsets.size() == g.numbers, g.prefix);
    }
    for (const TuningField& f : fields)
        QVERIFY2(f.least <= f.value && f.value <= f.most && (!f.whole || f.least == std::floor(f.least)),
                 f.name.c_str());
}

void TestTuning::ringSidesFollowTheSetting() {
    EyeSpec spec;
    spec.size = QSize(900, 640);
    spec.limbusCentre = QPointF(450, 320);
    spec.limbusRadius = 180;
    const QImage photo = makeSyntheticEye(spec).photo;
    const auto wide = findEyeRings(photo);
    QVERIFY(wide);
    {
        // Set after a search has run: the sides read are narrower, and so the limbus's step.
        Setting narrow("rings.lateralDegrees", 5);
        const auto rings = findEyeRings(photo);
        QVERIFY(rings);
        QVERIFY(rings->score != wide->score);
    }
    QCOMPARE(findEyeRings(photo)->score, wide->score);
}

QTEST_GUILESS_MAIN(TestTuning)
#include "tst_tuning.moc"

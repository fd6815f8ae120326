// The toric lens check's arithmetic on the worked checks a reader can redo by hand, and
// pelvanor-toric as a user runs it.
#include "toric/toric.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace {

const double kNone = std::nan(""); // not checked

// Runs pelvanor-toric; the exit status, and stdout and stderr joined.
int runToric(const QStringList& args, QString* output) {
    QProcess p;
    p.start(PELVANOR_BIN_DIR "/pelvanor-toric", args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

} // namespace

class TestToric : public QObject {
    Q_OBJECT
private slots:
    void workedChecks_data() {
        QTest::addColumn<double>("planned");
        QTest::addColumn<double>("lens");
        QTest::addColumn<double>("marks");
        QTest::addColumn<double>("rotation");
        QTest::addColumn<QString>("refraction");
        QTest::addColumn<double>("misalignment");
        QTest::addColumn<double>("kept");
        QTest::addColumn<double>("residual");
        QTest::addColumn<double>("residualAxis");
        QTest::addColumn<double>("turn");
        QTest::addColumn<double>("expected");
        // A lens equal to the cornea keeps cos(2 misalignment) of its correction along the plan and
        // leaves 2 C sin(misalignment) at 45 degrees from the midpoint of the planned and actual axes.
        QTest::newRow("10 deg off") << 90.0 << 2.0 << 100.0 << 0.0 << "" << 10.0 << 0.940 << 0.69 << 50.0
                                    << kNone << kNone;
        QTest::newRow("read at 95, eye turned +5: on plan")
            << 90.0 << 2.0 << 95.0 << 5.0 << "" << 0.0 << 1.0 << 0.0 << kNone << kNone << kNone;
        QTest::newRow("across 0/180")
            << 10.0 << 1.5 << 175.0 << 0.0 << "" << -15.0 << 0.866 << 0.78 << 47.5 << kNone << kNone;
        QTest::newRow("30 deg off: half kept, residual as large as the lens")
            << 90.0 << 2.0 << 120.0 << 0.0 << "" << 30.0 << 0.5 << 2.0 << 60.0 << kNone << kNone;
        QTest::newRow("45 deg off: nothing kept")
            << 90.0 << 2.0 << 45.0 << 0.0 << "" << -45.0 << 0.0 << 2.83 << 112.5 << kNone << kNone;
        QTest::newRow("own residual, minus cylinder") << 90.0 << 2.0 << 100.0 << 0.0 << "plano -0.69 x 140"
                                                      << 10.0 << 0.940 << 0.69 << 50.0 << -10.0 << 0.0;
        QTest::newRow("own residual, plus cylinder, comma and ×")
            << 90.0 << 2.0 << 100.0 << 0.0 << "−0,69 +0,69 × 50" << 10.0 << 0.940 << 0.69 << 50.0 << -10.0
            << 0.0;
        QTest::newRow("plano refraction: no turn")
            << 90.0 << 2.0 << 100.0 << 0.0 << "plano" << 10.0 << 0.940 << 0.69 << 50.0 << 0.0 << 0.0;
        // 1.25 D of with-the-rule astigmatism left on a lens at 90: at the corneal plane
        // -1.25 / (1 + 0.012 * 1.25) = -1.23 D, so the lens faces 3.23 D and should stay.
        QTest::newRow("undercorrected, no turn helps")
            << 90.0 << 2.0 << 90.0 << 0.0 << "0 -1.25 x 180" << 0.0 << 1.0 << 0.0 << kNone << 0.0 << 1.23;
    }
    void workedChecks() {
        QFETCH(double, planned);
        QFETCH(double, lens);
        QFETCH(double, marks);
        QFETCH(double, rotation);
        QFETCH(QString, refraction);
        QFETCH(double, misalignment);
        QFETCH(double, kept);
        QFETCH(double, residual);
        QFETCH(double, residualAxis);
        QFETCH(double, turn);
        QFETCH(double, expected);
        toric::Inputs in;
        in.plannedAxis = planned;
        in.lensCylinder = lens;
        in.marksOnPhoto = marks;
        in.rotation = rotation;
        if (!refraction.isEmpty()) {
            in.refraction = toric::parseRefraction(refraction);
            QVERIFY(in.refraction);
        }
        QVERIFY(!toric::inputError(in));
        const toric::Result r = toric::evaluate(in);
        const auto check = [](double got, double want, double tolerance, const char* what) {
            if (!std::isnan(want) && std::abs(got - want) > tolerance)
                QFAIL(qPrintable(QStringLiteral("%1 %2, expected %3").arg(what).arg(got).arg(want)));
        };
        check(r.misalignment, misalignment, 1e-9, "misalignment");
        QVERIFY(r.correctionKept);
        check(*r.correctionKept, kept, 0.0005, "kept");
        check(r.residual.dioptres, residual, 0.005, "residual");
        check(r.residual.axis, residualAxis, 0.05, "residual axis");
        QCOMPARE(bool(r.turn), !refraction.isEmpty());
        if (!r.turn)
            return;
        check(*r.turn, turn, 0.5, "turn");
        check(toric::axisOf(*r.bestAxis - *r.turn), r.marksAxis, 1e-9, "best axis - turn");
        check(*r.expectedCylinder, expected, 0.01, "expected cylinder");
    }

    // The named keys for programs; bad input is refused with exit status 2 and the reason.
    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const QStringList base{"--language", "en", "--planned", "90", "--lens-cyl", "2", "--lens-axis"};
        QTest::newRow("json") << base + QStringList{"100", "--refraction", "plano -0.69 x 140", "--json"} << 0
                              << "";
        QTest::newRow("axis beyond 180")
            << base + QStringList{"181"} << 2 << "--lens-axis: the lens axis must lie in 0..180°";
        QTest::newRow("negative cornea") << base + QStringList{"100", "--cornea", "-1@90"} << 2
                                         << "--cornea: the corneal cylinder must lie in 0..15 D";
        QTest::newRow("refraction unread") << base + QStringList{"100", "--refraction", "-1 x 90"} << 2
                                           << "--refraction \"-1 x 90\" is not \"S C x A\"";
        QTest::newRow("missing value") << base << 2 << "--lens-axis needs a value";
        QTest::newRow("no number") << base + QStringList{"ten"} << 2 << "--lens-axis \"ten\" is no number";
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, said);
        QString output;
        QCOMPARE(runToric(args, &output), status);
        QVERIFY2(output.contains(said), qPrintable(output));
        if (status != 0)
            return;
        const QJsonObject o = QJsonDocument::fromJson(output.toUtf8()).object();
        for (const char* key : {"lens_axis", "misalignment", "correction_kept", "residual_cyl",
                                "residual_axis", "best_axis", "turn", "expected_cyl"})
            QVERIFY2(o.contains(key), key);
        QCOMPARE(o["misalignment"].toDouble(), 10.0);
        QCOMPARE(std::round(o["best_axis"].toDouble()), 90.0);
        QVERIFY(o["expected_cyl"].toDouble() <= 0.01);
    }

    // Every bad input exits with status 2 and a message naming its option, cut when long; nothing
    // out of the clinical ranges reaches the arithmetic, so no NaN or infinity is ever printed.
    void commandLineRefuses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("option");
        const QStringList base{"--planned", "90", "--lens-axis", "100"};
        const QStringList lens = base + QStringList{"--lens-cyl", "2"};
        const QString huge = QString(308, '9');
        const struct {
            const char* name;
            QStringList args;
            const char* option;
        } rows[] = {
            {"lens 1e308", base + QStringList{"--lens-cyl", "1e308"}, "--lens-cyl"},
            {"lens 0.001", base + QStringList{"--lens-cyl", "0.001"}, "--lens-cyl"},
            {"lens 16", base + QStringList{"--lens-cyl", "16"}, "--lens-cyl"},
            {"lens inf", base + QStringList{"--lens-cyl", "inf"}, "--lens-cyl"},
            {"planned nan", QStringList{"--planned", "nan", "--lens-axis", "100", "--lens-cyl", "2"},
             "--planned"},
            {"planned -1", QStringList{"--planned", "-1", "--lens-axis", "100", "--lens-cyl", "2"},
             "--planned"},
            {"cornea 308 digits", lens + QStringList{"--cornea", huge + "@90"}, "--cornea"},
            {"cornea axis 181", lens + QStringList{"--cornea", "1@181"}, "--cornea"},
            {"refraction 308 digits", lens + QStringList{"--refraction", huge + " -1 x 90"}, "--refraction"},
            {"refraction beyond 30 D at the cornea",
             lens + QStringList{"--refraction", "+30 -0.25 x 90", "--vertex", "30"}, "--refraction"},
            {"sphere -31", lens + QStringList{"--refraction", "-31 DS"}, "--refraction"},
            {"rotation 181", lens + QStringList{"--rotation", "181"}, "--rotation"},
            {"rotation 1e999", lens + QStringList{"--rotation", "1e999"}, "--rotation"},
            {"vertex 31", lens + QStringList{"--vertex", "31"}, "--vertex"},
            {"planned without its value", QStringList{"--planned", "--lens-cyl", "2"}, "--planned"},
            {"planned twice", lens + QStringList{"--planned", "80"}, "--planned"},
            {"json twice", lens + QStringList{"--json", "--json"}, "--json"},
            {"lens axis missing", QStringList{"--planned", "90", "--lens-cyl", "2"}, "--lens-axis"},
            {"long unknown argument", lens + QStringList{QString(60000, 'x')}, "xxxxxxxxxx"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.args << QString(row.option);
    }
    void commandLineRefuses() {
        QFETCH(QStringList, args);
        QFETCH(QString, option);
        QString output;
        QCOMPARE(runToric(args, &output), 2);
        QVERIFY2(output.contains(option), qPrintable(output));
        QVERIFY2(output.size() < 400, qPrintable(output.left(400)));
        // Unless the bad argument itself said it.
        const QRegularExpression notANumber("\\b(nan|inf)", QRegularExpression::CaseInsensitiveOption);
        QVERIFY2(args.join(' ').contains(notANumber) || !output.contains(notANumber), qPrintable(output));
    }

    // The text output labels units, planes and frames and says a turn in words; a sphere alone is
    // read; a gain under a quarter dioptre is no reason to turn; errors follow --language.
    void commandLineAnswers() {
        const QStringList base{"--planned",   "90",  "--lens-cyl", "2",
                               "--lens-axis", "110", "--rotation", "10"};
        QString out;
        QCOMPARE(runToric(base + QStringList{"--refraction", "plano -0.69 x 140"}, &out), 0);
        for (const char* said :
             {"best_axis: 90.", "deg (plan's frame)", "best_axis_on_photo: 100.",
              "clockwise as seen from in front", "refraction_cyl: 0.68 D (measured, corneal plane)",
              "cornea_assumed: true", "turn_helps: true", "residual_share: 0.347"})
            QVERIFY2(out.contains(said), qPrintable(out));
        for (const char* sphere : {"-1.00 DS", "-1.00 sph", "+0,50"}) {
            QCOMPARE(runToric(base + QStringList{"--refraction", sphere, "--json"}, &out), 0);
            const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
            QCOMPARE(o["turn_helps"].toBool(true), false);
            QCOMPARE(o["turn"].toDouble(-1), 0.0);
            QCOMPARE(o["best_axis_on_photo"].toDouble(), 110.0);
        }
        QCOMPARE(
            runToric({"--language", "es", "--planned", "90", "--lens-cyl", "0", "--lens-axis", "90"}, &out),
            2);
        QVERIFY2(out.contains("--lens-cyl: el cilindro de la lente debe estar entre 0,25 y 15 D") &&
                     out.contains("Pruebe «pelvanor-toric --help»."),
                 qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestToric)
#include "tst_toric.moc"

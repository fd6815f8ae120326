// pelvanor-render: the same composite as the program saves, its exit codes and its messages.
#include "testsupport.h"

#include "i18n/catalogue.h"
#include "imaging/imaging.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run render(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // it chooses the offscreen platform by itself
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PELVANOR_BIN_DIR "/pelvanor-render"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return Run();
    return Run{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
               QString::fromLocal8Bit(p.readAllStandardError())};
}

QString photo() {
    return testData(QStringLiteral("eye_600x400.jpg"));
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameCompositeAsTheProgramSaves_data();
    void sameCompositeAsTheProgramSaves();
    void successPrintsNothing();
    void failures_data();
    void failures();
    void helpAndVersion();
    void photoIsTurnedUprightAsInTheProgram();
};

void TestRender::initTestCase() {
    QVERIFY2(QFileInfo::exists(QStringLiteral(PELVANOR_BIN_DIR "/pelvanor-render")),
             "pelvanor-render is not built");
    i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR));
}

void TestRender::sameCompositeAsTheProgramSaves_data() {
    QTest::addColumn<QString>("language");
    QTest::newRow("Spanish") << "es";
    QTest::newRow("English") << "en";
}

void TestRender::sameCompositeAsTheProgramSaves() {
    QFETCH(QString, language);
    i18n::SetLanguage(language);
    const QString dir = tempDir();
    TFormMain form;
    ScriptedChooser chooser;
    RecordingSink sink;
    form.setFileChooser(&chooser);
    form.setMessageSink(&sink);
    QVERIFY(form.openPhotoFile(photo()));
    form.CentreOffsetX = 0.1f;
    form.CentreOffsetY = -0.05f;
    form.findChild<QSlider*>(QStringLiteral("tbRadio"))->setValue(20);
    form.findChild<QCheckBox*>(QStringLiteral("GuiaMostrar"))->setChecked(true);
    form.findChild<QSpinBox*>(QStringLiteral("GuiaGrados"))->setValue(30);
    form.findChild<QCheckBox*>(QStringLiteral("SectorMostrar"))->setChecked(true);
    form.findChild<QSpinBox*>(QStringLiteral("SectorIniGrados"))->setValue(75);
    form.findChild<QSpinBox*>(QStringLiteral("SectorFinGrados"))->setValue(20);
    form.findChild<QLabel*>(QStringLiteral("SectorGrados"))
        ->setText(QStringLiteral("55")); // as the overlay shows it
    form.findChild<QRadioButton*>(QStringLiteral("rbOI"))->setChecked(true);
    form.findChild<QLineEdit*>(QStringLiteral("Referencia"))->setText(QStringLiteral("Paciente 7"));
    chooser.nextSave = dir + QStringLiteral("/programa.png");
    form.btnImagenSaveClick();
    i18n::SetLanguage(QStringLiteral("es"));
    QVERIFY(sink.messages.isEmpty());

    const QString cli = dir + QStringLiteral("/cli.png");
    const Run run = render({QStringLiteral("--offset"), QStringLiteral("0.1,-0.05"), QStringLiteral("--size"),
                            QStringLiteral("20"), QStringLiteral("--guide"), QStringLiteral("30"),
                            QStringLiteral("--sector"), QStringLiteral("75,20"), QStringLiteral("--eye"),
                            QStringLiteral("oi"), QStringLiteral("--reference"), QStringLiteral("Paciente 7"),
                            QStringLiteral("--lang"), language, photo(), cli});
    QCOMPARE(run.exitCode, 0);

    const QImage program = QImage(chooser.nextSave).convertToFormat(QImage::Format_RGB32);
    const QImage headless = QImage(cli).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(headless.size(), QSize(600, 400));
    QVERIFY2(headless == program, "the two composites differ");
    QCOMPARE(QImageReader(cli).read().text(QStringLiteral("Description")),
             QImageReader(chooser.nextSave).read().text(QStringLiteral("Description")));
}

void TestRender::successPrintsNothing() {
    const QString out = tempDir() + QStringLiteral("/a.jpg");
    const Run run = render({photo(), out});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QString());
    QCOMPARE(QImage(out).size(), QSize(600, 400));
}

void TestRender::failures_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("photoPath");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString ok = photo();
    QTest::newRow("missing photo") << QStringList() << "/no/such/photo.jpg"
                                   << "o.png" << 1 << "/no/such/photo.jpg";
    QTest::newRow("not an image") << QStringList() << testData(QStringLiteral("not_an_image.jpg")) << "o.png"
                                  << 1 << "not_an_image.jpg";
    QTest::newRow("unwritable output") << QStringList() << ok << "missing/o.png" << 1 << "missing/o.png";
    QTest::newRow("upper-case extension") << QStringList() << ok << "o.JPG" << 2 << "o.JPG";
    QTest::newRow("size above range") << QStringList{"--size", "101"} << ok << "o.png" << 2 << "--size";
    QTest::newRow("guide above 180") << QStringList{"--guide", "181"} << ok << "o.png" << 2 << "--guide";
    QTest::newRow("sector above 360") << QStringList{"--sector", "0,361"} << ok << "o.png" << 2 << "--sector";
    QTest::newRow("colour") << QStringList{"--lines-color", "12345g"} << ok << "o.png" << 2
                            << "--lines-color";
    QTest::newRow("offset far off") << QStringList{"--offset", "1e9,0"} << ok << "o.png" << 2 << "--offset";
    QTest::newRow("unknown option") << QStringList{"--colour", "x"} << ok << "o.png" << 2 << "--colour";
    QTest::newRow("value missing") << QStringList() << ok << "--size" << 2 << "--size";
}

void TestRender::failures() {
    QFETCH(QStringList, options);
    QFETCH(QString, photoPath);
    QFETCH(QString, outputName);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString dir = tempDir();
    const QString output =
        outputName.startsWith(QLatin1String("--")) ? outputName : dir + QLatin1Char('/') + outputName;
    const Run run = render(options << photoPath << output);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.startsWith(QLatin1String("pelvanor-render: ")));
    QCOMPARE(run.out, QString());
    QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList()); // no partial output
}

void TestRender::helpAndVersion() {
    const Run help = render({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith(QLatin1String("Usage: pelvanor-render [OPTIONS] PHOTO OUTPUT")));
    const Run version = render({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QStringLiteral("pelvanor-render 2.0\n"));
    QCOMPARE(render({}).exitCode, 2);
}

void TestRender::photoIsTurnedUprightAsInTheProgram() {
    const QString source = testData(QStringLiteral("exif_rotated.jpg"));
    const QString out = tempDir() + QStringLiteral("/r.bmp");
    QCOMPARE(render({source, out}).exitCode, 0);
    const QSize upright = imaging::decodeFile(source).image.size();
    QCOMPARE(upright, QSize(100, 200));
    QCOMPARE(QImage(out).size(), upright);
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"

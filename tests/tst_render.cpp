// pelvanor-render: the same composite as the program saves, its exit codes and its messages.
#include "testsupport.h"

#include "i18n/catalogue.h"
#include "unitMain.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

// Runs pelvanor-render inside the given folder, so relative output names land there.
Run render(const QStringList& args, const QString& dir) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // it chooses the offscreen platform by itself
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(PELVANOR_BIN_DIR "/pelvanor-render", args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return Run();
    return Run{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
               QString::fromLocal8Bit(p.readAllStandardError())};
}

const QString kPhoto = testData("eye_600x400.jpg");

} // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    // In English, so that both translate the eye label alike.
    void sameCompositeAsTheProgramSaves() {
        i18n::initCatalogue(PELVANOR_BIN_DIR);
        i18n::SetLanguage("en");
        const QString dir = tempDir(), saved = dir + "/programa.png", cli = dir + "/cli.png";
        TFormMain form;
        ScriptedChooser chooser;
        RecordingSink sink;
        form.setFileChooser(&chooser);
        form.setMessageSink(&sink);
        QVERIFY(form.openPhotoFile(kPhoto));
        form.CentreOffsetX = 0.1f;
        form.CentreOffsetY = -0.05f;
        form.findChild<QSlider*>("tbRadio")->setValue(20);
        form.findChild<QCheckBox*>("GuiaMostrar")->setChecked(true);
        form.findChild<QSpinBox*>("GuiaGrados")->setValue(30);
        form.findChild<QCheckBox*>("SectorMostrar")->setChecked(true);
        form.findChild<QSpinBox*>("SectorIniGrados")->setValue(75);
        form.findChild<QSpinBox*>("SectorFinGrados")->setValue(20);
        form.findChild<QLabel*>("SectorGrados")->setText("55"); // as the overlay shows it
        form.findChild<QRadioButton*>("rbOI")->setChecked(true);
        form.findChild<QLineEdit*>("Referencia")->setText("Paciente 7");
        chooser.nextSave = saved;
        form.btnImagenSaveClick();
        i18n::SetLanguage("es"); // the labels were looked up when the save began
        QVERIFY(form.waitUntilIdle());
        QVERIFY(sink.messages.isEmpty());

        const Run run = render({"--offset", "0.1,-0.05", "--size", "20", "--guide", "30", "--sector", "75,20",
                                "--eye", "oi", "--reference", "Paciente 7", "--lang", "en", kPhoto, cli},
                               dir);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out + run.err, QString()); // success prints nothing
        const QImage headless = QImage(cli).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(headless.size(), QSize(600, 400));
        QVERIFY2(headless == QImage(saved).convertToFormat(QImage::Format_RGB32),
                 "the two composites differ");
        QCOMPARE(QImageReader(cli).read().text("Description"),
                 QImageReader(saved).read().text("Description"));
    }

    void photoIsTurnedUprightAsInTheProgram() {
        const QString dir = tempDir();
        QCOMPARE(render({testData("exif_rotated.jpg"), "r.bmp"}, dir).exitCode, 0);
        QCOMPARE(QImage(dir + "/r.bmp").size(), QSize(100, 200)); // stored 200 × 100, orientation 6
    }

    void failures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing photo")
            << QStringList{"/no/such/photo.jpg", "o.png"} << 1 << "/no/such/photo.jpg";
        QTest::newRow("not an image")
            << QStringList{testData("not_an_image.jpg"), "o.png"} << 1 << "not_an_image.jpg";
        const QString dir = tempDir();
        QTest::newRow("folder") << QStringList{makeSpecialFile(dir, "folder"), "o.png"} << 1 << "is a folder";
        QTest::newRow("fifo") << QStringList{makeSpecialFile(dir, "fifo"), "o.png"} << 1
                              << "named pipe (FIFO)";
        QTest::newRow("device") << QStringList{"/dev/zero", "o.png"} << 1 << "is a device";
        QTest::newRow("declared size beyond the limit")
            << QStringList{writeFile(dir, "huge.bmp", bmpHeaderClaiming(20000, 10000)), "o.png"} << 1
            << "declares 20000 x 10000 pixels, beyond the 640 MB limit";
        QTest::newRow("unwritable output") << QStringList{kPhoto, "missing/o.png"} << 1 << "missing/o.png";
        QTest::newRow("upper-case extension") << QStringList{kPhoto, "o.JPG"} << 2 << "o.JPG";
        QTest::newRow("size above range") << QStringList{"--size", "101", kPhoto, "o.png"} << 2 << "--size";
        QTest::newRow("unknown option") << QStringList{"--colour", "x", kPhoto, "o.png"} << 2 << "--colour";
        QTest::newRow("value missing") << QStringList{kPhoto, "--size"} << 2 << "--size";
        QTest::newRow("no arguments") << QStringList() << 2 << "--help";
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString dir = tempDir();
        const Run run = render(args, dir);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.startsWith("pelvanor-render: ") && run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList()); // nothing written
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"

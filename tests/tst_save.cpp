// Saving the composite: the proposal, the extension table, the written files and failed writes.
#include "testsupport.h"

#include "output/save.h"
#include "unitMain.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <csignal>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char kExtensionError[] = "Error, no entiendo esa extension";
const char kSaveError[] = "Error al guardar la imagen";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A folder holding a copy of the test photo under the given name.
QString photoIn(const QString& name, const QString& source = QStringLiteral("eye_600x400.jpg")) {
    const QString dir = tempDir();
    QFile::copy(testData(source), dir + QLatin1Char('/') + name);
    return dir;
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

QString exiftool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("exiftool"), args);
    if (!p.waitForFinished(30000))
        qFatal("exiftool did not run: it is needed for the metadata checks");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

struct Window {
    TFormMain form;
    ScriptedChooser chooser;
    RecordingSink sink;
    Window() {
        form.setFileChooser(&chooser);
        form.setMessageSink(&sink);
    }
    template <typename T> T* control(const char* name) { return form.findChild<T*>(QLatin1String(name)); }
    void saveAs(const QString& path) {
        chooser.nextSave = path;
        form.btnImagenSaveClick();
    }
};

} // namespace

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void proposedName_data();
    void proposedName();
    void extensionTable_data();
    void extensionTable();
    void dialogProposalAndPaste();
    void everyExtensionWritesThePhoto_data();
    void everyExtensionWritesThePhoto();
    void otherExtensionsAreRefused();
    void failedWritesAreReportedAndKeepTheOldFile();
    void outOfMemoryWritesNothing();
    void measurementIsStoredAsText();
    void sourceMetadataIsNotCarriedOver();
};

void TestSave::proposedName_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("proposal");
    QTest::newRow("jpg") << "/fotos/ojo1.jpg"
                         << ""
                         << "ojo1_ang";
    QTest::newRow("jpeg keeps its dot") << "/fotos/ojo1.jpeg"
                                        << ""
                                        << "ojo1._ang";
    QTest::newRow("four characters") << "/fotos/a.jp"
                                     << ""
                                     << "_ang";
    QTest::newRow("source wins over last") << "/fotos/ojo2.png"
                                           << "/x/ojo1_ang.jpg"
                                           << "ojo2_ang";
    QTest::newRow("after a paste") << ""
                                   << "/x/ojo1_ang.jpg"
                                   << "/x/ojo1_ang.jpg";
}

void TestSave::proposedName() {
    QFETCH(QString, source);
    QFETCH(QString, last);
    QFETCH(QString, proposal);
    QCOMPARE(output::proposedSaveName(source, last), proposal);
}

void TestSave::extensionTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("mime");
    QTest::newRow("png") << "/a/b.png" << QByteArray("image/png");
    QTest::newRow("jpg") << "b.jpg" << QByteArray("image/jpeg");
    QTest::newRow("jpeg") << "b.jpeg" << QByteArray("image/jpeg");
    QTest::newRow("bmp") << "b.bmp" << QByteArray("image/bmp");
    QTest::newRow("tif") << "b.tif" << QByteArray("image/tiff");
    QTest::newRow("upper case") << "b.JPG" << QByteArray();
    QTest::newRow("mixed case") << "b.Png" << QByteArray();
    QTest::newRow("tiff") << "b.tiff" << QByteArray();
    QTest::newRow("dot only in the folder") << "/a.png/b" << QByteArray();
    QTest::newRow("last dot counts") << "b.png.txt" << QByteArray();
}

void TestSave::extensionTable() {
    QFETCH(QString, name);
    QFETCH(QByteArray, mime);
    QCOMPARE(output::mimeTypeForExtension(output::extensionOf(name)), mime);
}

void TestSave::dialogProposalAndPaste() {
    Window w;
    w.saveAs(tempDir() + QStringLiteral("/x.png"));
    QCOMPARE(w.chooser.saves, 0); // no photo: no dialog

    const QString dir = photoIn(QStringLiteral("ojo1.jpg"));
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/ojo1.jpg")));
    w.saveAs(QString()); // cancelled: nothing happens
    QCOMPARE(w.chooser.lastProposedName, QStringLiteral("ojo1_ang"));
    QCOMPARE(w.chooser.lastFilterIndex, 2);
    QCOMPARE(w.chooser.lastSuffix, QStringLiteral("jpg"));
    QVERIFY(
        w.chooser.lastFilter.split(QStringLiteral(";;")).at(1).startsWith(QStringLiteral("Archivos JPG")));
    QCOMPARE(entries(dir), QStringList{QStringLiteral("ojo1.jpg")});

    const QString chosen = dir + QStringLiteral("/elegido.png");
    w.saveAs(chosen);
    QImage pasted(320, 240, QImage::Format_RGB32);
    pasted.fill(Qt::darkCyan);
    QGuiApplication::clipboard()->setImage(pasted);
    w.form.btnImagenPasteClick();
    w.saveAs(QString());
    QCOMPARE(w.chooser.lastProposedName, chosen); // after a paste, the name last chosen
    QVERIFY(w.sink.messages.isEmpty());
}

void TestSave::everyExtensionWritesThePhoto_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("png") << ".png" << QByteArray("png");
    QTest::newRow("jpg") << ".jpg" << QByteArray("jpeg");
    QTest::newRow("jpeg") << ".jpeg" << QByteArray("jpeg");
    QTest::newRow("bmp") << ".bmp" << QByteArray("bmp");
    QTest::newRow("tif") << ".tif" << QByteArray("tiff");
}

void TestSave::everyExtensionWritesThePhoto() {
    QFETCH(QString, extension);
    QFETCH(QByteArray, format);
    const QString dir = photoIn(QStringLiteral("ojo1.jpg"));
    Window w;
    w.form.resize(300, 200); // the window's size does not matter
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/ojo1.jpg")));
    const QString target = dir + QStringLiteral("/ojo1_ang") + extension;
    w.saveAs(target);
    QVERIFY2(w.sink.messages.isEmpty(), qPrintable(w.sink.messages.join(QLatin1Char('|'))));
    QImageReader reader(target);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.read().size(), QSize(600, 400));
    QCOMPARE(entries(dir).size(), 2); // no temporary file left behind
}

void TestSave::otherExtensionsAreRefused() {
    const QString dir = photoIn(QStringLiteral("ojo1.jpg"));
    Window w;
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/ojo1.jpg")));
    for (const char* name : {"/salida.JPG", "/salida.tiff", "/salida"})
        w.saveAs(dir + QLatin1String(name));
    QCOMPARE(w.sink.messages, QStringList(3, QString::fromUtf8(kExtensionError)));
    QCOMPARE(entries(dir), QStringList{QStringLiteral("ojo1.jpg")});
}

// A write that fails half way (the file size limit stands in for a full disk) is reported and
// leaves the file that was there as it was, with no temporary file beside it.
void TestSave::failedWritesAreReportedAndKeepTheOldFile() {
    const QString dir = photoIn(QStringLiteral("ojo1.jpg"));
    const QString target = dir + QStringLiteral("/ojo1_ang.bmp");
    writeFile(target, "the previous save");
    Window w;
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/ojo1.jpg")));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    rlimit small = old;
    small.rlim_cur = 64 * 1024; // the BMP needs 720 KB
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    w.saveAs(target);
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(readAll(target), QByteArray("the previous save"));
    QCOMPARE(entries(dir).size(), 2);

    w.saveAs(dir + QStringLiteral("/no-such-folder/x.png"));

    // A read-only folder: for root, whom permissions do not stop, the immutable attribute locks it.
    const QString locked = photoIn(QStringLiteral("ojo1.jpg"));
    writeFile(locked + QStringLiteral("/ojo1_ang.png"), "kept");
    const QFileDevice::Permissions permissions = QFile::permissions(locked);
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool root = geteuid() == 0;
    if (root)
        QCOMPARE(QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), locked}), 0);
    w.saveAs(locked + QStringLiteral("/ojo1_ang.png"));
    if (root)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), locked});
    QFile::setPermissions(locked, permissions);
    QCOMPARE(readAll(locked + QStringLiteral("/ojo1_ang.png")), QByteArray("kept"));
    QCOMPARE(entries(locked).size(), 2);

    QCOMPARE(w.sink.messages.size(), 3);
    for (const QString& message : w.sink.messages) { // the system's reason follows the fixed text
        QVERIFY2(message.startsWith(QString::fromUtf8(kSaveError) + QLatin1Char('\n')), qPrintable(message));
        QVERIFY(message.size() > int(sizeof(kSaveError)) + 2);
    }
}

void TestSave::outOfMemoryWritesNothing() {
    const QString dir = tempDir();
    QImage big(6000, 4000, QImage::Format_RGB32);
    big.fill(Qt::gray);
    QVERIFY(big.save(dir + QStringLiteral("/grande.jpg")));
    big = QImage();
    Window w;
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/grande.jpg")));

    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_AS, &old) == 0);
    rlimit tight = old; // no room for the composite's 96 MB
    tight.rlim_cur =
        rlim_t(statm.readAll().split(' ').first().toLongLong() * sysconf(_SC_PAGESIZE) + (24 << 20));
    QVERIFY(setrlimit(RLIMIT_AS, &tight) == 0);
    w.saveAs(dir + QStringLiteral("/grande_ang.png"));
    setrlimit(RLIMIT_AS, &old);

    QCOMPARE(w.sink.messages.size(), 1);
    QVERIFY(w.sink.messages.first().startsWith(QString::fromUtf8(kSaveError) + QLatin1Char('\n')));
    QCOMPARE(entries(dir), QStringList{QStringLiteral("grande.jpg")});
}

void TestSave::measurementIsStoredAsText() {
    const QString dir = photoIn(QStringLiteral("ojo1.jpg"));
    Window w;
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/ojo1.jpg")));
    w.control<QCheckBox>("GuiaMostrar")->setChecked(true);
    w.control<QSpinBox>("GuiaGrados")->setValue(30);
    w.control<QCheckBox>("SectorMostrar")->setChecked(true);
    w.control<QSpinBox>("SectorIniGrados")->setValue(20);
    w.control<QSpinBox>("SectorFinGrados")->setValue(75);
    w.control<QRadioButton>("rbOI")->setChecked(true);
    w.control<QLineEdit>("Referencia")->setText(QStringLiteral("Paciente 7, revisión"));
    w.form.CentreOffsetX = 0.25f;
    const QString expected =
        QStringLiteral("Eye: OI (left); Guide line: 30 deg; Sector: 20 to 75 deg, width 55 deg; "
                       "Centre offset: 0.25, 0; Centre size: 10%; Reference: Paciente 7, revisión");
    for (const char* ext : {".png", ".jpg"}) {
        const QString path = dir + QStringLiteral("/medida") + QLatin1String(ext);
        w.saveAs(path);
        QCOMPARE(QImageReader(path).read().text(QStringLiteral("Description")), expected);
    }
    const QString tif = dir + QStringLiteral("/medida.tif");
    w.saveAs(tif);
    QCOMPARE(exiftool({QStringLiteral("-s3"), QStringLiteral("-ImageDescription"), tif}), expected);
    QCOMPARE(QImageReader(tif).read().size(), QSize(600, 400));
    QVERIFY(w.sink.messages.isEmpty());

    QByteArray notTiff("\x89PNG, not a TIFF");
    QVERIFY(!output::addTiffDescription(notTiff, "x"));
    QCOMPARE(notTiff, QByteArray("\x89PNG, not a TIFF"));
}

void TestSave::sourceMetadataIsNotCarriedOver() {
    const QString dir = photoIn(QStringLiteral("girada.jpg"), QStringLiteral("exif_rotated.jpg"));
    const auto orientation = [](const QString& path) {
        return exiftool({QStringLiteral("-s3"), QStringLiteral("-n"), QStringLiteral("-Orientation"), path});
    };
    QCOMPARE(orientation(dir + QStringLiteral("/girada.jpg")), QStringLiteral("6"));
    Window w;
    QVERIFY(w.form.openPhotoFile(dir + QStringLiteral("/girada.jpg")));
    for (const char* ext : {".jpg", ".png", ".tif"}) {
        const QString path = dir + QStringLiteral("/girada_ang") + QLatin1String(ext);
        w.saveAs(path);
        const QString written = orientation(path);
        QVERIFY2(written.isEmpty() || written == QLatin1String("1"), qPrintable(written)); // upright
        QCOMPARE(exiftool({QStringLiteral("-s"), QStringLiteral("-ExifIFD:All"), QStringLiteral("-GPS:All"),
                           path}),
                 QString());
    }
}

QTEST_MAIN(TestSave)
#include "tst_save.moc"

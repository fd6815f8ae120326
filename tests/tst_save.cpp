// Saving the composite: the proposed name, the extensions, the written files and failed writes.
#include "testsupport.h"

#include "output/save.h"
#include "unitMain.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kSaveError = "Error al guardar la imagen\n";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// One message: the fixed text of a failed save followed by a reason that says something.
bool isSaveError(const QStringList& messages) {
    return messages.size() == 1 && messages[0].startsWith(kSaveError) &&
           messages[0].size() > kSaveError.size() + 2 && !messages[0].endsWith("Unknown error");
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

QString exiftool(const QStringList& args) {
    QProcess p;
    p.start("exiftool", args);
    if (!p.waitForFinished(30000))
        qFatal("exiftool did not run: it is needed for the metadata checks");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The main window with a copy of a test photo opened from a folder of its own (none for "").
struct Window {
    TFormMain form;
    ScriptedChooser chooser;
    RecordingSink sink;
    const QString dir = tempDir();
    explicit Window(const QString& name = "ojo1.jpg", const QString& source = "eye_600x400.jpg") {
        form.setFileChooser(&chooser);
        form.setMessageSink(&sink);
        if (!name.isEmpty())
            QVERIFY(QFile::copy(testData(source), path(name)) && form.openPhotoFile(path(name)));
    }
    QString path(const QString& name) const { return QDir(dir).filePath(name); }
    // Clicks save with the dialog answering the given name ("" cancels), taken inside the folder, and
    // waits until the file is written.
    void saveAs(const QString& name) {
        chooser.nextSave = name.isEmpty() ? name : path(name);
        form.btnImagenSaveClick();
        QVERIFY(form.waitUntilIdle());
    }
};

// Nearly transparent and half transparent pixels, whose colours premultiplying would lose.
QImage alphaPattern(const QSize& size) {
    const QRgb pixels[] = {qRgba(200, 100, 50, 2), qRgba(10, 20, 30, 0), qRgba(255, 255, 255, 1),
                           qRgba(0, 128, 255, 128), qRgba(17, 34, 51, 254)};
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, pixels[(x + 2 * y) % 5]);
    return image;
}

} // namespace

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void proposalReachesTheDialog() {
        using output::proposedSaveName;
        QCOMPARE(
            QStringList({proposedSaveName("/f/ojo1.jpg", ""), proposedSaveName("/f/ojo1.jpeg", ""),
                         proposedSaveName("/f/a.jp", ""), proposedSaveName("/f/ojo2.png", "/x/o_ang.jpg")}),
            QStringList({"ojo1_ang", "ojo1._ang", "_ang", "ojo2_ang"}));
        Window w;
        w.saveAs(""); // cancelled: nothing written
        QCOMPARE(w.chooser.lastProposedName, QStringLiteral("ojo1_ang"));
        QCOMPARE(w.chooser.lastFilterIndex, 2);
        QCOMPARE(w.chooser.lastSuffix, QStringLiteral("jpg"));
        QVERIFY(w.chooser.lastFilter.split(";;").at(1).startsWith("Archivos JPG"));
        QCOMPARE(entries(w.dir), QStringList{"ojo1.jpg"});

        w.saveAs("elegido.png");
        QImage pasted(320, 240, QImage::Format_RGB32);
        pasted.fill(Qt::darkCyan);
        QGuiApplication::clipboard()->setImage(pasted);
        w.form.btnImagenPasteClick();
        QVERIFY(w.form.waitUntilIdle());
        w.saveAs("");
        QCOMPARE(w.chooser.lastProposedName, w.path("elegido.png")); // after a paste, the name last chosen
        QVERIFY(w.sink.messages.isEmpty());
    }

    void filterKeptAcrossSaves() {
        Window w;
        w.chooser.nextSaveFilterIndex = 4; // "Archivos PNG"
        w.saveAs("primera.png");
        w.chooser.nextSaveFilterIndex = 0;
        w.saveAs("");
        QCOMPARE(w.chooser.lastFilterIndex, 4);
        QVERIFY(w.sink.messages.isEmpty());
    }

    // A PNG photo with partly transparent pixels is opened and saved as PNG with the gauge. Wherever
    // the gauge leaves the photo alone (where it leaves both a black and a white photo of the same
    // size unchanged) the saved pixels are the source's, alpha and colour exact.
    void transparentPixelsSurviveExactly() {
        const QSize size(300, 200);
        Window w("");
        const auto composited = [&w, size](const QString& name, const QImage& photo) {
            QVERIFY(photo.save(w.path(name + ".png")) && w.form.openPhotoFile(w.path(name + ".png")));
            w.saveAs(name + "_ang.png");
            QVERIFY2(w.sink.messages.isEmpty(), qPrintable(w.sink.messages.join('|')));
        };
        const auto read = [&w](const QString& name) {
            return QImage(w.path(name + "_ang.png")).convertToFormat(QImage::Format_ARGB32);
        };
        QImage black(size, QImage::Format_RGB32), white(size, QImage::Format_RGB32);
        black.fill(Qt::black);
        white.fill(Qt::white);
        composited("black", black);
        composited("white", white);
        const QImage pattern = alphaPattern(size);
        composited("alpha", pattern);
        QCOMPARE(w.form.photo().format(), QImage::Format_ARGB32);
        QVERIFY(w.form.photo() == pattern);

        const QImage onBlack = read("black"), onWhite = read("white"), saved = read("alpha");
        QCOMPARE(saved.size(), size);
        int untouched = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                if (onBlack.pixel(x, y) != qRgb(0, 0, 0) || onWhite.pixel(x, y) != qRgb(255, 255, 255))
                    continue;
                ++untouched;
                if (saved.pixel(x, y) != pattern.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, was %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(saved.pixel(x, y), 8, 16)
                                         .arg(pattern.pixel(x, y), 8, 16)));
            }
        QVERIFY2(untouched > size.width() * size.height() / 2, qPrintable(QString::number(untouched)));
    }

    // Each extension writes the upright photo with the measurement as text and none of the source's
    // EXIF. The row's name is the extension.
    void everyExtensionWritesThePhoto_data() {
        QTest::addColumn<QByteArray>("format");
        for (const char* ext : {"png", "bmp"})
            QTest::newRow(ext) << QByteArray(ext);
        QTest::newRow("jpg") << QByteArray("jpeg");
        QTest::newRow("jpeg") << QByteArray("jpeg");
        QTest::newRow("tif") << QByteArray("tiff");
    }
    void everyExtensionWritesThePhoto() {
        QFETCH(QByteArray, format);
        Window w("girada.jpg", "exif_rotated.jpg"); // 200 x 100 turned upright by its EXIF orientation
        w.form.findChild<QCheckBox*>("GuiaMostrar")->setChecked(true);
        w.form.findChild<QSpinBox*>("GuiaGrados")->setValue(30);
        w.form.findChild<QCheckBox*>("SectorMostrar")->setChecked(true);
        w.form.findChild<QSpinBox*>("SectorIniGrados")->setValue(20);
        w.form.findChild<QSpinBox*>("SectorFinGrados")->setValue(75);
        w.form.findChild<QRadioButton*>("rbOI")->setChecked(true);
        w.form.findChild<QLineEdit*>("Referencia")->setText("Paciente 7, revisión");
        w.form.CentreOffsetX = 0.25f;
        const QString target = w.path("girada_ang." + QLatin1String(QTest::currentDataTag()));
        w.saveAs(target);
        QVERIFY2(w.sink.messages.isEmpty(), qPrintable(w.sink.messages.join('|')));
        QCOMPARE(entries(w.dir).size(), 2); // no temporary file left behind
        QImageReader reader(target);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(100, 200));

        const QString expected = "Eye: OI (left); Guide line: 30 deg; Sector: 20 to 75 deg, width 55 deg; "
                                 "Centre offset: 0.25, 0; Centre size: 10%; Reference: Paciente 7, revisión";
        if (format == "tiff")
            QCOMPARE(exiftool({"-s3", "-ImageDescription", target}), expected);
        else if (format != "bmp")
            QCOMPARE(image.text("Description"), expected);
        const QString orientation = exiftool({"-s3", "-n", "-Orientation", target});
        QVERIFY2(orientation.isEmpty() || orientation == "1", qPrintable(orientation));
        QCOMPARE(exiftool({"-s", "-ExifIFD:All", "-GPS:All", target}), QString());
    }

    void otherExtensionsAreRefused() {
        Window w;
        const QStringList names{"s.JPG", "s.Png", "s.tiff", "s", "s.png.txt", "a.png/s"};
        for (const QString& name : names)
            w.saveAs(name);
        QCOMPARE(w.sink.messages, QStringList(names.size(), "Error, no entiendo esa extension"));
        QCOMPARE(entries(w.dir), QStringList{"ojo1.jpg"});
    }

    // A write that fails half way (the file-size limit stands in for a full disk) and a composite with
    // no memory left to render in: both leave the file that was there as it was.
    void limitsLeaveTheOldFile_data() {
        QTest::addColumn<bool>("memory");
        QTest::addColumn<QString>("target");
        QTest::newRow("file size") << false << "grande_ang.bmp";
        QTest::newRow("memory") << true << "grande_ang.bmp";
        QTest::newRow("file size, png") << false << "grande_ang.png";
    }
    void limitsLeaveTheOldFile() {
        QFETCH(bool, memory);
        QFETCH(QString, target);
        Window w("");
        QImage big(6000, 4000, QImage::Format_RGB32);
        big.fill(Qt::gray);
        QVERIFY(big.save(w.path("grande.jpg")));
        big = QImage();
        QVERIFY(w.form.openPhotoFile(w.path("grande.jpg")));
        writeFile(w.path(target), "previous");

        malloc_trim(0);
        QFile statm("/proc/self/statm");
        QVERIFY(statm.open(QIODevice::ReadOnly));
        const rlim_t used = statm.readAll().split(' ').first().toLongLong() * sysconf(_SC_PAGESIZE);
        std::signal(SIGXFSZ, SIG_IGN);
        const auto resource = memory ? RLIMIT_AS : RLIMIT_FSIZE;
        rlimit old{};
        QVERIFY(getrlimit(resource, &old) == 0);
        rlimit low = old; // the composite needs 96 MB of memory, the BMP 72 MB on disk
        low.rlim_cur = memory ? used + (24 << 20) : 16 * 1024;
        QVERIFY(setrlimit(resource, &low) == 0);
        w.saveAs(target);
        setrlimit(resource, &old);

        QCOMPARE(readAll(w.path(target)), QByteArray("previous"));
        QCOMPARE(entries(w.dir).size(), 2); // no temporary file either
        QVERIFY2(isSaveError(w.sink.messages), qPrintable(w.sink.messages.join('|')));
    }

    // A large photo opened and its composite saved in the background: meanwhile the window handles
    // events under a busy cursor, the open, paste, save and print buttons are disabled, and a second
    // open or save, or a dropped file, is refused; the photo is shown once decoded, the file is whole.
    void openAndSaveRunInTheBackground() {
        Window w("");
        QImage big(6000, 4000, QImage::Format_RGB32);
        big.fill(Qt::darkGray);
        QVERIFY(big.save(w.path("grande.jpg"), "JPEG", 90));
        big = QImage();
        const auto buttonsEnabled = [&w] {
            int n = 0;
            for (const char* name : {"btnImagenOpen", "btnImagenPaste", "btnImagenSave", "btnPrint"})
                n += requireChild<QPushButton>(&w.form, name)->isEnabled();
            return n;
        };
        bool handledWhileBusy = false;
        const auto refusedWhileBusy = [&] {
            QTimer::singleShot(0, &w.form, [&] { handledWhileBusy = w.form.busy(); });
            QVERIFY(w.form.busy());
            QCOMPARE(buttonsEnabled(), 0);
            QVERIFY(QGuiApplication::overrideCursor() &&
                    QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor);
            QVERIFY(!w.form.startOpening(testData("eye_600x400.jpg")));
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(testData("sample.bmp"))});
            QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&w.form, &enter);
            QVERIFY(!enter.isAccepted());
            const int saves = w.chooser.saves;
            w.form.btnImagenSaveClick();
            QCOMPARE(w.chooser.saves, saves);
        };

        QVERIFY(w.form.startOpening(w.path("grande.jpg")));
        refusedWhileBusy();
        QVERIFY(w.form.photo().isNull()); // nothing shown before it is decoded
        QVERIFY(w.form.waitUntilIdle());
        QVERIFY(handledWhileBusy);
        QCOMPARE(w.form.photo().size(), QSize(6000, 4000));
        QCOMPARE(w.form.sourcePath(), w.path("grande.jpg"));
        QCOMPARE(buttonsEnabled(), 4);
        QVERIFY(!QGuiApplication::overrideCursor());

        handledWhileBusy = false;
        w.chooser.nextSave = w.path("grande_ang.png");
        w.form.btnImagenSaveClick();
        refusedWhileBusy();
        QVERIFY(w.form.waitUntilIdle());
        QVERIFY(handledWhileBusy);
        QCOMPARE(QImage(w.path("grande_ang.png")).size(), QSize(6000, 4000));
        QCOMPARE(entries(w.dir), QStringList({"grande.jpg", "grande_ang.png"}));
        QCOMPARE(w.form.sourcePath(), w.path("grande.jpg"));
        QVERIFY(w.sink.messages.isEmpty());
    }

    // Permissions do not stop root, so for root the immutable attribute locks the folder.
    void readOnlyFolderKeepsTheOldFile() {
        Window w;
        const QString locked = tempDir(), target = locked + "/ojo1_ang.png";
        writeFile(target, "kept");
        const QFileDevice::Permissions permissions = QFile::permissions(locked);
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const bool root = geteuid() == 0;
        if (root)
            QCOMPARE(QProcess::execute("chattr", {"+i", locked}), 0);
        w.saveAs(target);
        if (root)
            QProcess::execute("chattr", {"-i", locked});
        QFile::setPermissions(locked, permissions);
        QCOMPARE(readAll(target), QByteArray("kept"));
        QVERIFY2(isSaveError(w.sink.messages), qPrintable(w.sink.messages.join('|')));
    }
};

// One test lowers the memory limit on purpose: under AddressSanitizer an allocation beyond it must
// fail as it does in the program, not end the test.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

QTEST_MAIN(TestSave)
#include "tst_save.moc"

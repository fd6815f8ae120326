// The bad-input sweep: over a thousand malformed files made from the real test images, special
// entries and every input the fuzzer ever stopped on (tests/data/bad), each through the window's
// open, drop and paste paths and through pelvanor-render. Each either loads whole or gets its
// message and changes nothing; none crashes, writes a file or keeps the program waiting.
#include "malformed_files.h"
#include "testsupport.h"

#include "app/application.h"
#include "app/unitMain.h"
#include "imaging/fit.h"
#include "imaging/imaging.h"
#include "output/render_cli.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLoggingCategory>
#include <QMimeData>
#include <QtTest>

#include <unistd.h>

namespace {

// A load that takes longer than this is a hang, not a slow decode: the photos here are small, and
// the margin covers a loaded machine running the sanitizer build.
constexpr qint64 kHangMs = 60000;
const char kOpenError[] = "Error al abrir la imagen";

// Picture bytes offered by another program, read as the desktop clipboard reads them: Qt turns the
// offered image data into the image the paste handler takes.
class OfferedPicture : public QMimeData {
public:
    explicit OfferedPicture(QByteArray bytes) : bytes(std::move(bytes)) {}
    QStringList formats() const override { return {"image/png", "application/x-qt-image"}; }
    bool hasFormat(const QString& format) const override { return formats().contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override {
        if (format == QLatin1String("application/x-qt-image"))
            return QImage::fromData(bytes);
        return bytes;
    }

private:
    QByteArray bytes;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 20) : QByteArray();
}

// DICOM files that no photo can come from: cut short, pixel data whose length field lies, more rows
// than pixels, sequences nested a thousand deep.
QVector<MalformedFile> malformedDicom(const QByteArray& dicom) {
    const int pixelLength = dicom.indexOf(QByteArray("\xE0\x7F\x10\x00", 4)) + 8;
    const int rows = dicom.indexOf(QByteArray("\x28\x00\x10\x00US", 6)) + 8;
    const auto with = [&](int at, quint32 value, int size) {
        return dicom.left(at) + QByteArray(reinterpret_cast<const char*>(&value), size) +
               dicom.mid(at + size);
    };
    const QVector<QPair<const char*, QByteArray>> cases{
        {"DICOM cut in its pixel data", dicom.left(dicom.size() - 1000)},
        {"DICOM cut in its header", dicom.left(pixelLength - 40)},
        {"DICOM pixel data longer than the file", with(pixelLength, 0xFFFFFFF0, 4)},
        {"DICOM pixel data length short of the pixels", with(pixelLength, 1000, 4)},
        {"DICOM with more rows than pixels", with(rows, 401, 2)},
        {"DICOM sequences 1000 deep", nestedSequences(1000)},
    };
    const QString dir = tempDir();
    QVector<MalformedFile> files;
    for (const auto& [what, bytes] : cases)
        files << MalformedFile{writeFile(dir, QString::number(files.size()) + ".dcm", bytes), what, true};
    return files;
}

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT

    enum class Way { Open, Drop, Paste };

    std::unique_ptr<TFormMain> form;
    ScriptedChooser chooser;
    RecordingSink sink;
    QVector<MalformedFile> files;
    QString filesDir, outDir;
    QStringList listingBefore;
    const QString baseline = testData("sample.bmp");

    QLabel* screen() { return form->findChild<QLabel*>("imgScreen"); }
    auto snapshot() {
        return std::make_tuple(form->photo().cacheKey(), form->sourcePath(), screen()->geometry(),
                               screen()->pixmap().cacheKey());
    }

    void load(const MalformedFile& f, Way way) {
        if (way == Way::Open) {
            chooser.nextOpen = f.path;
            form->btnImagenOpenClick();
        } else if (way == Way::Drop) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(f.path)});
            QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &enter);
            QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(form.get(), &drop);
        } else {
            QGuiApplication::clipboard()->setMimeData(new OfferedPicture(contents(f.path)));
            form->btnImagenPasteClick();
        }
        form->waitUntilIdle(); // decoding runs in the background
    }

    // Empty when the load either adopted the whole photo or reported one failure and changed nothing.
    QString check(const MalformedFile& f, Way way) {
        const auto before = snapshot();
        sink = RecordingSink();
        QElapsedTimer timer;
        timer.start();
        load(f, way);
        if (timer.elapsed() > kHangMs)
            return QStringLiteral("took %1 ms").arg(timer.elapsed());
        if (QGuiApplication::overrideCursor())
            return "the wait cursor stays";
        const QStringList reports = sink.messages + sink.errors;
        if (!reports.isEmpty()) {
            if (snapshot() != before)
                return "failed but changed the photo, path or display";
            if (reports.size() != 1 || (way != Way::Paste && !reports.first().startsWith(kOpenError)))
                return "unexpected messages: " + reports.join(" | ");
            return QString();
        }
        if (f.mustFail)
            return "loaded although it cannot be a photo";
        const QString path = way == Way::Paste ? QString() : f.path;
        if (form->photo().isNull() || form->sourcePath() != path)
            return "no message, yet no photo or the wrong path";
        if (screen()->geometry() != fitPhotoRect(729, 606, form->photo().width(), form->photo().height()))
            return "loaded but not fitted";
        return QString();
    }

    void sweep(Way way) {
        QVERIFY(form->openPhotoFile(baseline)); // whatever loads last is the photo a failure must keep
        QStringList failures;
        int tried = 0, loaded = 0;
        for (const MalformedFile& f : files) {
            if (way == Way::Paste && !QFileInfo(f.path).isFile())
                continue; // the clipboard carries bytes, not paths
            const QString problem = check(f, way);
            if (!problem.isEmpty())
                failures << QStringLiteral("%1 (%2): %3").arg(f.what, f.path, problem);
            ++tried;
            loaded += sink.messages.isEmpty() && sink.errors.isEmpty();
        }
        qInfo("%d tried: %d loaded whole, %d refused with a message", tried, loaded, tried - loaded);
        QCOMPARE(QDir(filesDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 listingBefore);
        QVERIFY2(failures.isEmpty(), qPrintable(QString::number(failures.size()) +
                                                " failures, first: " + failures.mid(0, 10).join('\n')));
    }

    QString checkRender(const MalformedFile& f) {
        const QString out = outDir + "/out.bmp";
        const output::ParsedCommand parsed = output::parseRenderCommand({f.path, out});
        QString error;
        const int code = output::runRenderJob(parsed.job, form->brandLogo(), form->brandLettering(), &error);
        const bool written = QFile::exists(out);
        QFile::remove(out);
        if (code == output::kRenderOk)
            return f.mustFail ? "rendered although it cannot be a photo" : written ? QString() : "no output";
        if (code != output::kRenderFailed || error.isEmpty())
            return QStringLiteral("exit %1 with '%2'").arg(code).arg(error);
        return written ? "failed but wrote the output" : QString();
    }

private slots:
    void initTestCase() {
        filesDir = tempDir();
        outDir = tempDir();
        const QStringList sources{"eye_600x400.jpg", "exif_rotated.jpg", "png_named.jpg",
                                  "alpha.png",       "sample.bmp",       "sample.tif"};
        QStringList paths;
        for (const QString& s : sources)
            paths << testData(s);
        const QString dicomDir = tempDir(), dicom = dicomDir + "/eye.dcm";
        QCOMPARE(runTool("img2dcm", {"-i", "BMP", eyeBmp(dicomDir), dicom}), "");
        QCOMPARE(runTool("dcmcrle", {dicom, dicomDir + "/rle.dcm"}), "");
        paths << dicom << dicomDir + "/rle.dcm";
        files = makeMalformedFiles(paths, filesDir, 1050, 20261207);
        files += malformedDicom(contents(dicom));
        files += makeSpecialEntries(filesDir);
        const QString locked = writeFile(filesDir, "locked.jpg", contents(baseline));
        QFile::setPermissions(locked, {});
        files << MalformedFile{locked, "no read permission", geteuid() != 0}; // root reads it anyway
        const QDir bad(testData("bad"));
        for (const QString& name : bad.entryList(QDir::Files))
            files << MalformedFile{bad.filePath(name), "fuzzer finding " + name, false};
        QVERIFY(files.size() >= 1000);
        listingBefore = QDir(filesDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        qInfo("%d malformed files and special entries", int(files.size()));

        form = std::make_unique<TFormMain>();
        form->setFileChooser(&chooser);
        form->setMessageSink(&sink);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanupTestCase() { form.reset(); }

    void openPath() { sweep(Way::Open); }
    void dropPath() { sweep(Way::Drop); }
    void pastePath() { sweep(Way::Paste); }

    void renderInProcess() {
        QStringList failures;
        for (const MalformedFile& f : files)
            if (const QString problem = checkRender(f); !problem.isEmpty())
                failures << QStringLiteral("%1 (%2): %3").arg(f.what, f.path, problem);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 10).join('\n')));
    }

    // The real program for the special entries and a sample of the rest: exit 1 and nothing written,
    // or a whole output.
    void renderProgram() {
        for (int i = 0; i < files.size(); ++i) {
            const MalformedFile& f = files.at(i);
            if (i % 100 != 0 && !f.mustFail)
                continue;
            QProcess p;
            p.setWorkingDirectory(outDir);
            p.start(PELVANOR_BIN_DIR "/pelvanor-render", {f.path, "out.png"});
            QVERIFY2(p.waitForFinished(int(kHangMs)), qPrintable(f.what));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            const int code = p.exitCode();
            QVERIFY2(code == 1 || (code == 0 && !f.mustFail), qPrintable(f.what));
            QCOMPARE(QFile::exists(outDir + "/out.png"), code == 0);
            QFile::remove(outDir + "/out.png");
        }
    }
};

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    QLoggingCategory::setFilterRules("qt.gui.imageio*=false"); // a thousand decoder complaints
    imaging::configureDecoderLimits();
    TestBadFiles test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_badfiles.moc"

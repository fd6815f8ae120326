// Printing a 24-megapixel composite, each figure against a baseline of the same run: a preview
// redraw after a spin change against a plain copy of the composite, "Imprimir" to a finished PDF
// file against rendering the composite, and the peak memory of a whole print against the
// composite's own bytes. The destination is the PDF file: the benchmark sees no print server.
#include "app/platform.h"
#include "app/unitPrintImage.h"
#include "app/unitSpinField.h"
#include "imaging/imaging.h"
#include "output/composite.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

class FixedName : public FileChooser {
public:
    QString path;
    QString openFile(QWidget*, const QString&) override { return QString(); }
    QString saveFile(QWidget*, const QString&, int&, const QString&, const QString&) override { return path; }
};

struct Fixture {
    QTemporaryDir dir;
    QString jpegPath;
    CompositeInputs inputs;
    QImage composite;

    Fixture() {
        jpegPath = dir.filePath(QStringLiteral("photo.jpg"));
        noisyCameraPhoto(kWidth, kHeight).save(jpegPath, "JPEG", 90);
        inputs = busyCompositeInputs(imaging::decodeFile(jpegPath).image);
        composite = renderComposite(inputs).image;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Copy and redraw alternate, so machine load falls on both alike.
void BM_PreviewRedraw(benchmark::State& state) {
    Fixture& f = fixture();
    TPrintImage dialog;
    dialog.SetImage(f.composite);
    auto* width = dialog.findChild<SpinField*>(QStringLiteral("spWPor"));
    double copyMs = 0, redrawMs = 0;
    int percent = 60;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QImage copy = f.composite.copy();
        benchmark::DoNotOptimize(copy.constBits());
        copyMs += msSince(t);
        copy = QImage();

        t.restart();
        width->setValue(percent ^= 1); // coupling, layout and preview, as typing a digit does
        benchmark::DoNotOptimize(dialog.previewPicture().constBits());
        redrawMs += msSince(t);
        state.SetIterationTime(msSince(t) / 1000);
    }
    state.counters["copy_ms"] = copyMs / state.iterations();
    state.counters["redraw_ms"] = redrawMs / state.iterations();
    state.counters["ratio"] = redrawMs / copyMs; // target <= 0.05
}
// A fixed count: the copies, not timed as the figure, would otherwise run for minutes.
BENCHMARK(BM_PreviewRedraw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_PrintToPdf(benchmark::State& state) {
    Fixture& f = fixture();
    TPrintImage dialog;
    FixedName chooser;
    chooser.path = f.dir.filePath(QStringLiteral("page.pdf"));
    dialog.setFileChooser(&chooser);
    double renderMs = 0, printMs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        CompositeResult r = renderComposite(f.inputs);
        benchmark::DoNotOptimize(r.image.constBits());
        renderMs += msSince(t);

        dialog.SetImage(r.image);
        t.restart();
        dialog.btnImprimirClick();
        printMs += msSince(t);
        state.SetIterationTime(msSince(t) / 1000);
        if (!QFile::exists(chooser.path)) {
            state.SkipWithError("no PDF was written");
            return;
        }
    }
    state.counters["render_ms"] = renderMs / state.iterations();
    state.counters["print_ms"] = printMs / state.iterations();
    state.counters["pdf_MB"] = QFile(chooser.path).size() / double(1 << 20);
    state.counters["ratio"] = printMs / renderMs; // target <= 3
}
BENCHMARK(BM_PrintToPdf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

// A whole print in a process of its own: decode, composite, dialog, PDF file.
int printOnce(const QString& photoPath, const QString& pdfPath) {
    CompositeResult r = renderComposite(busyCompositeInputs(imaging::decodeFile(photoPath).image));
    TPrintImage dialog;
    FixedName chooser;
    chooser.path = pdfPath;
    dialog.setFileChooser(&chooser);
    dialog.SetImage(r.image);
    dialog.btnImprimirClick();
    return QFile::exists(pdfPath) ? 0 : 1;
}

void BM_PeakMemoryOfPrint(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    const QByteArray photo = f.jpegPath.toLocal8Bit();
    const QByteArray out = f.dir.filePath(QStringLiteral("peak.pdf")).toLocal8Bit();
    const double compositeMb = double(kWidth) * kHeight * 4 / (1 << 20);
    reportPeakMemory(state, {program, "--print-once", photo, out}, 3 * compositeMb + 60);
}
BENCHMARK(BM_PeakMemoryOfPrint)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    drawOffscreenByDefault();
    qputenv("CUPS_SERVER", "/nonexistent.sock"); // the PDF file is the destination
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    imaging::configureDecoderLimits();
    if (argc == 4 && QByteArray(argv[1]) == "--print-once")
        return printOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    return runBenchmarks(argc, argv, [] { fixture(); });
}

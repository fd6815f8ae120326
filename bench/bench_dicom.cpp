// DICOM photos: opening a 24-megapixel uncompressed DICOM file against the same image as BMP
// (target: ratio_to_bmp <= 1.5), and the peak memory of opening it and saving the composite as
// DICOM (target: peak_MB <= 2 x the photo's 32-bit pixels + 60 MB).
#include "bench_support.h"

#include "imaging/dicom.h"
#include "output/save.h"

#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

struct Fixture {
    QTemporaryDir dir;
    QString bmp = dir.filePath(QStringLiteral("photo.bmp"));
    QString dicom = dir.filePath(QStringLiteral("photo.dcm"));
    double bmpSeconds = 0;
    Fixture() {
        const QImage photo = noisyCameraPhoto(kWidth, kHeight);
        photo.convertToFormat(QImage::Format_RGB888).save(bmp, "BMP");
        QFile file(dicom);
        file.open(QIODevice::WriteOnly);
        if (!imaging::encodeDicom(photo, file, {}).isEmpty())
            qFatal("cannot write the DICOM photo");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_OpenBmp(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        f.bmpSeconds = secondsPerCall([&] { benchmark::DoNotOptimize(imaging::decodeFile(f.bmp).image); }, 1);
}
BENCHMARK(BM_OpenBmp)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OpenDicom(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    for (auto _ : state)
        seconds = secondsPerCall([&] { benchmark::DoNotOptimize(imaging::decodeFile(f.dicom).image); }, 1);
    state.counters["ratio_to_bmp"] = f.bmpSeconds > 0 ? seconds / f.bmpSeconds : 0;
    state.counters["ms"] = seconds * 1000;
}
BENCHMARK(BM_OpenDicom)->Unit(benchmark::kMillisecond)->Iterations(1);

// The window's open and save: decode, composite, DICOM file.
int openAndSaveOnce(const QString& photo, const QString& out) {
    imaging::Decoded decoded = imaging::decodeFile(photo);
    if (!decoded.ok())
        return 1;
    CompositeInputs in = busyCompositeInputs(decoded.image);
    decoded.image = QImage();
    CompositeResult composite = renderComposite(in);
    in.photo = QImage();
    return output::writeImageFile(std::move(composite.image), out, output::kDicomMimeType,
                                  output::measurementText(in), {{}, false, decoded.dicom})
                   .ok
               ? 0
               : 1;
}

void BM_PeakMemoryOfOpenAndSave(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    const QByteArray out = f.dir.filePath(QStringLiteral("out.dcm")).toLocal8Bit();
    reportPeakMemory(state, {program, "--open-save-once", f.dicom.toLocal8Bit(), out},
                     2.0 * kWidth * kHeight * 4 / (1 << 20) + 60);
}
BENCHMARK(BM_PeakMemoryOfOpenAndSave)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    drawOffscreenByDefault();
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    imaging::configureDecoderLimits();
    if (argc == 4 && QByteArray(argv[1]) == "--open-save-once")
        return openAndSaveOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    return runBenchmarks(argc, argv, [] { fixture(); });
}

// The composite and its saving on a 24-megapixel photo, each against a baseline of the same run:
// rendering against a plain copy of the photo, saving as PNG against ImageMagick writing the same
// composite as PNG (and a real camera photo's), and the peak memory of a whole save against the
// photo's own pixel bytes.
#include "imaging/imaging.h"
#include "output/composite.h"
#include "output/save.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct Fixture {
    QTemporaryDir dir;
    QString jpegPath; // the photo as a camera would deliver it
    QString ppmPath;  // the composite for ImageMagick, cheap to read
    CompositeInputs inputs;

    Fixture() {
        jpegPath = dir.filePath(QStringLiteral("photo.jpg"));
        ppmPath = dir.filePath(QStringLiteral("composite.ppm"));
        noisyCameraPhoto(kWidth, kHeight).save(jpegPath, "JPEG", 90);
        inputs = busyCompositeInputs(imaging::decodeFile(jpegPath).image);
        renderComposite(inputs).image.save(ppmPath, "PPM"); // exactly the pixels our writer gets
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Copy and composite alternate round by round and the ratio is the median of the rounds' ratios, so
// that load from other programs falls on both alike and a disturbed round does not count.
void BM_RenderComposite(benchmark::State& state) {
    const CompositeInputs& in = fixture().inputs;
    const int threads = int(state.range(0));
    double copyMs = 0, renderMs = 0;
    std::vector<double> ratios;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QImage copy = in.photo.copy();
        benchmark::DoNotOptimize(copy.constBits());
        const double copied = msSince(t);
        copy = QImage();

        t.restart();
        CompositeResult r = renderComposite(in, threads);
        benchmark::DoNotOptimize(r.image.constBits());
        const double rendered = msSince(t);
        copyMs += copied;
        renderMs += rendered;
        ratios.push_back(rendered / copied);
        state.SetIterationTime(rendered / 1000);
    }
    state.counters["copy_ms"] = copyMs / state.iterations();
    state.counters["render_ms"] = renderMs / state.iterations();
    state.counters["ratio"] = median(ratios); // target <= 1.3 with the program's own threads
}
// Argument: threads, 0 for the program's own choice.
BENCHMARK(BM_RenderComposite)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A photo with alpha is held straight (ARGB32) and the composite drawn on it through an ink layer;
// against the same photo opaque, in the same run. Such photos are rare; target <= 3.
void BM_RenderCompositeAlpha(benchmark::State& state) {
    const CompositeInputs& opaque = fixture().inputs;
    CompositeInputs alpha = opaque;
    alpha.photo = opaque.photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.photo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(alpha.photo.scanLine(y));
        for (int x = 0; x < alpha.photo.width(); ++x)
            row[x] = (row[x] & 0x00ffffff) | (QRgb((x + y) % 256) << 24);
    }
    double opaqueMs = 0, alphaMs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        CompositeResult r = renderComposite(opaque);
        benchmark::DoNotOptimize(r.image.constBits());
        opaqueMs += msSince(t);
        r = CompositeResult();

        t.restart();
        r = renderComposite(alpha);
        benchmark::DoNotOptimize(r.image.constBits());
        alphaMs += msSince(t);
        state.SetIterationTime(msSince(t) / 1000);
    }
    state.counters["opaque_ms"] = opaqueMs / state.iterations();
    state.counters["alpha_ms"] = alphaMs / state.iterations();
    state.counters["ratio"] = alphaMs / opaqueMs;
}
BENCHMARK(BM_RenderCompositeAlpha)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// A real camera photo, tiled 2 x 2 to the size of a phone's, for the PNG writer: its smooth areas
// and sensor noise compress unlike the enlarged test eye. Read from the file named by
// PELVANOR_CAMERA_PHOTO (scripts/bench names one where a folder of real photos sits beside the project).
struct CameraFixture {
    QTemporaryDir dir;
    QString ppmPath;
    CompositeInputs inputs;
    QString missing; // why there is none

    CameraFixture() {
        const QString path = qEnvironmentVariable("PELVANOR_CAMERA_PHOTO");
        const QImage photo = imaging::decodeFile(path).image.convertToFormat(QImage::Format_RGB32);
        if (photo.isNull()) {
            missing = "no camera photo: set PELVANOR_CAMERA_PHOTO to a JPEG from a camera";
            return;
        }
        QImage tiled(photo.width() * 2, photo.height() * 2, QImage::Format_RGB32);
        for (int y = 0; y < tiled.height(); ++y)
            for (int half = 0; half < 2; ++half)
                std::memcpy(tiled.scanLine(y) + half * photo.bytesPerLine(),
                            photo.constScanLine(y % photo.height()), size_t(photo.bytesPerLine()));
        inputs = busyCompositeInputs(tiled);
        ppmPath = dir.filePath(QStringLiteral("composite.ppm"));
        renderComposite(inputs).image.save(ppmPath, "PPM");
    }
};

// Our PNG of the composite against ImageMagick writing the same pixels as PNG.
void savePngAgainstImageMagick(benchmark::State& state, const CompositeInputs& inputs, const QString& ppmPath,
                               const QTemporaryDir& dir) {
    const QString ours = dir.filePath(QStringLiteral("ours.png"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.png"));
    double oursMs = 0, theirsMs = 0;
    std::vector<double> ratios; // round by round, as for the composite: load falls on both alike
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QProcess magick;
        magick.start(QStringLiteral("convert-im6.q16"), {ppmPath, theirs});
        if (!magick.waitForFinished(-1) || magick.exitCode() != 0) {
            state.SkipWithError("ImageMagick (convert-im6.q16) failed");
            return;
        }
        const double theirMs = msSince(t);
        theirsMs += theirMs;

        t.restart();
        CompositeResult r = renderComposite(inputs);
        const output::WriteResult w =
            output::writeImageFile(std::move(r.image), ours, "image/png", output::measurementText(inputs));
        if (!w.ok) {
            state.SkipWithError(w.error.toUtf8().constData());
            return;
        }
        const double ourMs = msSince(t);
        oursMs += ourMs;
        ratios.push_back(ourMs / theirMs);
        state.SetIterationTime(ourMs / 1000);
    }
    state.counters["ours_ms"] = oursMs / state.iterations();
    state.counters["imagemagick_ms"] = theirsMs / state.iterations();
    state.counters["ratio"] = median(ratios); // target <= 0.15
    // The same pixels through both encoders: target within 0.9 .. 1.1.
    state.counters["size_ratio"] = double(QFile(ours).size()) / QFile(theirs).size();
}

void BM_SavePng(benchmark::State& state) {
    Fixture& f = fixture();
    savePngAgainstImageMagick(state, f.inputs, f.ppmPath, f.dir);
}
BENCHMARK(BM_SavePng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SavePngCameraPhoto(benchmark::State& state) {
    static CameraFixture f;
    if (!f.missing.isEmpty()) {
        state.SkipWithError(f.missing.toUtf8().constData());
        return;
    }
    savePngAgainstImageMagick(state, f.inputs, f.ppmPath, f.dir);
}
BENCHMARK(BM_SavePngCameraPhoto)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// A whole save by the headless renderer in a process of its own: decode, composite, PNG.
void BM_PeakMemoryOfSave(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray program =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/pelvanor-render")).toLocal8Bit();
    const QByteArray photo = f.jpegPath.toLocal8Bit();
    const QByteArray out = f.dir.filePath(QStringLiteral("peak.png")).toLocal8Bit();
    const double pixelMb = double(kWidth) * kHeight * 4 / (1 << 20);
    reportPeakMemory(state,
                     {program, "--guide", "30", "--sector", "20,75", "--reference", "Paciente 7", photo, out},
                     2 * pixelMb + 60);
}
BENCHMARK(BM_PeakMemoryOfSave)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    drawOffscreenByDefault();
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    imaging::configureDecoderLimits();
    return runBenchmarks(argc, argv, [] { fixture(); });
}

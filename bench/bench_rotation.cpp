// Cost of measuring the rotation between two 24-megapixel photos of an eye, reported as a ratio to
// decoding one of them from JPEG, measured in the same run (target: at most 5).
#include "analysis/rotation.h"
#include "imaging/imaging.h"
#include "output/rotation_report.h"
#include "synthetic_eye.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>

#include "bench_support.h"

#include <benchmark/benchmark.h>

namespace {

struct Pair {
    QImage reference, current;
    QByteArray referenceJpeg;
};

const Pair& pair24() {
    static const Pair pair = [] {
        EyeSpec s;
        s.size = QSize(6000, 4000);
        s.limbusCentre = QPointF(3100, 1950);
        s.limbusRadius = 1150;
        s.lidCover = 0.25;
        Pair p;
        p.reference = makeSyntheticEye(s).photo;
        p.current = QImage(p.reference.size(), QImage::Format_RGB32);
        p.current.fill(QColor(200, 160, 140));
        QPainter painter(&p.current);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(s.limbusCentre + QPointF(120, -80));
        painter.rotate(-6.5); // counter-clockwise on the screen
        painter.scale(1.05, 1.05);
        painter.translate(-s.limbusCentre);
        painter.drawImage(0, 0, p.reference);
        painter.end();
        QBuffer buffer(&p.referenceJpeg);
        buffer.open(QIODevice::WriteOnly);
        p.reference.save(&buffer, "JPG", 90);
        return p;
    }();
    return pair;
}

double decodeSeconds() {
    static const double s = secondsPerCall(
        [] { benchmark::DoNotOptimize(imaging::decodeBytes(pair24().referenceJpeg).image.constBits()); }, 3);
    return s;
}

void BM_DecodeOne24MpJpeg(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(imaging::decodeBytes(pair24().referenceJpeg).image.constBits());
}
BENCHMARK(BM_DecodeOne24MpJpeg)->Unit(benchmark::kMillisecond);

void BM_RotationBetweenTwo24MpPhotos(benchmark::State& state) {
    const Pair& p = pair24();
    const RotationResult r = measureRotation(p.reference, p.current);
    if (!r.measured || std::abs(r.degrees - 6.5) > 0.5)
        state.SkipWithError(r.measured ? "wrong rotation" : refusalMessage(r.refusal));
    for (auto _ : state)
        benchmark::DoNotOptimize(measureRotation(p.reference, p.current).degrees);
    state.counters["x_decode"] =
        secondsPerCall([&] { measureRotation(p.reference, p.current); }, 1) / decodeSeconds();
}
BENCHMARK(BM_RotationBetweenTwo24MpPhotos)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    drawOffscreenByDefault();
    QGuiApplication app(argc, argv);
    return runBenchmarks(argc, argv, [] { decodeSeconds(); });
}

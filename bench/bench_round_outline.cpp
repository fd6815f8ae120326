// Cost of centring on a round outline in a 24-megapixel photo of an eye, reported as a ratio to a
// plain copy of the same photo measured in the same run (target: at most 1).
#include "analysis/round_outline.h"
#include "synthetic_eye.h"

#include <QGuiApplication>

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

const SyntheticEye& eye24() {
    static const SyntheticEye eye = [] {
        EyeSpec s;
        s.size = QSize(6000, 4000);
        s.limbusCentre = QPointF(3200, 1900);
        s.limbusRadius = 1200;
        s.lidCover = 0.25;
        s.roundness = 0.95;
        return makeSyntheticEye(s);
    }();
    return eye;
}

double copySeconds() {
    static const double s = secondsPerCall(
        [] {
            QImage copy = eye24().photo.copy();
            benchmark::DoNotOptimize(copy.constBits());
        },
        5);
    return s;
}

void BM_PlainCopy(benchmark::State& state) {
    const QImage& photo = eye24().photo;
    for (auto _ : state) {
        QImage copy = photo.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void search(benchmark::State& state, const QPointF& click) {
    const SyntheticEye& eye = eye24();
    if (!findRoundOutline(eye.photo, click))
        state.SkipWithError("nothing found");
    for (auto _ : state)
        benchmark::DoNotOptimize(findRoundOutline(eye.photo, click));
    state.counters["x_copy"] = secondsPerCall([&] { findRoundOutline(eye.photo, click); }, 5) / copySeconds();
}

void BM_CentreOnPupil(benchmark::State& state) {
    search(state, eye24().pupilCentre + QPointF(40, 60));
}
BENCHMARK(BM_CentreOnPupil)->Unit(benchmark::kMillisecond);

void BM_CentreOnLimbus(benchmark::State& state) {
    const SyntheticEye& eye = eye24();
    search(state, eye.limbusCentre + QPointF(0, (eye.pupilRadius + eye.limbusRadius) / 2));
}
BENCHMARK(BM_CentreOnLimbus)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Cost of centring on a round outline in a 24-megapixel photo of an eye, reported as a ratio to a
// plain copy of the same photo measured in the same run (target: at most 1).
#include "analysis/round_outline.h"
#include "synthetic_eye.h"

#include <QGuiApplication>

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

// Median seconds per call of f over seven rounds of n calls.
template <typename F> double secondsPerCall(F&& f, int n = 5) {
    std::vector<double> rounds;
    for (int r = 0; r < 7; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i)
            f();
        rounds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n);
    }
    std::nth_element(rounds.begin(), rounds.begin() + 3, rounds.end());
    return rounds[3];
}

double copySeconds() {
    static const double s = secondsPerCall([] {
        QImage copy = eye24().photo.copy();
        benchmark::DoNotOptimize(copy.constBits());
    });
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
    state.counters["x_copy"] = secondsPerCall([&] { findRoundOutline(eye.photo, click); }) / copySeconds();
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

// Loading and refitting a 24-megapixel photo, as ratios to decoding the same file alone.
#include "app/application.h"
#include "app/unitMain.h"
#include "imaging/imaging.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* g_dir = nullptr;
double g_decodeSeconds = 0;

QString photoPath() {
    const QString path = g_dir->path() + QStringLiteral("/photo24mp.jpg");
    if (!QFile::exists(path)) {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient g(0, 0, 6000, 4000);
        g.setColorAt(0, QColor(120, 80, 60));
        g.setColorAt(1, QColor(230, 200, 180));
        p.fillRect(image.rect(), g);
        p.setPen(QPen(Qt::black, 9));
        for (int i = 0; i < 400; ++i)
            p.drawEllipse(QPoint((i * 7919) % 6000, (i * 104729) % 4000), 40 + i % 90, 30 + i % 70);
        p.end();
        image.save(path, "JPEG", 90);
    }
    return path;
}

void ratio(benchmark::State& state, double seconds) {
    state.counters["ratio_to_decode"] = g_decodeSeconds > 0 ? seconds / g_decodeSeconds : 0;
}

void BM_DecodeAlone(benchmark::State& state) {
    const QString path = photoPath();
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        QImage image = imaging::decodeFile(path).image;
        benchmark::DoNotOptimize(image.constBits());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    g_decodeSeconds = total / double(state.iterations());
}

void BM_LoadAndFit(benchmark::State& state) {
    const QString path = photoPath();
    TFormMain form;
    form.show();
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        form.openPhotoFile(path);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    ratio(state, total / double(state.iterations()));
}

void BM_Refit(benchmark::State& state) {
    TFormMain form;
    form.show();
    form.openPhotoFile(photoPath());
    bool wide = false;
    double total = 0;
    for (auto _ : state) {
        wide = !wide;
        const auto t0 = std::chrono::steady_clock::now();
        form.resize(wide ? 1010 : 1000, wide ? 710 : 700);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    ratio(state, total / double(state.iterations()));
}

} // namespace

BENCHMARK(BM_DecodeAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadAndFit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Refit)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PelvanorApplication app(argc, argv);
    imaging::configureDecoderLimits();
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

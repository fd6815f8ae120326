// Cost of the screen overlay: one full redraw and one whole angle-drag move, each reported as a
// ratio to a baseline measured in the same run (a plain fill of the layer, one redraw).
#include "gauge/geometry.h"
#include "gauge/overlay.h"
#include "unitMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

const QSize kLayer(729, 606);
constexpr int kRounds = 200; // calls per timed round: the overlay takes well under a millisecond

GaugeInputs busyInputs() {
    GaugeInputs in;
    in.layer = kLayer;
    in.settings.angleStep = 5;
    in.guideShown = true;
    in.sectorShown = true;
    return in;
}

double fillSeconds() {
    static const double s = secondsPerCall(
        [] {
            QImage image(kLayer, QImage::Format_ARGB32_Premultiplied);
            image.fill(kOverlayKey);
            benchmark::DoNotOptimize(image.constBits());
        },
        kRounds);
    return s;
}

// The main window with a photo whose fitted layer fills the 729 x 606 screen panel; main()
// destroys it before the application object.
std::unique_ptr<TFormMain> w;

TFormMain& window() {
    static QTemporaryDir dir;
    if (!w) {
        const QString path = dir.path() + QStringLiteral("/photo.png");
        QImage photo(kLayer, QImage::Format_RGB32);
        photo.fill(Qt::darkGray);
        photo.save(path);
        w = std::make_unique<TFormMain>();
        w->show();
        w->openPhotoFile(path);
        w->findChild<QCheckBox*>("GuiaMostrar")->setChecked(true);
        w->findChild<QCheckBox*>("SectorMostrar")->setChecked(true);
        QApplication::processEvents();
    }
    return *w;
}

double drawOverlaySeconds() {
    static const double s = secondsPerCall([] { window().DrawOverlay(); }, kRounds);
    return s;
}

void BM_PlainFill(benchmark::State& state) {
    for (auto _ : state) {
        QImage image(kLayer, QImage::Format_ARGB32_Premultiplied);
        image.fill(kOverlayKey);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PlainFill);

void BM_RenderOverlay(benchmark::State& state) {
    const GaugeInputs in = busyInputs();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderOverlay(in));
    state.counters["x_fill"] = secondsPerCall([&] { renderOverlay(in); }, kRounds) / fillSeconds();
}
BENCHMARK(BM_RenderOverlay);

void BM_DrawOverlay(benchmark::State& state) {
    TFormMain& w = window();
    if (w.findChild<QLabel*>("imgScreen")->size() != kLayer)
        state.SkipWithError("the photo layer is not 729 x 606");
    for (auto _ : state)
        w.DrawOverlay();
    state.counters["x_fill"] = drawOverlaySeconds() / fillSeconds(); // target <= 8
}
BENCHMARK(BM_DrawOverlay);

// One pointer move of a sector drag: the field is set, the overlay redrawn and the layer repainted.
void BM_AngleDragMove(benchmark::State& state) {
    TFormMain& w = window();
    QLabel* layer = w.findChild<QLabel*>("imgLineas");
    const QPointF centre(kLayer.width() / 2.0, kLayer.height() / 2.0);
    const auto at = [&](double deg) {
        const double a = deg * M_PI / 180;
        return centre + QPointF(200 * std::cos(a), -200 * std::sin(a));
    };
    const auto send = [&](QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, layer->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(layer, &e);
    };
    w.findChild<QSpinBox*>("SectorIniGrados")->setValue(25);
    send(QEvent::MouseMove, at(25), Qt::NoButton); // hover the sector start
    send(QEvent::MouseButtonPress, at(25), Qt::LeftButton);
    if (w.grabTarget() != GrabSectorStart || !w.dragging())
        state.SkipWithError("the sector start was not grabbed");
    int step = 0;
    const auto move = [&] {
        send(QEvent::MouseMove, at(20 + (step++ % 20)), Qt::LeftButton);
        layer->repaint();
    };
    for (auto _ : state)
        move();
    state.counters["x_DrawOverlay"] = secondsPerCall(move, kRounds) / drawOverlaySeconds(); // target <= 4
    send(QEvent::MouseButtonRelease, at(25), Qt::NoButton);
}
BENCHMARK(BM_AngleDragMove);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    w.reset();
    return 0;
}

// Cost of the screen overlay: one full redraw and one whole angle-drag move, each reported as a
// ratio to a baseline measured in the same run (a plain fill of the layer, one redraw); and on a
// 24-megapixel photo, a wheel notch and a pan step against the fitted view's redraw.
#include "gauge/geometry.h"
#include "gauge/overlay.h"
#include "unitMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWheelEvent>

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

// The main window with a 24-megapixel photo, fitted into a 729-pixel-wide screen panel.
std::unique_ptr<TFormMain> big;
constexpr int kBigRounds = 20;
const QPointF kWheelAt(300, 200); // on the overlay layer

TFormMain& bigWindow() {
    static QTemporaryDir dir;
    if (!big) {
        const QString path = dir.path() + QStringLiteral("/photo24.jpg");
        noisyCameraPhoto(6000, 4000).save(path, "JPEG", 90);
        big = std::make_unique<TFormMain>();
        big->show();
        big->openPhotoFile(path);
        big->findChild<QCheckBox*>("GuiaMostrar")->setChecked(true);
        big->findChild<QCheckBox*>("SectorMostrar")->setChecked(true);
        big->DrawOverlay();
        QApplication::processEvents();
    }
    return *big;
}

QWidget* panelOf(TFormMain& w) {
    return w.findChild<QWidget*>("pnlScreen");
}

// The fitted view's full redraw: the photo scaled anew into its layer (as on a panel resize, from
// the reduced copy kept for refits) and the overlay, shown. The window's width alternates by a pixel.
double fittedRedrawSeconds() {
    static const double s = [] {
        TFormMain& w = bigWindow();
        w.zoomFitted();
        int grow = 0;
        return secondsPerCall(
            [&] {
                w.resize(w.width() + ((grow++ % 2) ? -1 : 1), w.height());
                panelOf(w)->repaint();
            },
            kBigRounds);
    }();
    return s;
}

void sendWheel(QWidget* layer, int delta) {
    QWheelEvent e(kWheelAt, layer->mapToGlobal(kWheelAt), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(layer, &e);
}

void BM_FittedRedraw24MP(benchmark::State& state) {
    TFormMain& w = bigWindow();
    w.zoomFitted();
    int grow = 0;
    for (auto _ : state) {
        w.resize(w.width() + ((grow++ % 2) ? -1 : 1), w.height());
        panelOf(w)->repaint();
    }
    state.counters["ms"] = fittedRedrawSeconds() * 1e3;
}
BENCHMARK(BM_FittedRedraw24MP);

// The first notch after a load, once the window has shown the photo and is idle.
void BM_FirstWheelNotch24MP(benchmark::State& state) {
    TFormMain& w = bigWindow();
    QWidget* layer = w.findChild<QWidget*>("imgLineas");
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.zoomFitted();
        w.openPhotoFile(w.sourcePath());
        QApplication::processEvents();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        sendWheel(layer, 120);
        panelOf(w)->repaint();
        worst =
            std::max(worst, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["x_fitted"] = worst / fittedRedrawSeconds();
}
BENCHMARK(BM_FirstWheelNotch24MP)->Iterations(3);

// Wheel notches in from the fitted view to the closest view and out again, each shown.
void BM_WheelNotch24MP(benchmark::State& state) {
    TFormMain& w = bigWindow();
    w.zoomFitted();
    QWidget* layer = w.findChild<QWidget*>("imgLineas");
    int step = 0;
    const auto notch = [&] {
        sendWheel(layer, (step++ / 19) % 2 ? -120 : 120);
        panelOf(w)->repaint();
    };
    for (auto _ : state)
        notch();
    state.counters["x_fitted"] = secondsPerCall(notch, 38) / fittedRedrawSeconds(); // target <= 2
}
BENCHMARK(BM_WheelNotch24MP);

// One move of a middle-button pan at about 200 %, shown.
void BM_PanMove24MP(benchmark::State& state) {
    TFormMain& w = bigWindow();
    w.zoomFitted();
    QWidget* layer = w.findChild<QWidget*>("imgLineas");
    for (int i = 0; i < 14; ++i)
        sendWheel(layer, 120);
    const auto send = [&](QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, layer->mapToGlobal(p), Qt::MiddleButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(layer, &e);
    };
    send(QEvent::MouseButtonPress, kWheelAt, Qt::MiddleButton);
    int step = 0;
    const auto move = [&] {
        send(QEvent::MouseMove, kWheelAt + QPointF((step++ % 2) ? 0 : 7, (step % 4) < 2 ? 0 : 5),
             Qt::MiddleButton);
        panelOf(w)->repaint();
    };
    for (auto _ : state)
        move();
    state.counters["x_fitted"] = secondsPerCall(move, kBigRounds) / fittedRedrawSeconds(); // target <= 1
    send(QEvent::MouseButtonRelease, kWheelAt, Qt::NoButton);
}
BENCHMARK(BM_PanMove24MP);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    w.reset();
    big.reset();
    return 0;
}

#pragma once
// Helpers shared by the benchmark programs.

#include "imaging/imaging.h"
#include "output/composite.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Benchmark programs draw offscreen unless told otherwise; called before the application is made.
inline void drawOffscreenByDefault() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the benchmarks asked for on the command line, after building their shared fixture, so that
// its cost is timed by none of them.
template <typename F> int runBenchmarks(int argc, char** argv, F&& buildFixture) {
    benchmark::Initialize(&argc, argv);
    buildFixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Median seconds per call of f over seven rounds of n calls.
template <typename F> double secondsPerCall(F&& f, int n) {
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

// The median of a list of figures (the upper middle one of an even count); 0 when empty.
inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Runs a program in a process of its own and returns its peak resident size in kilobytes, or -1
// when it did not exit with status 0.
inline long peakKbOfRun(const std::vector<QByteArray>& args) {
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

// Runs the program once per iteration and reports its peak resident size against limitMb
// (target: peak_MB <= limit_MB, ratio <= 1).
inline void reportPeakMemory(benchmark::State& state, const std::vector<QByteArray>& args, double limitMb) {
    long peakKb = 0;
    if (access(args.front().constData(), X_OK) != 0) {
        state.SkipWithError(("the measured program is missing: " + args.front()).constData());
        return;
    }
    for (auto _ : state) {
        const long kb = peakKbOfRun(args);
        if (kb < 0) {
            state.SkipWithError(("the measured program failed: " + args.front()).constData());
            return;
        }
        peakKb = std::max(peakKb, kb);
    }
    state.counters["peak_MB"] = peakKb / 1024.0;
    state.counters["limit_MB"] = limitMb;
    state.counters["ratio"] = (peakKb / 1024.0) / limitMb;
}

inline double msSince(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// The test eye enlarged to size with sensor-like noise, so encoders see what a camera delivers.
inline QImage noisyCameraPhoto(int width, int height) {
    QImage photo = QImage(QStringLiteral(PELVANOR_TEST_DATA "/eye_600x400.jpg"))
                       .convertToFormat(QImage::Format_RGB32)
                       .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QRandomGenerator random(42);
    const auto noisy = [&random](int v) { return qBound(0, v + int(random.bounded(9)) - 4, 255); };
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb(noisy(qRed(row[x])), noisy(qGreen(row[x])), noisy(qBlue(row[x])));
    }
    return photo;
}

// A busy gauge over the photo: guide line, sector, reference and both brand images.
inline CompositeInputs busyCompositeInputs(const QImage& photo) {
    const auto resource = [](const QString& name) {
        QFile file(name);
        file.open(QIODevice::ReadOnly);
        return imaging::decodeBytes(file.readAll()).image;
    };
    CompositeInputs in;
    in.photo = photo;
    in.guideShown = true;
    in.guideDegrees = 30;
    in.sectorShown = true;
    in.sectorStart = 20;
    in.sectorEnd = 75;
    in.sectorReadout = QStringLiteral("55");
    in.reference = QStringLiteral("Paciente 7");
    in.brandLogo = resource(QStringLiteral(":/pictures/MARCALOGO"));
    in.brandLettering = resource(QStringLiteral(":/pictures/MARCATEXTO"));
    return in;
}

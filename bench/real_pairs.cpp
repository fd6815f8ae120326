// Rotation between real captures of one eye: a folder with a groups.csv (group, file, kind, source,
// ...), one group being several photos of one eye. No true rotation is known, so the measure is
// judged by its consistency: antisymmetry, closure over triples, and a known turn added to a real
// pair. See eval_rotation.cpp for the command line.
#include "real_pairs.h"
#include "eval_support.h"

#include "analysis/eye_rings.h"
#include "analysis/rotation.h"
#include "output/rotation_report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Photo {
    QString group, file, kind, source;
    QImage image;
};

// The source is the second word of the file name: <kind>_<source>_<eye>_<n>.
QString sourceOf(const QString& file) {
    const QStringList parts = file.split(QLatin1Char('_'));
    return parts.size() > 2 ? parts[0] + QLatin1Char('_') + parts[1] : file;
}

std::vector<Photo> readGroups(const QString& folder, const QString& only) {
    std::vector<Photo> photos;
    QFile file(QDir(folder).filePath(QStringLiteral("groups.csv")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return photos;
    QTextStream in(&file);
    const QStringList header = csvFields(in.readLine());
    const int groupAt = int(header.indexOf(QStringLiteral("group"))),
              fileAt = int(header.indexOf(QStringLiteral("file"))),
              kindAt = int(header.indexOf(QStringLiteral("kind")));
    if (groupAt < 0 || fileAt < 0 || kindAt < 0)
        return photos;
    while (!in.atEnd()) {
        const QStringList f = csvFields(in.readLine());
        if (f.size() <= std::max({groupAt, fileAt, kindAt}) || !f[groupAt].contains(only))
            continue;
        Photo p{f[groupAt], f[fileAt], f[kindAt], sourceOf(f[fileAt]), {}};
        QImageReader reader(QDir(folder).filePath(p.file));
        reader.setAutoTransform(true);
        p.image = reader.read().convertToFormat(QImage::Format_RGB32);
        if (p.image.isNull())
            std::fprintf(stderr, "%s: cannot read\n", qPrintable(p.file));
        else
            photos.push_back(p);
    }
    return photos;
}

// A photo turned counter-clockwise on the screen by degrees about its middle, on the same canvas.
QImage turned(const QImage& photo, double degrees) {
    const cv::Mat src(photo.height(), photo.width(), CV_8UC4, const_cast<uchar*>(photo.constBits()),
                      size_t(photo.bytesPerLine()));
    QImage out(photo.size(), QImage::Format_RGB32);
    cv::Mat dst(out.height(), out.width(), CV_8UC4, out.bits(), size_t(out.bytesPerLine()));
    const cv::Mat m = cv::getRotationMatrix2D(
        cv::Point2f(photo.width() / 2.0f - 0.5f, photo.height() / 2.0f - 0.5f), degrees, 1);
    cv::warpAffine(src, dst, m, dst.size(), cv::INTER_CUBIC, cv::BORDER_REPLICATE);
    return out;
}

struct Call {
    int a = 0, b = 0; // photo indices
    double added = 0; // degrees turned onto b first (0: the pair as captured)
    RotationResult result;
    double seconds = 0;
};

// Figures gathered for one row of a table (a group, a source, a kind or everything).
struct Tally {
    int pairs = 0, answered = 0, confident = 0, confidentWrong = 0, turnsTried = 0, turnsWrong = 0;
    std::vector<double> antisymmetry, closure, turnError, seconds;

    void print(const QString& name) const {
        std::printf(
            "| %-18s | %3d | %5.1f %% | %5.2f | %5.2f | %5.2f | %5.2f | %3d/%-3d | %5.2f | %5.2f | %d "
            "| %d/%d | %.2f |\n",
            qPrintable(name), pairs, pairs ? 100.0 * answered / pairs : 0.0, percentile(antisymmetry, 0.5),
            percentile(antisymmetry, 0.95), percentile(closure, 0.5), percentile(closure, 0.95),
            int(turnError.size()), turnsTried, percentile(turnError, 0.5), percentile(turnError, 0.95),
            turnsWrong, confidentWrong, confident, percentile(seconds, 0.5));
    }
};

void printHeader(const char* what) {
    std::printf("\n| %-18s | pairs | answered | antisym median | p95 | closure median | p95 | turns answered "
                "| turn error median | p95 | turns > 2 deg | confident wrong | s/call median |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n",
                what);
}

// Each photo with the limbus found in it alone (green) and the pupil found about that (yellow), for
// looking at; the rings of the pairs are printed with each pair.
void dumpOutlines(const std::vector<Photo>& photos, const QString& folder) {
    QDir().mkpath(folder);
    for (const Photo& p : photos) {
        QImage shown = p.image.copy();
        QPainter painter(&shown);
        painter.setRenderHint(QPainter::Antialiasing);
        const double width = std::max(1.0, shown.width() / 400.0);
        std::printf("%-24s", qPrintable(p.file));
        if (const auto eye = findEyeRings(p.image)) {
            painter.setPen(QPen(Qt::green, width));
            painter.drawEllipse(eye->limbus.centre, eye->limbus.radius, eye->limbus.radius);
            std::printf(" limbus %4.0f,%4.0f r%4.0f", eye->limbus.centre.x(), eye->limbus.centre.y(),
                        eye->limbus.radius);
            if (eye->pupil) {
                painter.setPen(QPen(Qt::yellow, width));
                painter.drawEllipse(eye->pupil->centre, eye->pupil->radius, eye->pupil->radius);
                std::printf(" pupil %4.0f,%4.0f r%4.0f", eye->pupil->centre.x(), eye->pupil->centre.y(),
                            eye->pupil->radius);
            }
            std::printf(" score %.0f", eye->score);
        }
        std::printf("\n");
        painter.end();
        if (shown.width() > 1000)
            shown = shown.scaledToWidth(1000, Qt::SmoothTransformation);
        shown.save(QDir(folder).filePath(QFileInfo(p.file).completeBaseName() + QStringLiteral(".png")));
    }
}

// Every ordered pair within a group, then each again with its second photo turned by a known angle.
std::vector<Call> pairCalls(const std::vector<Photo>& photos, bool addedTurns) {
    QRandomGenerator random(20261208);
    const double turns[] = {-20, -12, -6, -3, 3, 6, 12, 20};
    std::vector<Call> calls;
    for (int a = 0; a < int(photos.size()); ++a)
        for (int b = 0; b < int(photos.size()); ++b)
            if (a != b && photos[a].group == photos[b].group) {
                calls.push_back({a, b, 0, {}, 0});
                const double t = turns[random.bounded(int(std::size(turns)))];
                if (addedTurns)
                    calls.push_back({a, b, t, {}, 0});
            }
    return calls;
}

// One line for a call measured: the answer or the refusal with its check, and both limbi.
void printCall(const std::vector<Photo>& photos, const Call& c) {
    const RotationResult& r = c.result;
    std::printf("%-22s %-22s %+4.0f -> ", qPrintable(photos[c.a].file), qPrintable(photos[c.b].file),
                c.added);
    if (r.measured)
        std::printf(
            "%7.2f conf %.2f sectors %2d peak %.2f runner-up %.2f spread %.2f se %.3f lop %.2f both %.2f",
            r.degrees, r.confidence, r.sectors, r.peakScore, r.runnerUp, r.spread, r.turnError,
            r.lopsidedness, r.bothWays);
    else
        std::printf("refused: %s (%s%s)", refusalMessage(r.refusal), checkName(r.check),
                    std::isnan(r.checkValue) ? ""
                                             : qPrintable(QStringLiteral(" %1 %2 %3")
                                                              .arg(r.checkValue, 0, 'g', 3)
                                                              .arg(r.checkValue < r.checkLimit ? "<" : ">")
                                                              .arg(r.checkLimit, 0, 'g', 3)));
    const auto ring = [](const std::optional<Circle>& o) {
        if (o)
            std::printf(" [%.0f,%.0f r%.0f]", o->centre.x(), o->centre.y(), o->radius);
        else
            std::printf(" [-]");
    };
    ring(r.referenceLimbus), ring(r.currentLimbus);
    std::printf("  %.2fs\n", c.seconds);
}

// Measures the calls on a few threads, printing each as it ends.
void measureCalls(const std::vector<Photo>& photos, std::vector<Call>& calls, int jobs) {
    std::atomic<size_t> next{0};
    std::mutex printing;
    const auto work = [&] {
        for (size_t k; (k = next++) < calls.size();) {
            Call& c = calls[k];
            const QImage current = c.added ? turned(photos[c.b].image, c.added) : photos[c.b].image;
            const auto start = std::chrono::steady_clock::now();
            c.result = measureRotation(photos[c.a].image, current);
            c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const std::lock_guard<std::mutex> lock(printing);
            printCall(photos, c);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < std::max(1, jobs); ++t)
        threads.emplace_back(work);
    for (std::thread& t : threads)
        t.join();
}

// The figures of every call, by group, source, kind and in all, and the closure errors of the
// triples each plain answer takes part in.
struct Summary {
    const std::vector<Photo>& photos;
    std::map<std::pair<int, int>, const RotationResult*> answer; // plain answers by ordered pair
    std::map<QString, Tally> byGroup, bySource, byKind;
    Tally all;
    std::map<std::pair<int, int>, std::vector<double>> closureOf;

    const RotationResult* rot(int a, int b) const {
        const auto it = answer.find({a, b});
        return it == answer.end() ? nullptr : it->second;
    }
    std::vector<Tally*> tallies(int photo) {
        return std::vector<Tally*>{&byGroup[photos[photo].group], &bySource[photos[photo].source],
                                   &byKind[photos[photo].kind], &all};
    }
    void addTurned(const Call& c);
    void addPlain(const Call& c);
};

// A call with a known turn added: how far its answer is from the plain answer plus that turn.
void Summary::addTurned(const Call& c) {
    const RotationResult* plain = rot(c.a, c.b);
    if (!plain)
        return;
    for (Tally* t : tallies(c.a)) {
        ++t->turnsTried;
        if (c.result.measured) {
            const double e = std::abs(wrapDegrees(c.result.degrees - plain->degrees - c.added));
            t->turnError.push_back(e);
            t->turnsWrong += e > 2;
        }
    }
}

// A plain call: answered or not, its antisymmetry with the reverse pair, its triples' closure.
void Summary::addPlain(const Call& c) {
    const RotationResult* ab = rot(c.a, c.b);
    for (Tally* t : tallies(c.a)) {
        ++t->pairs;
        t->answered += ab != nullptr;
    }
    if (!ab)
        return;
    if (const RotationResult* ba = rot(c.b, c.a); ba && c.a < c.b)
        for (Tally* t : tallies(c.a))
            t->antisymmetry.push_back(std::abs(wrapDegrees(ab->degrees + ba->degrees)));
    for (int x = 0; x < int(photos.size()); ++x) {
        if (x == c.a || x == c.b || photos[x].group != photos[c.a].group)
            continue;
        const RotationResult *bx = rot(c.b, x), *ax = rot(c.a, x);
        if (!bx || !ax)
            continue;
        const double e = std::abs(wrapDegrees(ab->degrees + bx->degrees - ax->degrees));
        for (Tally* t : tallies(c.a))
            t->closure.push_back(e);
        closureOf[{c.a, c.b}].push_back(e), closureOf[{c.b, x}].push_back(e),
            closureOf[{c.a, x}].push_back(e);
    }
}

struct Band {
    double from, to;
    int answers = 0, over1 = 0, unchecked = 0;
    std::vector<double> closure;
};

// Confident wrong: sure of itself, yet breaking most of its triples by more than 3 degrees. Each
// answer's median closure error is gathered by its confidence's band.
std::vector<Band> confidenceBands(Summary& summary) {
    std::vector<Band> bands = {{0, 0.3}, {0.3, 0.5}, {0.5, 0.7}, {0.7, 0.85}, {0.85, 1.01}};
    for (const auto& [key, r] : summary.answer) {
        const std::vector<double>& e = summary.closureOf[key];
        const double median = percentile(e, 0.5);
        const bool wrong = !e.empty() && 2 * std::count_if(e.begin(), e.end(), [](double v) {
                                             return v > 3;
                                         }) > int(e.size());
        for (Band& band : bands)
            if (r->confidence >= band.from && r->confidence < band.to) {
                ++band.answers;
                if (e.empty())
                    ++band.unchecked;
                else
                    band.closure.push_back(median), band.over1 += median > 1;
            }
        if (r->confidence >= 0.5)
            for (Tally* t : summary.tallies(key.first)) {
                ++t->confident;
                t->confidentWrong += wrong;
            }
        if (r->confidence >= 0.5 && wrong)
            std::printf("CONFIDENT WRONG %s -> %s: %.2f conf %.2f, closure median %.2f over %d triples\n",
                        qPrintable(summary.photos[key.first].file),
                        qPrintable(summary.photos[key.second].file), r->degrees, r->confidence, median,
                        int(e.size()));
    }
    return bands;
}

void printTables(const Summary& summary, const std::vector<Band>& bands) {
    printHeader("group");
    for (const auto& [name, t] : summary.byGroup)
        t.print(name);
    printHeader("source");
    for (const auto& [name, t] : summary.bySource)
        t.print(name);
    printHeader("kind");
    for (const auto& [name, t] : summary.byKind)
        t.print(name);
    summary.all.print(QStringLiteral("all"));
    std::printf("\nConfidence against closure (each answer's median closure error over its triples)\n\n"
                "| confidence | answers | in no triple | median | p95 | share > 1 deg "
                "|\n|---|---|---|---|---|---|\n");
    for (const Band& b : bands)
        std::printf("| %.2f-%.2f | %d | %d | %.2f | %.2f | %.1f %% |\n", b.from, std::min(1.0, b.to),
                    b.answers, b.unchecked, percentile(b.closure, 0.5), percentile(b.closure, 0.95),
                    b.closure.empty() ? 0.0 : 100.0 * b.over1 / b.closure.size());
}

} // namespace

int evaluateRealPairs(const QString& folder, const RealPairOptions& options) {
    const std::vector<Photo> photos = readGroups(folder, options.only);
    if (photos.empty()) {
        std::fprintf(stderr, "no photos listed in %s/groups.csv\n", qPrintable(folder));
        return 2;
    }
    if (!options.dump.isEmpty())
        dumpOutlines(photos, options.dump);
    if (!options.pairs)
        return 0;
    std::vector<Call> calls = pairCalls(photos, options.addedTurns);
    measureCalls(photos, calls, options.jobs);
    Summary summary{photos, {}, {}, {}, {}, {}, {}};
    for (const Call& c : calls)
        if (!c.added && c.result.measured)
            summary.answer[{c.a, c.b}] = &c.result;
    for (const Call& c : calls) {
        for (Tally* t : summary.tallies(c.a))
            t->seconds.push_back(c.seconds);
        if (c.added)
            summary.addTurned(c);
        else
            summary.addPlain(c);
    }
    printTables(summary, confidenceBands(summary));
    return 0;
}

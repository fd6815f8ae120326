// Accuracy of double-click centring on real eye photos with known pupil and limbus circles.
//
//   eval_outlines FOLDER [--dump OUTDIR] [--scale S] [--only SOURCE]...
//
// FOLDER holds the photos and a truth.csv with one row per photo:
//   file,width,height,pupil_cx,pupil_cy,pupil_r,limbus_cx,limbus_cy,limbus_r,...,kind
// (centres with the top-left pixel's centre at 0,0; empty cells where a circle is not known;
// kind "visible" or "infrared"). For every photo the program double-clicks as the window does:
// the photo fitted into the 729 x 606 screen panel, the click taken at a layer pixel and mapped
// back to the photo. Pupil clicks: at the pupil centre and 40 % of its radius away in four
// directions. Iris clicks: halfway between the pupil's edge and the limbus, left and right. Clicks on
// the white of the eye, a quarter of the limbus radius beyond it, must find nothing.
// Prints one line per click (with the check that refused, where nothing was found) and a summary per kind;
// with --dump, writes each photo with what was found drawn on it. With --scale, every photo (and its truth)
// is resampled by S first: the same eyes at other sizes, a check that the search is not fitted to the sizes
// of this set. With --only, the photos of the named sources only (the second word of the file name:
// "webeyes" for vis_webeyes_brown5.jpg): a subset while tuning. A FOLDER of fundus photos (a truth.csv with
// field circles) is evaluated by the fundus clicks of eval_fields. With --grid N, the photos of a folder
// with no known circles are clicked on an N x N grid, to be judged by eye on the --dump images.
#include "analysis/round_outline.h"
#include "eval_fields.h"
#include "eval_support.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace {

struct Known {
    bool known = false;
    QPointF centre; // pixel i covers [i, i + 1)
    double radius = 0;
};

struct Row {
    QString file, kind, source;
    Known pupil, limbus;
};

Known known(const QStringList& f, int at) {
    Known k;
    bool a = false, b = false, c = false;
    const double x = f.value(at).toDouble(&a), y = f.value(at + 1).toDouble(&b),
                 r = f.value(at + 2).toDouble(&c);
    if (a && b && c && r > 0)
        k = Known{true, QPointF(x + 0.5, y + 0.5), r};
    return k;
}

std::vector<Row> readTruth(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("truth.csv")));
    std::vector<Row> rows;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    const QStringList header = csvFields(in.readLine());
    const int kindAt = int(header.indexOf(QStringLiteral("kind")));
    while (!in.atEnd()) {
        const QStringList f = csvFields(in.readLine());
        if (f.size() < 9)
            continue;
        rows.push_back(Row{f[0], f.value(kindAt >= 0 ? kindAt : f.size() - 1), f[0].section('_', 1, 1),
                           known(f, 3), known(f, 6)});
    }
    return rows;
}

enum class Aim { Pupil, Iris, White };
enum class Answer { Pupil, Limbus, Other, None };

struct Click {
    Aim aim;
    const char* name;
    QPointF target; // where the user means to click, in photo pixels
};

std::vector<Click> clicksFor(const Row& row) {
    std::vector<Click> clicks;
    if (row.pupil.known) {
        const QPointF c = row.pupil.centre;
        const double d = 0.4 * row.pupil.radius;
        clicks.push_back({Aim::Pupil, "pupil-centre", c});
        clicks.push_back({Aim::Pupil, "pupil-left", c + QPointF(-d, 0)});
        clicks.push_back({Aim::Pupil, "pupil-right", c + QPointF(d, 0)});
        clicks.push_back({Aim::Pupil, "pupil-up", c + QPointF(0, -d)});
        clicks.push_back({Aim::Pupil, "pupil-down", c + QPointF(0, d)});
    }
    if (row.limbus.known) {
        const Known& l = row.limbus;
        // Without a known pupil, its edge is taken at a third of the limbus radius.
        const QPointF pc = row.pupil.known ? row.pupil.centre : l.centre;
        const double pr = row.pupil.known ? row.pupil.radius : l.radius / 3;
        for (int side : {-1, 1}) {
            const double pupilEdge = pc.x() + side * pr;
            const double dy = pc.y() - l.centre.y();
            const double limbusEdge =
                l.centre.x() + side * std::sqrt(std::max(0.0, l.radius * l.radius - dy * dy));
            clicks.push_back({Aim::Iris, side < 0 ? "iris-left" : "iris-right",
                              QPointF((pupilEdge + limbusEdge) / 2, pc.y())});
            // On the white of the eye, a quarter of the limbus radius beyond it.
            clicks.push_back({Aim::White, side < 0 ? "white-left" : "white-right",
                              QPointF(limbusEdge + side * 0.25 * l.radius, pc.y())});
        }
    }
    return clicks;
}

double distance(const QPointF& a, const QPointF& b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

bool matches(const RoundOutline& o, const Known& k) {
    return k.known && distance(o.centre, k.centre) <= 0.1 * k.radius &&
           std::abs(o.radius - k.radius) <= 0.25 * k.radius;
}

struct Tally {
    std::vector<double> pupilErrors, limbusErrors; // in % of the radius, where found
    int pupilClicks = 0, irisClicks = 0, wrong = 0, refused = 0, clicks = 0;
    int whiteClicks = 0, whiteAnswers = 0; // on the white of the eye: any answer is wrong
    double seconds = 0;
};

void dump(const QString& outDir, const Row& row, QImage photo, const FoundAt& found) {
    photo = photo.convertToFormat(QImage::Format_RGB32);
    QPainter p(&photo);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = std::max(1.0, photo.width() / 600.0);
    const auto circle = [&](const Known& k, QColor colour) {
        if (k.known) {
            p.setPen(QPen(colour, w));
            p.drawEllipse(k.centre, k.radius, k.radius);
        }
    };
    circle(row.pupil, Qt::green);
    circle(row.limbus, Qt::green);
    drawClicks(p, found, w);
    p.end();
    photo.save(QDir(outDir).filePath(QFileInfo(row.file).completeBaseName() + QStringLiteral(".png")));
}

// One table row per kind, then per kind and source, and the worst source on one line: the source
// whose weaker share of pupils or limbi found is lowest, more wrong answers breaking a tie.
void printSummary(const std::map<QString, Tally>& byKind, const std::map<QString, Tally>& bySource) {
    const auto share = [](size_t n, int of) { return of ? 100.0 * double(n) / of : NAN; };
    const auto table = [&](const char* what, const std::map<QString, Tally>& tallies) {
        std::printf(
            "\n| %s | pupil clicks | pupil found | median | p90 | iris clicks | limbus found | median | p90 "
            "| wrong | refused | ms/click | white clicks answered "
            "|\n|---|---|---|---|---|---|---|---|---|---|---|---|---|\n",
            what);
        for (const auto& [name, t] : tallies)
            std::printf(
                "| %s | %d | %.0f %% | %.1f %% | %.1f %% | %d | %.0f %% | %.1f %% | %.1f %% | %d (%.1f "
                "%%) | %d | %.1f | %d of %d |\n",
                qPrintable(name), t.pupilClicks, share(t.pupilErrors.size(), t.pupilClicks),
                percentile(t.pupilErrors, 0.5), percentile(t.pupilErrors, 0.9), t.irisClicks,
                share(t.limbusErrors.size(), t.irisClicks), percentile(t.limbusErrors, 0.5),
                percentile(t.limbusErrors, 0.9), t.wrong, share(size_t(t.wrong), t.clicks), t.refused,
                1000 * t.seconds / std::max(1, t.clicks + t.whiteClicks), t.whiteAnswers, t.whiteClicks);
    };
    table("kind", byKind);
    table("kind/source", bySource);
    const auto weaker = [&](const Tally& t) {
        const double pupil = share(t.pupilErrors.size(), t.pupilClicks),
                     limbus = share(t.limbusErrors.size(), t.irisClicks);
        return std::fmin(std::isnan(pupil) ? 100 : pupil, std::isnan(limbus) ? 100 : limbus);
    };
    const std::pair<const QString, Tally>* worst = nullptr;
    for (const auto& entry : bySource) {
        const Tally& t = entry.second;
        if (!worst || weaker(t) < weaker(worst->second) ||
            (weaker(t) == weaker(worst->second) &&
             t.wrong + t.whiteAnswers > worst->second.wrong + worst->second.whiteAnswers))
            worst = &entry;
    }
    if (worst) {
        const Tally& t = worst->second;
        std::printf(
            "\nworst source: %s  pupil found %.0f %% of %d, limbus found %.0f %% of %d, wrong %.1f %%, "
            "white answered %d of %d\n",
            qPrintable(worst->first), share(t.pupilErrors.size(), t.pupilClicks), t.pupilClicks,
            share(t.limbusErrors.size(), t.irisClicks), t.irisClicks, share(size_t(t.wrong), t.clicks),
            t.whiteAnswers, t.whiteClicks);
    }
}

struct Options {
    QString folder, dumpDir;
    double scale = 1;
    QStringList only; // sources
    int grid = 0;     // clicks a side on photos with no known circles
};

std::optional<Options> options(const QStringList& args) {
    Options o;
    o.folder = args.value(1);
    for (int i = 2; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--dump"))
            o.dumpDir = args[++i];
        else if (args[i] == QLatin1String("--scale"))
            o.scale = args[++i].toDouble();
        else if (args[i] == QLatin1String("--only"))
            o.only << args[++i];
        else if (args[i] == QLatin1String("--grid"))
            o.grid = args[++i].toInt();
    }
    if (!(o.scale > 0.05 && o.scale <= 4)) {
        std::fprintf(stderr, "--scale wants a factor between 0.05 and 4\n");
        return std::nullopt;
    }
    return o;
}

// Every click of one photo: one line each, tallied by kind and by source.
void evaluatePhoto(Row row, QImage photo, const Options& o, Tally& t, Tally& ts) {
    if (o.scale != 1) {
        photo = photo.scaled(std::max(1, int(std::lround(photo.width() * o.scale))),
                             std::max(1, int(std::lround(photo.height() * o.scale))), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
        for (Known* k : {&row.pupil, &row.limbus})
            k->centre *= o.scale, k->radius *= o.scale;
    }
    FoundAt found;
    for (const Click& c : clicksFor(row)) {
        if (!QRectF(0, 0, photo.width(), photo.height()).contains(c.target))
            continue;
        const QPointF point = windowClick(photo.size(), c.target);
        const auto start = std::chrono::steady_clock::now();
        const OutlineSearch search = searchRoundOutline(photo, point);
        const auto& outline = search.outline;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // What refused, on the lines with no answer.
        const QByteArray why =
            outline ? QByteArray() : QByteArray("  [refused: ") + refusalText(search.refusedBy).c_str() + "]";
        found.emplace_back(point, outline);
        Answer answer = Answer::None;
        if (outline)
            answer = matches(*outline, row.pupil)    ? Answer::Pupil
                     : matches(*outline, row.limbus) ? Answer::Limbus
                                                     : Answer::Other;
        const Known& wanted = c.aim == Aim::Pupil ? row.pupil : row.limbus;
        const bool right =
            c.aim == Aim::White ? !outline : answer == (c.aim == Aim::Pupil ? Answer::Pupil : Answer::Limbus);
        const double error = outline && c.aim != Aim::White
                                 ? 100 * distance(outline->centre, wanted.centre) / wanted.radius
                                 : NAN;
        for (Tally* tally : {&t, &ts}) {
            tally->seconds += seconds;
            if (c.aim == Aim::White) {
                ++tally->whiteClicks;
                tally->whiteAnswers += bool(outline);
                continue;
            }
            ++tally->clicks;
            ++(c.aim == Aim::Pupil ? tally->pupilClicks : tally->irisClicks);
            if (right)
                (c.aim == Aim::Pupil ? tally->pupilErrors : tally->limbusErrors).push_back(error);
            else
                ++(answer == Answer::None ? tally->refused : tally->wrong);
        }
        std::printf("%-30s %-9s %-13s at %7.1f %7.1f -> ", qPrintable(row.file), qPrintable(row.kind), c.name,
                    point.x(), point.y());
        const char* verdict = right ? "ok" : answer == Answer::None ? "refused" : "WRONG";
        if (c.aim == Aim::White)
            std::printf("%s%s\n", outline ? "answered  WRONG" : "nothing  ok", why.constData());
        else if (outline)
            std::printf("%7.1f %7.1f r %6.1f  err %5.1f %%  %s\n", outline->centre.x(), outline->centre.y(),
                        outline->radius, error, verdict);
        else
            std::printf("nothing  %s%s\n", verdict, why.constData());
    }
    if (!o.dumpDir.isEmpty())
        dump(o.dumpDir, row, photo, found);
}

} // namespace

int main(int argc, char** argv) {
    if (!startEvaluation(argc, argv))
        return 2;
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: %s FOLDER [--dump OUTDIR] [--scale S] [--only SOURCE]... [--grid N] [--set "
                     "FIELD=VALUE]...\n",
                     argv[0]);
        return 2;
    }
    const auto o = options(args);
    if (!o)
        return 2;
    if (o->grid > 0)
        return lookAtGrid(o->folder, o->dumpDir, o->only, o->grid);
    if (isFieldFolder(o->folder))
        return evaluateFields(o->folder, o->dumpDir, o->only);
    const std::vector<Row> rows = readTruth(o->folder);
    if (rows.empty()) {
        std::fprintf(stderr, "no truth.csv rows in %s\n", qPrintable(o->folder));
        return 2;
    }
    std::map<QString, Tally> byKind, bySource;
    for (const Row& row : rows) {
        if (!o->only.isEmpty() && !o->only.contains(row.source))
            continue;
        QImageReader reader(QDir(o->folder).filePath(row.file));
        reader.setAutoTransform(true);
        const QImage photo = reader.read().convertToFormat(QImage::Format_RGB32);
        if (photo.isNull()) {
            std::fprintf(stderr, "%s: cannot read\n", qPrintable(row.file));
            continue;
        }
        evaluatePhoto(row, photo, *o, byKind[row.kind], bySource[row.kind + '/' + row.source]);
    }
    printSummary(byKind, bySource);
    return 0;
}

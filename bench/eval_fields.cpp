#include "eval_fields.h"

#include "analysis/round_outline.h"
#include "eval_support.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace {

struct FieldRow {
    QString file, dataset;
    QPointF centre; // pixel i covers [i, i + 1)
    double radius = 0;
    std::optional<QPointF> disc;
};

std::vector<FieldRow> readFields(const QString& folder, bool* isField = nullptr) {
    QFile file(QDir(folder).filePath(QStringLiteral("truth.csv")));
    std::vector<FieldRow> rows;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    const QStringList header = csvFields(in.readLine());
    const auto at = [&](const char* name) { return int(header.indexOf(QLatin1String(name))); };
    const int cx = at("field_cx"), dataset = at("source_dataset"), disc = at("disc_x");
    if (isField)
        *isField = cx >= 0;
    if (cx < 0)
        return rows;
    while (!in.atEnd()) {
        const QStringList f = csvFields(in.readLine());
        bool a = false, b = false, c = false;
        const double x = f.value(cx).toDouble(&a), y = f.value(cx + 1).toDouble(&b),
                     r = f.value(cx + 2).toDouble(&c);
        if (!a || !b || !c || r <= 0)
            continue;
        FieldRow row{f[0], f.value(dataset), QPointF(x + 0.5, y + 0.5), r, std::nullopt};
        bool dx = false, dy = false;
        const double discX = f.value(disc).toDouble(&dx), discY = f.value(disc + 1).toDouble(&dy);
        if (disc >= 0 && dx && dy)
            row.disc = QPointF(discX + 0.5, discY + 0.5);
        rows.push_back(row);
    }
    return rows;
}

// Points on vessels: on the photo brought to about 500 pixels, the pixels of the field's middle (a fifth
// to four fifths of its radius out) darker than both neighbours a few pixels away across a line, in any
// of four directions, by the most; the best few, well apart.
std::vector<QPointF> vesselPoints(const QImage& photo, const FieldRow& row, int count) {
    const double k = std::max(1.0, std::max(photo.width(), photo.height()) / 500.0);
    const QImage small = photo.scaled(int(photo.width() / k), int(photo.height() / k), Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation);
    const QPointF c = row.centre / k;
    const double r = row.radius / k;
    const int d = std::max(3, int(r / 60));
    const auto green = [&](int x, int y) { return qGreen(small.pixel(x, y)); };
    struct Scored {
        double score;
        QPointF at;
    };
    std::vector<Scored> scored;
    const int dirs[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (int y = d; y < small.height() - d; ++y)
        for (int x = d; x < small.width() - d; ++x) {
            const double off = std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y());
            if (off < 0.2 * r || off > 0.8 * r)
                continue;
            int best = 0;
            for (const auto& u : dirs)
                best = std::max(
                    best, std::min(green(x + d * u[0], y + d * u[1]), green(x - d * u[0], y - d * u[1])) -
                              green(x, y));
            scored.push_back({double(best), QPointF(x + 0.5, y + 0.5)});
        }
    std::sort(scored.begin(), scored.end(),
              [](const Scored& a, const Scored& b) { return a.score > b.score; });
    std::vector<QPointF> out;
    for (const Scored& s : scored) {
        if (int(out.size()) >= count)
            break;
        const bool near = std::any_of(out.begin(), out.end(), [&](const QPointF& q) {
            return std::hypot(q.x() - s.at.x() * k, q.y() - s.at.y() * k) < 0.3 * row.radius;
        });
        if (!near)
            out.push_back(s.at * k);
    }
    return out;
}

struct Click {
    QString name;
    QPointF target;
};

std::vector<Click> fieldClicks(const QImage& photo, const FieldRow& row) {
    const double r = row.radius;
    std::vector<Click> clicks = {{QStringLiteral("centre"), row.centre},
                                 {QStringLiteral("up-left"), row.centre + QPointF(-0.35, -0.35) * r},
                                 {QStringLiteral("up-right"), row.centre + QPointF(0.35, -0.35) * r},
                                 {QStringLiteral("down-left"), row.centre + QPointF(-0.35, 0.35) * r},
                                 {QStringLiteral("down-right"), row.centre + QPointF(0.35, 0.35) * r},
                                 {QStringLiteral("rim-left"), row.centre + QPointF(-0.85, 0) * r},
                                 {QStringLiteral("rim-right"), row.centre + QPointF(0.85, 0) * r}};
    if (row.disc)
        clicks.push_back({QStringLiteral("disc"), *row.disc});
    int n = 0;
    for (const QPointF& v : vesselPoints(photo, row, 3))
        clicks.push_back({QStringLiteral("vessel-%1").arg(++n), v});
    return clicks;
}

struct FieldTally {
    int clicks = 0, right = 0, wrong = 0, refused = 0, photos = 0, photosAllRight = 0;
    std::vector<double> centreErrors, radiusErrors; // in % of the radius, where answered
};

void dumpField(const QString& dir, const FieldRow& row, QImage photo, const FoundAt& found) {
    QPainter p(&photo);
    const double w = std::max(1.0, photo.width() / 600.0);
    p.setPen(QPen(Qt::green, w));
    p.drawEllipse(row.centre, row.radius, row.radius);
    drawClicks(p, found, w);
    p.end();
    photo.save(QDir(dir).filePath(QFileInfo(row.file).completeBaseName() + QStringLiteral(".png")));
}

void printFieldSummary(const std::map<QString, FieldTally>& tallies) {
    std::printf(
        "\n| dataset | photos | all clicks right | clicks | field found | centre median | centre max "
        "| radius median | radius max | wrong | refused |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
    const std::pair<const QString, FieldTally>* worst = nullptr;
    const auto found = [](const FieldTally& t) { return t.clicks ? 100.0 * t.right / t.clicks : 100.0; };
    for (const auto& entry : tallies) {
        const FieldTally& t = entry.second;
        std::printf(
            "| %s | %d | %d | %d | %.0f %% | %.2f %% | %.2f %% | %.2f %% | %.2f %% | %d (%.1f %%) | %d |\n",
            qPrintable(entry.first), t.photos, t.photosAllRight, t.clicks, found(t),
            percentile(t.centreErrors, 0.5), percentile(t.centreErrors, 1), percentile(t.radiusErrors, 0.5),
            percentile(t.radiusErrors, 1), t.wrong, t.clicks ? 100.0 * t.wrong / t.clicks : 0.0, t.refused);
        if (!worst || found(t) < found(worst->second) ||
            (found(t) == found(worst->second) && t.wrong > worst->second.wrong))
            worst = &entry;
    }
    if (worst)
        std::printf(
            "\nworst source: %s  field found %.0f %% of %d clicks, wrong %d, photos with every click right "
            "%d of %d\n",
            qPrintable(worst->first), found(worst->second), worst->second.clicks, worst->second.wrong,
            worst->second.photosAllRight, worst->second.photos);
}

} // namespace

bool isFieldFolder(const QString& folder) {
    bool field = false;
    readFields(folder, &field);
    return field;
}

int evaluateFields(const QString& folder, const QString& dumpDir, const QStringList& sources) {
    const std::vector<FieldRow> rows = readFields(folder);
    std::map<QString, FieldTally> tallies;
    for (const FieldRow& row : rows) {
        if (!sources.isEmpty() && !sources.contains(row.dataset))
            continue;
        QImageReader reader(QDir(folder).filePath(row.file));
        reader.setAutoTransform(true);
        const QImage photo = reader.read().convertToFormat(QImage::Format_RGB32);
        if (photo.isNull()) {
            std::fprintf(stderr, "%s: cannot read\n", qPrintable(row.file));
            continue;
        }
        FieldTally& t = tallies[row.dataset];
        ++t.photos;
        bool allRight = true;
        FoundAt found;
        for (const Click& c : fieldClicks(photo, row)) {
            if (!QRectF(0, 0, photo.width(), photo.height()).contains(c.target))
                continue;
            const QPointF point = windowClick(photo.size(), c.target);
            const OutlineSearch search = searchRoundOutline(photo, point);
            found.emplace_back(point, search.outline);
            ++t.clicks;
            std::printf("%-24s %-12s %-10s at %7.1f %7.1f -> ", qPrintable(row.file), qPrintable(row.dataset),
                        qPrintable(c.name), point.x(), point.y());
            if (!search.outline) {
                ++t.refused, allRight = false;
                std::printf("nothing  refused  [refused: %s]\n", refusalText(search.refusedBy).c_str());
                continue;
            }
            const RoundOutline& o = *search.outline;
            const double centreError =
                             100 * std::hypot(o.centre.x() - row.centre.x(), o.centre.y() - row.centre.y()) /
                             row.radius,
                         radiusError = 100 * std::abs(o.radius - row.radius) / row.radius;
            const bool right = centreError <= 1 && radiusError <= 1;
            t.centreErrors.push_back(centreError), t.radiusErrors.push_back(radiusError);
            ++(right ? t.right : t.wrong);
            allRight &= right;
            std::printf("%7.1f %7.1f r %7.1f  centre %5.2f %%  radius %5.2f %%  %s\n", o.centre.x(),
                        o.centre.y(), o.radius, centreError, radiusError, right ? "ok" : "WRONG");
        }
        t.photosAllRight += allRight;
        if (!dumpDir.isEmpty())
            dumpField(dumpDir, row, photo, found);
    }
    if (tallies.empty()) {
        std::fprintf(stderr, "no field rows in %s\n", qPrintable(folder));
        return 2;
    }
    printFieldSummary(tallies);
    return 0;
}

// The PNG writer's size and time on real photos, against ImageMagick writing the same pixels as PNG,
// for each rule of choosing the rows' filters.
//
//   eval_png FOLDER... [--rounds N]
//
// Every JPEG, PNG, BMP and TIFF file in the folders is decoded as the program decodes a photo, then
// written as PNG by ImageMagick (convert-im6.q16, from a PPM of the same pixels, a whole process as a
// user would run it) and by our writer under each rule, to files in a temporary folder. Rounds
// alternate between the encoders, so that load from other programs falls on all alike, and each
// time is the median of the rounds. Prints one line per photo and, per rule, the worst and the mean
// size and time against ImageMagick's (targets: size within 10 %, time at most 0.15 of its).
#include "imaging/imaging.h"
#include "imaging/png_writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Rule {
    const char* name;
    imaging::PngFilterRule rule;
};
const Rule kRules[] = {{"sum+up", imaging::PngFilterRule::SmallestSumUpTrial},
                       {"trial5", imaging::PngFilterRule::GroupTrial}};
constexpr int kRuleCount = int(sizeof(kRules) / sizeof(kRules[0]));

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? NAN : v[v.size() / 2];
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

struct Totals {
    double worstSize = 0, worstTime = 0, logSize = 0, logTime = 0;
    int photos = 0, withinTargets = 0;
    void add(double size, double time) {
        worstSize = std::max(worstSize, size);
        worstTime = std::max(worstTime, time);
        logSize += std::log(size);
        logTime += std::log(time);
        ++photos;
        withinTargets += size <= 1.10 && time <= 0.15;
    }
};

// Writes with ImageMagick; its time in ms, or NaN when it failed.
double imageMagick(const QString& ppm, const QString& png) {
    QElapsedTimer t;
    t.start();
    QProcess magick;
    magick.start(QStringLiteral("convert-im6.q16"), {ppm, png});
    if (!magick.waitForFinished(-1) || magick.exitStatus() != QProcess::NormalExit || magick.exitCode() != 0)
        return NAN;
    return msSince(t);
}

double ours(const QImage& image, const QString& png, imaging::PngFilterRule rule) {
    QElapsedTimer t;
    t.start();
    QFile file(png);
    if (!file.open(QIODevice::WriteOnly) || !imaging::writePng(image, file, 0, rule).ok)
        return NAN;
    file.close();
    return msSince(t);
}

QStringList photosIn(const QString& folder) {
    QStringList out;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList({"*.jpg", "*.jpeg", "*.png", "*.bmp", "*.tif", "*.tiff"}, QDir::Files, QDir::Name))
        out << dir.filePath(name);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    imaging::configureDecoderLimits();
    QStringList folders;
    int rounds = 3;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else
            folders << args[i];
    }
    if (folders.isEmpty()) {
        std::fprintf(stderr, "usage: eval_png FOLDER... [--rounds N]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString ppm = dir.filePath(QStringLiteral("photo.ppm"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.png"));
    std::printf("%-32s %11s %10s %8s", "photo", "size", "IM bytes", "IM ms");
    for (const Rule& r : kRules)
        std::printf(" | %-7s bytes  size  time", r.name);
    std::printf("\n");
    Totals totals[kRuleCount];
    for (const QString& folder : folders) {
        for (const QString& path : photosIn(folder)) {
            const imaging::Decoded decoded = imaging::decodeFile(path);
            if (!decoded.ok() || !decoded.image.save(ppm, "PPM")) {
                std::printf("%-32s not read: %s\n", qPrintable(QFileInfo(path).fileName()),
                            qPrintable(decoded.error));
                continue;
            }
            const QImage& image = decoded.image;
            std::vector<double> theirMs;
            std::vector<std::vector<double>> ourMs(kRuleCount);
            bool failed = false;
            for (int round = 0; round < rounds && !failed; ++round) {
                theirMs.push_back(imageMagick(ppm, theirs));
                for (int r = 0; r < kRuleCount; ++r)
                    ourMs[size_t(r)].push_back(
                        ours(image, dir.filePath(QStringLiteral("ours%1.png").arg(r)), kRules[r].rule));
                failed = std::isnan(theirMs.back());
            }
            const QString size = QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
            std::printf("%-32s %11s", qPrintable(QFileInfo(path).fileName()), qPrintable(size));
            if (failed) {
                std::printf(" ImageMagick failed\n");
                continue;
            }
            const double theirBytes = double(QFileInfo(theirs).size()), theirTime = median(theirMs);
            std::printf(" %10.0f %8.1f", theirBytes, theirTime);
            for (int r = 0; r < kRuleCount; ++r) {
                const double bytes =
                    double(QFileInfo(dir.filePath(QStringLiteral("ours%1.png").arg(r))).size());
                const double sizeRatio = bytes / theirBytes, timeRatio = median(ourMs[size_t(r)]) / theirTime;
                std::printf(" | %13.0f %5.3f %5.3f", bytes, sizeRatio, timeRatio);
                totals[r].add(sizeRatio, timeRatio);
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    for (int r = 0; r < kRuleCount; ++r) {
        const Totals& t = totals[r];
        if (t.photos == 0)
            continue;
        std::printf("%-8s %d photos: size worst %.3f mean %.3f; time worst %.3f mean %.3f; %d of %d within "
                    "10 %% and 0.15\n",
                    kRules[r].name, t.photos, t.worstSize, std::exp(t.logSize / t.photos), t.worstTime,
                    std::exp(t.logTime / t.photos), t.withinTargets, t.photos);
    }
    return 0;
}

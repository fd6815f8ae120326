// Accuracy of the rotation measured between two photos of an eye.
//
//   eval_rotation FOLDER [PAIRS_PER_PHOTO [NAME_PART]]
//   eval_rotation FOLDER [--only GROUP_PART] [--no-turns] [--jobs N] [--dump DIR]
//                 [--outlines-only]      (FOLDER with a groups.csv)
//
// With a groups.csv, FOLDER holds several real captures of each eye: see real_pairs.cpp. Otherwise
// FOLDER holds the photos and a truth.csv whose first column names the photo and whose "kind"
// column says "visible" for colour photos; only those are used. Each pair is a photo and a copy of
// it turned by a known angle (-25..25 degrees, counter-clockwise on the screen positive) about a
// point near the photo's middle, scaled by 0.9..1.1, shifted, with brightness and contrast changed,
// blurred by about a pixel and stored as JPEG at quality 70. The pairs come from a fixed seed.
// Prints one line per pair and a table: share answered, median and 95th percentile of the error,
// share of answers more than 2 degrees wrong, time per pair. With NAME_PART, only the pairs of photos
// whose name holds it are measured (the others are still drawn, so each pair stays the same).
#include "analysis/rotation.h"
#include "eval_support.h"
#include "output/rotation_report.h"
#include "real_pairs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTextStream>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QStringList visiblePhotos(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("truth.csv")));
    QStringList out;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    QTextStream in(&file);
    const QStringList header = in.readLine().split(QLatin1Char(','));
    const int kindAt = int(header.indexOf(QStringLiteral("kind")));
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(QLatin1Char(','));
        // The kind is the last column; quoted fields with commas come before it.
        if (kindAt >= 0 && f.size() > 1 && f.last().trimmed() == QLatin1String("visible"))
            out << f[0];
    }
    return out;
}

struct Pair {
    double degrees, scale, brightness, contrast;
    QPointF pivot, shift;
};

Pair randomPair(QRandomGenerator& random, const QSize& size) {
    const auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * random.generateDouble(); };
    const double side = std::min(size.width(), size.height());
    Pair p;
    p.degrees = uniform(-25, 25);
    p.scale = uniform(0.9, 1.1);
    p.pivot = QPointF(size.width() / 2.0 + uniform(-0.1, 0.1) * side,
                      size.height() / 2.0 + uniform(-0.1, 0.1) * side);
    p.shift = QPointF(uniform(-0.05, 0.05) * side, uniform(-0.05, 0.05) * side);
    p.brightness = uniform(-25, 25);
    p.contrast = uniform(0.8, 1.2);
    return p;
}

// The photo as a second camera shot would show it: turned counter-clockwise on the screen (y grows
// downwards), scaled, shifted, lit differently, a little soft, compressed.
QImage currentPhoto(const QImage& reference, const Pair& p) {
    const double a = p.degrees * M_PI / 180, c = p.scale * std::cos(a), s = p.scale * std::sin(a);
    const double px = p.pivot.x() - 0.5, py = p.pivot.y() - 0.5; // OpenCV puts pixel centres at integers
    const cv::Matx23d m(c, s, px - c * px - s * py + p.shift.x(), -s, c, py + s * px - c * py + p.shift.y());
    const cv::Mat src(reference.height(), reference.width(), CV_8UC4,
                      const_cast<uchar*>(reference.constBits()), size_t(reference.bytesPerLine()));
    QImage out(reference.size(), QImage::Format_RGB32);
    cv::Mat dst(out.height(), out.width(), CV_8UC4, out.bits(), size_t(out.bytesPerLine()));
    cv::warpAffine(src, dst, m, dst.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT);
    dst.convertTo(dst, -1, p.contrast, 128 * (1 - p.contrast) + p.brightness);
    cv::GaussianBlur(dst, dst, cv::Size(0, 0), 1.0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    out.save(&buffer, "JPG", 70);
    return QImage::fromData(bytes, "JPG").convertToFormat(QImage::Format_RGB32);
}

// Reads the options after FOLDER for a folder of real captures; false, with the reason on stderr,
// for one it does not know.
bool realPairOptions(int argc, char** argv, RealPairOptions& options) {
    for (int i = 2; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--only" && i + 1 < argc)
            options.only = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--no-turns")
            options.addedTurns = false;
        else if (a == "--dump" && i + 1 < argc)
            options.dump = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--outlines-only")
            options.pairs = false;
        else if (a == "--jobs" && i + 1 < argc)
            options.jobs = std::max(1, atoi(argv[++i]));
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

// Each photo against turned copies of itself, one line a pair and the table.
int evaluateSelfPairs(const QString& folder, const QStringList& photos, int perPhoto, const QString& only) {
    QRandomGenerator random(20261207);
    std::vector<double> errors;
    int pairs = 0, wrong = 0;
    double seconds = 0;
    for (const QString& name : photos) {
        QImageReader reader(QDir(folder).filePath(name));
        reader.setAutoTransform(true);
        const QImage reference = reader.read().convertToFormat(QImage::Format_RGB32);
        if (reference.isNull()) {
            std::fprintf(stderr, "%s: cannot read\n", qPrintable(name));
            continue;
        }
        for (int k = 0; k < perPhoto; ++k) {
            const Pair p = randomPair(random, reference.size());
            if (!name.contains(only))
                continue;
            const QImage current = currentPhoto(reference, p);
            const auto start = std::chrono::steady_clock::now();
            const RotationResult r = measureRotation(reference, current);
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++pairs;
            std::printf("%-30s turn %6.2f scale %.3f -> ", qPrintable(name), p.degrees, p.scale);
            if (!r.measured) {
                std::printf("refused: %s\n", refusalMessage(r.refusal));
                continue;
            }
            const double error = std::abs(wrapDegrees(r.degrees - p.degrees));
            errors.push_back(error);
            wrong += error > 2;
            std::printf("%7.2f  error %5.2f  confidence %.2f  sectors %d%s\n", r.degrees, error, r.confidence,
                        r.sectors, error > 2 ? "  WRONG" : "");
        }
    }
    std::printf("\n| pairs | answered | error median | p95 | > 2 degrees wrong | s/pair |\n"
                "|---|---|---|---|---|---|\n");
    std::printf("| %d | %.1f %% | %.2f | %.2f | %d (%.1f %%) | %.2f |\n", pairs,
                100.0 * errors.size() / pairs, percentile(errors, 0.5), percentile(errors, 0.95), wrong,
                100.0 * wrong / pairs, seconds / pairs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!startEvaluation(argc, argv))
        return 2;
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [PAIRS_PER_PHOTO [NAME_PART]] [--set FIELD=VALUE]...\n",
                     argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (QFile::exists(QDir(folder).filePath(QStringLiteral("groups.csv")))) {
        RealPairOptions options;
        if (!realPairOptions(argc, argv, options))
            return 2;
        return evaluateRealPairs(folder, options);
    }
    const QStringList photos = visiblePhotos(folder);
    if (photos.isEmpty()) {
        std::fprintf(stderr, "no visible-light photos listed in %s/truth.csv\n", argv[1]);
        return 2;
    }
    // At least 200 pairs in all.
    const int perPhoto = argc > 2 ? std::max(1, atoi(argv[2])) : int(std::ceil(200.0 / photos.size()));
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    return evaluateSelfPairs(folder, photos, perPhoto, only);
}

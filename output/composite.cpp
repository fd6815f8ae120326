#include "output/composite.h"

#include "output/composite_drawing.h"

#include "gauge/geometry.h"
#include "imaging/imaging.h"
#include "imaging/rounding.h"

#include <QColorSpace>
#include <QFontMetricsF>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr qint64 kMinPixelsForThreads = 1000000;
// The composite is drawn in horizontal tiles of this many rows, the same tiles however many
// threads draw them: Qt's fast anti-aliased lines clip to the paint device first, and a line cut at
// another row comes out a few levels different along its edges.
constexpr int kTileRows = 1024;
const char kNoMemory[] = "Not enough memory for the composite";

// Source-over of a premultiplied ink pixel onto a straight-alpha photo pixel, in full precision.
QRgb inkOver(QRgb ink, QRgb photo) {
    const double sa = qAlpha(ink) / 255.0;
    const double da = qAlpha(photo) / 255.0 * (1.0 - sa);
    const double oa = sa + da;
    const auto channel = [oa, da](int ink, int photo) {
        return std::clamp(roundHalfEven((ink / 255.0 + photo / 255.0 * da) / oa * 255.0), 0, 255);
    };
    return qRgba(channel(qRed(ink), qRed(photo)), channel(qGreen(ink), qGreen(photo)),
                 channel(qBlue(ink), qBlue(photo)), roundHalfEven(oa * 255.0));
}

// A photo with alpha is not drawn on directly: QPainter round-trips every pixel a primitive spans
// through premultiplied values, which loses the colour of nearly transparent pixels even where
// nothing shows. The drawing goes onto a clear ink layer instead, laid over the pixels it covers.
void drawOverAlphaRows(QImage& rows, int top, const std::vector<DrawOp>& ops) {
    const QRectF area(0, top, rows.width(), rows.height());
    QImage ink(rows.size(), QImage::Format_ARGB32_Premultiplied);
    if (ink.isNull())
        throw std::bad_alloc();
    ink.fill(Qt::transparent);
    {
        QPainter painter(&ink);
        painter.translate(0, -top);
        replayDrawing(painter, ops, area);
    }
    for (int y = 0; y < rows.height(); ++y) {
        const auto* inkRow = reinterpret_cast<const QRgb*>(ink.constScanLine(y));
        auto* row = reinterpret_cast<QRgb*>(rows.scanLine(y));
        for (int x = 0; x < rows.width(); ++x)
            if (qAlpha(inkRow[x]) != 0)
                row[x] = inkOver(inkRow[x], row[x]);
    }
}

int chooseThreads(int requested, int width, int height) {
    if (requested > 0)
        return requested;
    return qint64(width) * height >= kMinPixelsForThreads ? std::min(2, QThread::idealThreadCount()) : 1;
}

} // namespace

int alphaForTransparency(int percent) {
    return 255 - divTrunc(percent * 255, 100);
}

int penWidthForThickness(int index) {
    return 4 + 8 * index;
}

double serifLineSpacing(int pixelSize) {
    if (pixelSize <= 0)
        return 0;
    return QFontMetricsF(compositeFont(pixelSize)).lineSpacing();
}

CompositeLayout compositeLayout(int width, int height, float offsetX, float offsetY, int centreSize,
                                const QSize& logoSize, const QSize& letteringSize) {
    CompositeLayout g;
    g.width = width;
    g.height = height;
    g.shorterSide = std::min(width, height);
    g.reach = std::max(width, height);
    const QPoint centre = gaugeCentre(width, height, offsetX, offsetY);
    g.cx = centre.x();
    g.cy = centre.y();
    g.markRadius = roundHalfEven(g.shorterSide * centreSize / 200.0);
    g.edgeDistance = std::min({g.cx, g.cy, width - g.cx, height - g.cy});
    g.numberRadius = roundHalfEven(g.edgeDistance * GaugeProportions::savedNumberReach);
    g.guideRadius = roundHalfEven(g.numberRadius * GaugeProportions::guideNumber);
    g.sectorRadius = roundHalfEven(g.numberRadius * GaugeProportions::savedSectorNumber);
    g.numberFont = roundHalfEven(g.shorterSide * 0.02);
    g.referenceFont = roundHalfEven(g.shorterSide * 0.025);
    g.eyeFont = roundHalfEven(g.shorterSide * 0.075);
    g.deltaFont = divTrunc(g.eyeFont, 4);

    const double bandHeight = 1.01 * g.referenceFont;
    g.bandBox = QRectF(0, height - bandHeight, width, bandHeight);
    g.referenceLineSpacing = serifLineSpacing(g.referenceFont);

    const int logoWidth = divTrunc(width, 8);
    const int logoHeight =
        logoSize.width() > 0 ? roundHalfEven(double(logoWidth) * logoSize.height() / logoSize.width()) : 0;
    g.logoBox = QRectF(0, 0, logoWidth, logoHeight);
    const int letteringWidth = divTrunc(width, 6);
    const int letteringHeight =
        letteringSize.width() > 0
            ? roundHalfEven(double(letteringWidth) * letteringSize.height() / letteringSize.width())
            : 0;
    // Its lower edge sits on the top of the reference band, drawn or not.
    g.letteringBox = QRectF(0, height - letteringHeight - bandHeight, letteringWidth, letteringHeight);

    const int labelWidth = 2 * g.eyeFont;
    const int labelHeight = roundHalfEven(serifLineSpacing(g.eyeFont));
    g.eyeBox = QRectF(width - labelWidth, 0, labelWidth, labelHeight);
    g.deltaBox = QRectF(width - labelWidth, labelHeight, labelWidth, serifLineSpacing(g.deltaFont));
    return g;
}

CompositeResult renderComposite(const CompositeInputs& in, int threads) {
    CompositeResult result;
    if (in.photo.isNull()) {
        result.error = QStringLiteral("No photo");
        return result;
    }
    const int width = in.photo.width();
    const int height = in.photo.height();
    QImage source;
    QImage composite;
    try {
        source = imaging::copyToPhotoFormat(in.photo); // shared, not copied, for a loaded photo
        if (!source.isNull())
            composite = imaging::newBitmap(width, height, source.hasAlphaChannel()); // null when it fails
    } catch (const std::bad_alloc&) {
        composite = QImage();
    }
    if (composite.isNull()) {
        result.error = QString::fromUtf8(kNoMemory);
        return result;
    }
    // A fresh image, so nothing of the source file's text or EXIF travels along; the resolution
    // and colour space describe the pixels and are kept.
    composite.setDotsPerMeterX(in.photo.dotsPerMeterX());
    composite.setDotsPerMeterY(in.photo.dotsPerMeterY());
    composite.setColorSpace(in.photo.colorSpace());

    const CompositeLayout layout =
        compositeLayout(width, height, in.centreOffsetX, in.centreOffsetY, in.centreSize, in.brandLogo.size(),
                        in.brandLettering.size());
    const std::vector<DrawOp> ops = compositeDrawing(in, layout);

    uchar* const bits = composite.bits();
    const qsizetype stride = composite.bytesPerLine();
    const QImage::Format format = composite.format();
    std::atomic<bool> failed{false};

    // A tile copies its rows of the photo and draws the whole list on them.
    const auto drawTile = [&](int tile) {
        try {
            const int top = tile * kTileRows;
            const int rows = std::min(kTileRows, height - top);
            for (int y = top; y < top + rows; ++y)
                std::memcpy(bits + y * stride, source.constScanLine(y), size_t(width) * 4);
            QImage view(bits + top * stride, width, rows, stride, format);
            if (format == QImage::Format_ARGB32) {
                drawOverAlphaRows(view, top, ops);
                return;
            }
            QPainter painter(&view);
            painter.translate(0, -top);
            replayDrawing(painter, ops, QRectF(0, top, width, rows)); // only what reaches its rows
        } catch (...) {
            failed = true;
        }
    };

    // Each tile is drawn on a fresh thread, up to `threads` at a time. Qt keeps glyph caches per
    // thread and draws large glyphs slightly differently once a thread has drawn other text, so a
    // fresh thread per tile makes the pixels the same in every rendering, whatever the thread count.
    const int tiles = (height + kTileRows - 1) / kTileRows;
    const int n = std::min(chooseThreads(threads, width, height), tiles);
    for (int first = 0; first < tiles; first += n) {
        std::vector<std::thread> workers;
        for (int tile = first; tile < std::min(tiles, first + n); ++tile) {
            try {
                workers.emplace_back(drawTile, tile);
            } catch (const std::system_error&) {
                drawTile(tile); // no thread to be had: draw it here
            }
        }
        for (std::thread& t : workers)
            t.join();
    }

    if (failed) {
        result.error = QString::fromUtf8(kNoMemory);
        return result;
    }
    result.image = std::move(composite);
    return result;
}

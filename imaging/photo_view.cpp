#include "imaging/photo_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace imaging {

namespace {

constexpr double kBlocksFrom = 2.0; // target pixels per photo pixel from which pixels show as blocks

// Fast-path formats for drawing: opaque photos stay RGB32, others premultiplied.
QImage drawable(const QImage& image) {
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied)
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

// Each pixel the mean of a 2 x 2 block (a last odd row or column is repeated), all four channels at
// once two by two. Premultiplied pixels average correctly; several times faster than a general
// smooth scaling, which matters on the first zoom after loading a large photo.
QImage halved(const QImage& source) {
    const int w = (source.width() + 1) / 2, h = (source.height() + 1) / 2;
    QImage out(w, h, source.format());
    if (out.isNull())
        return out; // no memory for it
    const int lastX = source.width() - 1;
    for (int y = 0; y < h; ++y) {
        const auto* top = reinterpret_cast<const quint32*>(source.constScanLine(2 * y));
        const auto* bottom =
            reinterpret_cast<const quint32*>(source.constScanLine(std::min(2 * y + 1, source.height() - 1)));
        auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int x0 = 2 * x, x1 = std::min(x0 + 1, lastX);
            const quint32 px[4] = {top[x0], top[x1], bottom[x0], bottom[x1]};
            quint32 rb = 0x00020002, ag = 0x00020002; // halves round up
            for (quint32 p : px) {
                rb += p & 0x00ff00ff;
                ag += (p >> 8) & 0x00ff00ff;
            }
            row[x] = ((rb >> 2) & 0x00ff00ff) | (((ag >> 2) & 0x00ff00ff) << 8);
        }
    }
    return out;
}

} // namespace

void ScaledCopies::reset(const QImage& photo) {
    levels.clear();
    source = photo;
}

const QImage& ScaledCopies::photo() const {
    return levels.empty() ? source : levels.front();
}

const QImage& ScaledCopies::copyFor(double scale) {
    if (levels.empty() && !source.isNull()) {
        QImage first = drawable(source);
        levels.push_back(first.isNull() ? source : std::move(first)); // no memory to convert: as it is
    }
    if (levels.empty())
        return empty;
    size_t level = 0;
    double levelScale = 1.0;
    while (levelScale / 2 >= scale && levels[level].width() > 1 && levels[level].height() > 1) {
        if (level + 1 == levels.size()) {
            QImage next = halved(levels.back());
            if (next.isNull())
                break; // no memory for a smaller copy: the larger one is drawn, only slower
            levels.push_back(std::move(next));
        }
        ++level;
        levelScale /= 2;
    }
    return levels[level];
}

void ScaledCopies::prepare(double scale) {
    copyFor(scale);
}

void drawPhotoView(QImage& target, ScaledCopies& copies, const QTransform& photoToTarget) {
    const QImage& photo = copies.photo();
    if (photo.isNull() || target.isNull())
        return;
    const double scale = photoToTarget.m11();
    const QImage& copy = copies.copyFor(scale);
    // The copy's pixels onto the photo's, each side by itself (halving rounds odd sides up).
    const QTransform copyToTarget =
        QTransform::fromScale(double(photo.width()) / copy.width(), double(photo.height()) / copy.height()) *
        photoToTarget;
    const QRectF seen = copyToTarget.inverted().mapRect(QRectF(target.rect()));
    const QRect source = seen.toAlignedRect().adjusted(-1, -1, 1, 1) & copy.rect();
    if (source.isEmpty())
        return;
    QPainter p(&target);
    p.setRenderHint(QPainter::SmoothPixmapTransform, scale < kBlocksFrom);
    p.setTransform(copyToTarget);
    p.drawImage(source.topLeft(), copy, source);
}

} // namespace imaging

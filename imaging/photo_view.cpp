#include "imaging/photo_view.h"

#include <QPainter>

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

} // namespace

void ScaledCopies::reset(const QImage& photo) {
    levels.clear();
    if (!photo.isNull())
        levels.push_back(drawable(photo));
}

const QImage& ScaledCopies::copyFor(double scale) {
    if (levels.empty())
        return empty;
    size_t level = 0;
    double levelScale = 1.0;
    while (levelScale / 2 >= scale && levels[level].width() > 1 && levels[level].height() > 1) {
        if (level + 1 == levels.size()) {
            const QImage& last = levels.back();
            levels.push_back(last.scaled((last.width() + 1) / 2, (last.height() + 1) / 2, Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation));
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

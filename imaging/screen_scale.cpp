#include "imaging/screen_scale.h"

#include "imaging/imaging.h"

#include <cmath>

namespace imaging {

QSize devicePixelSize(const QSize& logical, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return QSize(int(std::lround(logical.width() * ratio)), int(std::lround(logical.height() * ratio)));
}

QImage scaledForScreen(const QImage& source, const QSize& logical, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize device = devicePixelSize(logical, ratio);
    QImage scaled = scaledTo(source, device.width(), device.height());
    // The screen's own ratio, so each image pixel lands on one device pixel.
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

QImage enlargedForScreen(const QImage& drawing, qreal devicePixelRatio) {
    if (devicePixelRatio <= 1.0 || drawing.isNull())
        return drawing;
    const QSize device = devicePixelSize(drawing.size(), devicePixelRatio);
    QImage enlarged = drawing.scaled(device, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    enlarged.setDevicePixelRatio(devicePixelRatio);
    return enlarged;
}

} // namespace imaging

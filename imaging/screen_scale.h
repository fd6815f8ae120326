#pragma once

#include <QImage>
#include <QSize>

// Photos on high-density screens: shown from pixels at the screen's own density, placed and
// measured in logical pixels like everything else in the windows.
namespace imaging {

// The device pixels that cover a logical size at a device pixel ratio, each side rounded.
QSize devicePixelSize(const QSize& logical, qreal devicePixelRatio);
// The whole image scaled smoothly into the device pixels of a logical size and marked with the
// ratio, so it is drawn at that logical size without being enlarged again.
QImage scaledForScreen(const QImage& source, const QSize& logical, qreal devicePixelRatio);

// Drawing made in logical pixels (the gauge overlay), each pixel enlarged to the block of device
// pixels it covers and marked with the ratio: lines stay crisp where the formulas put them, instead
// of being smoothed and shifted by the window system's scaling. Unchanged at a ratio of 1.
QImage enlargedForScreen(const QImage& drawing, qreal devicePixelRatio);

} // namespace imaging

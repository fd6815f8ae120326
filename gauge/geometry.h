#pragma once

#include <QPoint>

// Gauge geometry shared by the screen overlay, the pointer and the composite.

// Pixel centre of the gauge on a W x H surface: the offsets are fractions of width and height
// from the middle, stored in single precision and widened before the arithmetic.
QPoint gaugeCentre(int width, int height, float offsetX, float offsetY);

// The point at angle alphaDeg (0 right, counter-clockwise on screen) and distance r from c,
// each coordinate rounded by itself.
QPoint pointAt(const QPoint& c, double alphaDeg, double r);

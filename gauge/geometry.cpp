#include "gauge/geometry.h"

#include "gauge/rounding.h"

#include <cmath>

QPoint gaugeCentre(int width, int height, float offsetX, float offsetY) {
    return QPoint(roundHalfEven(width * double(offsetX) + width / 2.0),
                  roundHalfEven(height * double(offsetY) + height / 2.0));
}

QPoint pointAt(const QPoint& c, double alphaDeg, double r) {
    const double a = alphaDeg * M_PI / 180.0;
    return QPoint(c.x() + roundHalfEven(r * std::cos(a)), c.y() - roundHalfEven(r * std::sin(a)));
}

#pragma once

#include <QImage>

#include <vector>

// Grey levels of a photo read at continuous positions. Coordinates are in pixels with pixel i
// covering [i, i + 1), so its centre lies at i + 0.5; positions outside read as not available.

// Grey levels straight from a 32-bit photo, bilinear, for the final edge search at full size.
class PhotoGray {
public:
    explicit PhotoGray(const QImage& photo);
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    bool sample(double x, double y, float& value) const;

private:
    float at(int x, int y) const;
    QImage image; // shares the photo's pixels when they are 32-bit already
    const uchar* bits = nullptr;
    qsizetype stride = 0;
};

// The reduction factor that brings the longer side of a photo to about targetSide pixels.
int reductionFactor(const QSize& photo, int targetSide = 1000);

#pragma once

#include <QImage>

#include <vector>

// Grey levels of a photo read at continuous positions. Coordinates are in pixels with pixel i
// covering [i, i + 1), so its centre lies at i + 0.5; positions outside read as not available.

// Grey levels straight from a 32-bit photo, bilinear, for the final edge search at full size.
class PhotoGray {
public:
    // Grey is the weighted grey level; Brightest the brightest of the three channels, in which a dark
    // pupil steps most sharply up to a brown iris.
    enum Channel { Grey, Brightest };
    explicit PhotoGray(const QImage& photo, Channel channel = Grey);
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    bool sample(double x, double y, float& value) const;

private:
    QImage image; // shares the photo's pixels when they are 32-bit already
    const uchar* bits = nullptr;
    qsizetype stride = 0;
    Channel channel = Grey;
};

// The reduction factor that brings the longer side of a photo to about targetSide pixels.
int reductionFactor(const QSize& photo, int targetSide = 1000);

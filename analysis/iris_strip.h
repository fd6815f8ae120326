#pragma once

#include "circle_fit.h"

#include <QImage>

#include <opencv2/core.hpp>

// The ring about a limbus unrolled into a strip: one column per angle, counter-clockwise on the
// screen from the photo's 0 degree direction (to the right), one row per radius from the outer iris
// to the ring of vessels just outside the limbus. Radii are in limbus radii, so that the same eye
// photographed at another scale gives the same strip.

inline constexpr int kStripColumns = 720; // half a degree each
inline constexpr int kStripRows = 40;
inline constexpr double kStripInner = 0.65; // in limbus radii: beyond a wide pupil
inline constexpr double kStripOuter = 1.3;

struct IrisStrip {
    cv::Mat texture; // CV_32F: the grey level's local contrast, mean 0 and spread 1 about each pixel
    cv::Mat valid; // CV_8U, 255 where the texture is the eye's: not a lid, lash, reflection or off the photo

    double columnDegrees() const { return 360.0 / texture.cols; }
    double rowRadii() const { return (kStripOuter - kStripInner) / texture.rows; }
    // Share of the angles at which the eye is seen.
    double visibleShare() const;
};

// The strip about a limbus given in photo pixels (pixel i covering [i, i + 1)).
IrisStrip unrollIris(const QImage& photo, const Circle& limbus);

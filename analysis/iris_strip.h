#pragma once

#include "circle_fit.h"

#include <QImage>

#include <opencv2/core.hpp>

#include <optional>

// The iris and the white of the eye about a limbus unrolled into a strip: one column per angle,
// counter-clockwise on the screen from the photo's 0 degree direction (to the right). The upper rows
// hold the iris from the pupil's edge out to the limbus, stretched between the two outlines along
// each angle (a rubber sheet), so that a pupil of another size does not shift the iris's pattern;
// the lower rows hold the ring of vessels just outside the limbus, in limbus radii. The same eye
// photographed at another scale gives the same strip. Its sizes are in the rotation tuning.

struct IrisStrip {
    cv::Mat texture; // CV_32F: the grey level's local contrast, mean 0 and spread 1 about each pixel
    cv::Mat valid; // CV_8U, 255 where the texture is the eye's: not a lid, lash, reflection or off the photo

    double columnDegrees() const { return 360.0 / texture.cols; }
    // Share of the angles at which the eye is seen.
    double visibleShare() const;
};

// The photo about a limbus reduced to the scale its strip is read at (a limbus radius of about 160
// pixels, the tuning's planeRadius), in grey with a mask of reflections, reaching a little beyond the strip
// so that the strip can be read again about a corrected centre without reducing the photo again.
struct IrisPlane {
    cv::Mat grey, glare;
    QPointF origin; // photo position of the plane's top-left corner
    double factor = 1;
};
IrisPlane irisPlaneAbout(const QImage& photo, const Circle& limbus);

// The strip about a limbus and pupil given in photo pixels (pixel i covering [i, i + 1)); without a
// pupil, one of the tuning's notionalPupil limbus radii about the limbus's centre stands in.
IrisStrip unrollIris(const QImage& photo, const Circle& limbus, const std::optional<Circle>& pupil);
// The same, read from a plane made about this limbus or one near it of the same size.
IrisStrip unrollIris(const IrisPlane& plane, const Circle& limbus, const std::optional<Circle>& pupil);

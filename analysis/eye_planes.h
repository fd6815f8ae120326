#pragma once

#include <QImage>
#include <QPointF>

#include <opencv2/core.hpp>

// A reduced copy of a photo for finding the pupil and the limbus: two 8-bit planes, one pixel per
// factor x factor block of the photo, with the corneal reflections (small saturated spots) filled
// from their surroundings so that they neither hide an edge nor pass for a round outline.
struct EyePlanes {
    int factor = 1;
    cv::Mat value; // brightest channel: the pupil stands out most against any iris colour
    cv::Mat luma;  // weighted grey: the limbus steps from iris to the white of the eye
    cv::Mat red;   // red channel: a pupil veiled by a bluish reflection is still dark in it
    cv::Mat glare; // 255 where a reflection was filled

    // Position in the reduced planes of a photo position, both with pixel i covering [i, i + 1).
    QPointF reduced(const QPointF& photoPoint) const { return photoPoint / factor; }
};

// The planes of a photo whose longer side is brought to at most about targetSide pixels (0: the
// rings tuning's planeSide).
EyePlanes makeEyePlanes(const QImage& photo, int targetSide = 0);

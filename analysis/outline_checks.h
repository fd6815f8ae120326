#pragma once

#include "circle_fit.h"
#include "gray_sampler.h"
#include "round_outline.h"

#include <QPointF>

#include <opencv2/core.hpp>

#include <vector>

// The checks an outline found about a clicked point must pass before it is answered, each named by
// the OutlineCheck that reports its refusal.

// An outline seen nearly all round (a pupil, a fundus field), refined from a start circle.
struct AllRoundEvidence {
    const PhotoGray& full;
    Circle start;               // the circle the refinement started from
    Circle circle;              // the robust circle through the edges
    Ellipse ellipse;            // the ellipse through the edges left on it
    double typicalDistance = 0; // median distance of those edges from the ellipse
    double agreement = 0;       // share of the rays read whose edge lies on the ellipse
    std::vector<double> angles; // of those edges about the circle's centre, degrees 0..360
    int sign = 1;               // 1: darker inside (a pupil), -1: brighter inside (a field)
};

// The first check the outline fails, in order of cost; None when it passes them all.
Refusal allRoundRefusal(const AllRoundEvidence& e);

// A limbus refined at full size from a candidate, on the sides of the eye.
struct LimbusEvidence {
    const PhotoGray& full;
    Circle start;
    Circle circle;
    double scale = 0;      // robust spread of the edges about the circle
    int sides[2] = {0, 0}; // edges on it left and right of its centre
    int lateralRays = 0;   // rays cast on the sides
    QPointF point;         // the click, in photo pixels
};

Refusal limbusRefusal(const LimbusEvidence& e);

// The largest arc, in degrees, between neighbouring angles (degrees) round the circle.
double largestGapDegrees(std::vector<double> angles);

// The share of directions round a circle (of those on the photo) in which the grey level steps across
// it the right way, from well inside to well outside, by a good part of its typical step.
double steppingShare(const PhotoGray& full, const Circle& c, int sign);

// Whether the point lies in a dark core of the outline (both in the plane's pixels), a pupil not found.
bool inDarkCore(const cv::Mat& value, const QPointF& point, const Circle& outline);

// Whether a bright field is framed in black, as a fundus camera frames its field: frame, the photo's
// darkest level, is far darker than the field, and the level beyond the field is close to it.
bool framedInBlack(const cv::Mat& value, const Circle& field, double frame);

// The photo's darkest level: its 2nd percentile, the level of a fundus camera's frame.
double darkestLevel(const cv::Mat& value);

// Whether the point lies on a spot as dark as what frames a bright field.
bool onDarkSpot(const cv::Mat& value, const QPointF& point, const Circle& field);

// How grey what lies just beyond a limbus on the sides of the eye is: the median of the weighted grey
// level over the brightest channel there (both planes), 1 for white or grey, about 0.6 for the orange
// of a fundus photo.
double beyondGreyShare(const cv::Mat& value, const cv::Mat& luma, const Circle& limbus);

// Whether the middle of a limbus (plane pixels), iris and pupil, is darker than the white of the eye
// beyond its sides: not a circle on the white of the eye through the lid's margin and the iris's edge.
bool darkMiddle(const cv::Mat& luma, const Circle& limbus);

// Whether two outlines are one.
bool sameOutline(const RoundOutline& a, const RoundOutline& b);

// Whether a limbus lies about its pupil as limbi do: wider, and nearly concentric.
bool holdsPupil(const RoundOutline& limbus, const Circle& pupil);

// Whether the outline holds one of the limbi found about the point's own pupil zone.
bool holdsPupilZone(const RoundOutline& outline, const std::vector<RoundOutline>& aboutPupil);

#pragma once

#include "circle_fit.h"
#include "eye_planes.h"
#include "gray_sampler.h"
#include "round_outline.h"

#include <QImage>
#include <QPointF>

#include <optional>
#include <vector>

// Outlines refined at full size from start circles found in the reduced planes: edges on rays about
// the start circle, a robust circle through them, then the checks of outline_checks.

// The ellipse through the edge points, refitted without the points far off it: what is left of
// lids and lashes after the circle fit. Its centre is the outline's, since a slightly oval outline
// seen only in part pulls a circle's centre off.
struct RobustEllipse {
    Ellipse ellipse;
    std::vector<QPointF> points; // those on it
    double typicalDistance = 0;  // median distance of those from it
};

std::optional<RobustEllipse> fitEllipseRobust(std::vector<QPointF> points);

struct FineFit {
    RobustCircle fit;
    std::vector<QPointF> points;
    int raysRead = 0; // in the last pass
};

// Edges at full resolution in a band about the circle, on rays from its centre, refitted robustly.
FineFit refineAtFullSize(const PhotoGray& photo, Circle circle, int sign, int factor, bool lateralOnly,
                         float glareLevel = 0);

// An outline seen nearly all round (a pupil, a fundus field), refined at full size from a start
// circle and fitted with an ellipse; none, with the check that refused, when the edges there do not
// make one close to the start.
std::optional<RoundOutline> fitAllRound(const PhotoGray& full, const Circle& start, int sign, int factor,
                                        float glareLevel, Refusal& refusedBy);

// The limbus at full size from a candidate: a robust circle through its edges on both sides of the
// eye; none, with the check that refused, unless both sides show it and the point lies inside.
std::optional<RoundOutline> limbusAtFullSize(const PhotoGray& full, const Circle& start, int factor,
                                             const QPointF& point, Refusal& refusedBy);

// Outlines refined from start circles, kept for one search: the pupil is often reached both from
// the point and from the darkest spot near it, and each refinement reads the photo at full size.
class AllRoundFits {
public:
    AllRoundFits(const PhotoGray& full, int factor, float glareLevel = 0)
        : full(full), factor(factor), glareLevel(glareLevel) {}

    // The outline refined from the start circle, when it holds the point; else none, and what
    // refused it in refusedBy when given.
    std::optional<RoundOutline> fit(const Circle& start, int sign, const QPointF& point,
                                    Refusal* refusedBy = nullptr);

private:
    struct Entry {
        Circle start;
        int sign;
        std::optional<RoundOutline> outline;
        Refusal refusedBy;
    };
    const PhotoGray& full;
    int factor;
    float glareLevel;
    std::vector<Entry> entries;
};

// One double-click being answered: the photo's reduced planes, its levels at full size, and the
// outlines refined so far.
struct ClickSearch {
    ClickSearch(const QImage& photo, const EyePlanes& planes, const QPointF& point);

    // Whether the point lies in a dark core of the outline, a pupil not found.
    bool pupilMissed(const RoundOutline& outline) const;

    const EyePlanes& planes;
    const int f;         // photo pixels per plane pixel
    const QPointF point; // in photo pixels
    const QPointF p;     // in plane pixels
    const PhotoGray full;
    // Outlines seen all round (the pupil) are read in the brightest channel, where the pupil's edge is
    // sharpest against a brown iris; whether a disc inside one is even stays a question of grey level,
    // since a pupil tinted by a reflection of the sky is uneven in its brightest channel.
    const PhotoGray brightest;
    AllRoundFits fits;
};

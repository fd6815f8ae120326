#pragma once

#include "circle_fit.h"
#include "gray_sampler.h"

#include <QPointF>

#include <vector>

// Edges along rays: where the grey level steps, with its direction (positive: brighter outward).

struct Edge {
    float r = 0;        // distance from the ray's origin, sub-pixel
    float strength = 0; // signed grey-level step per pixel
};

struct RayEdges {
    float noise = 0; // the edge threshold used, the same for all rays of one cast
    double cos = 1;
    double sin = 0;
    double length = 0;       // how far the ray runs inside the image
    std::vector<Edge> edges; // the two strongest steps of each direction, strongest first
    QPointF pointAt(const QPointF& origin, double r) const { return origin + QPointF(r * cos, r * sin); }
};

// rayCount rays at equal angles from origin to the image's border, each with its few strongest
// edges above the image's own noise level.
std::vector<RayEdges> castRays(const ReducedGray& image, const QPointF& origin, int rayCount);

// How many rays have an edge of the given sign where they cross the circle, which must enclose the
// origin; the matching edge points are appended to points when given. Looks at every stride-th ray.
int countSupport(const std::vector<RayEdges>& rays, const QPointF& origin, const Circle& circle, int sign,
                 std::vector<QPointF>* points, int stride = 1);

// Whether a direction (radians from the x axis, y downwards) lies on the sides of an eye, within
// about 40 degrees of horizontal, where lids and lashes seldom cover the limbus.
bool isLateral(double angle);

// On rayCount rays from the circle's centre, the strongest edge of the given sign within band of its
// radius, located to a fraction of a pixel; smoothing is the half-width of the difference used.
// Rays whose edge is much weaker than the typical one (hidden by a lid, say) give no point. With
// lateralOnly, only the rays on the sides are cast.
std::vector<QPointF> edgesAcrossCircle(const PhotoGray& photo, const Circle& circle, int sign, int rayCount,
                                       double band, int smoothing, bool lateralOnly = false);

// How far round a circle the grey level steps across it in the given direction: the share of its
// directions where the step stands out, both from the noise (minStep) and against the circle's own
// typical step. A point near an outline sees a short stretch of it under a wide angle, so the rays
// from the point cannot tell this; the circle itself can.
struct Contrast {
    double coverage = 0; // 0..1
    double step = 0;     // median step where it stands out
};
Contrast circleContrast(const ReducedGray& image, const Circle& circle, int sign, double minStep);

// The grey-level step that stands out from the texture and noise of the photo seen from the rays.
double noiseStep(const std::vector<RayEdges>& rays);

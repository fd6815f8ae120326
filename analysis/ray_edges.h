#pragma once

#include "circle_fit.h"
#include "gray_sampler.h"

#include <QPointF>

#include <vector>

// Edges along rays from a circle's centre: where the grey level steps across the circle.

// Whether a direction (radians from the x axis, y downwards) lies on the sides of an eye, within
// about 40 degrees of horizontal, where lids and lashes seldom cover the limbus.
bool isLateral(double angle);

// On rayCount rays from the circle's centre, the strongest edge of the given sign within band of its
// radius, located to a fraction of a pixel; smoothing is the half-width of the difference used.
// Rays whose edge is much weaker than the typical one (hidden by a lid, say) give no point. With
// lateralOnly, only the rays on the sides are cast. With a glare level, rays that cross a sample at
// or above it (a reflection, whose own edges would be the strongest) give no point; raysRead counts
// the rays read in full.
std::vector<QPointF> edgesAcrossCircle(const PhotoGray& photo, const Circle& circle, int sign, int rayCount,
                                       double band, int smoothing, bool lateralOnly = false,
                                       float glareLevel = 0, int* raysRead = nullptr);

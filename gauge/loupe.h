#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QSize>

// The loupe shown while the gauge is dragged: the photo around the pointer at full resolution.

// Screen pixels per photo pixel in the loupe for a photo shown at screenScale screen pixels per
// photo pixel: one to one where that enlarges at least four times, never more than four screen
// pixels to a photo pixel.
double loupeMagnification(double screenScale);

// The loupe's picture: the photo around photoPoint (photo pixels, pixel i covering [i, i + 1))
// enlarged by magnification, with a crosshair on that point; outside the photo stays dark.
QImage renderLoupe(const QImage& photo, const QPointF& photoPoint, double magnification, const QSize& size);

// Top-left corner for a loupe of loupeSize in the corner of a panel of panelSize farthest from
// the pointer, margin pixels in from the panel's edges.
QPoint loupeCorner(const QSize& panelSize, const QSize& loupeSize, const QPoint& pointer, int margin = 4);

#pragma once

#include <QPointF>
#include <QRect>

// Largest rectangle of the photo's proportions inside a panel of panelW x panelH, centred along
// the side the photo does not fill. An exact tie of the aspect ratios fills the width.
QRect fitPhotoRect(int panelW, int panelH, int photoW, int photoH);

// The photo point a click on the photo layer stands for: the middle of the layer pixel under the
// pointer, scaled from the layer's size to the photo's.
QPointF photoPointOfLayerPixel(const QPoint& layerPixel, const QSize& layer, const QSize& photo);

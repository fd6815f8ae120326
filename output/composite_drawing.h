#pragma once

#include "output/composite.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

// The composite as a list of drawing steps, made once and then replayed on every tile of the
// picture, so each tile gets exactly the same drawing in the same order.
struct DrawOp {
    enum Kind { Line, Circle, Text, Fill, Picture };
    Kind kind = Line;
    // Gauge geometry names pixels: (x, y) is the centre of pixel (x, y). Boxes anchored to the
    // photo's edges are not shifted.
    bool onPixelCentres = false;
    QPointF from, to; // line ends; the circle's centre and the picture's top-left corner in from
    qreal radius = 0;
    qreal penWidth = 0;
    QRectF box; // text and fill boxes
    QString text;
    int fontPixels = 0;
    QColor color;
    QImage picture; // already scaled to its box and faded
};

// The composite's serif face at a pixel size, with the same rendering on every platform plugin:
// grey-scale anti-aliasing and no hinting.
QFont compositeFont(int pixelSize);

std::vector<DrawOp> compositeDrawing(const CompositeInputs& in, const CompositeLayout& layout);

// Draws the steps with high-quality anti-aliasing for lines and text. Steps that cannot touch the
// rows in `area` (photo coordinates) are left out; an empty area draws them all.
void replayDrawing(QPainter& painter, const std::vector<DrawOp>& ops, const QRectF& area = QRectF());

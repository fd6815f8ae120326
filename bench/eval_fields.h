#pragma once
// Double-click centring on fundus photos with known field circles, for eval_outlines.

#include "analysis/round_outline.h"
#include "imaging/fit.h"

#include <QPainter>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

// Where a double-click aimed at a photo point lands, as the window takes it: the photo fitted into the
// 729 x 606 screen panel, the click at the layer pixel under the point, mapped back to the photo.
inline QPointF windowClick(const QSize& photo, const QPointF& target) {
    const QSize layer = fitPhotoRect(729, 606, photo.width(), photo.height()).size();
    const QPoint pixel(int(std::floor(target.x() * layer.width() / photo.width())),
                       int(std::floor(target.y() * layer.height() / photo.height())));
    return photoPointOfLayerPixel(pixel, layer, photo);
}

using FoundAt = std::vector<std::pair<QPointF, std::optional<RoundOutline>>>; // each click and its answer

// Each click drawn as a cross w wide, yellow where an outline was found (drawn in magenta with its
// centre), red where nothing was.
inline void drawClicks(QPainter& p, const FoundAt& found, double w) {
    for (const auto& [click, outline] : found) {
        p.setPen(QPen(outline ? Qt::yellow : Qt::red, w));
        p.drawLine(click - QPointF(3 * w, 0), click + QPointF(3 * w, 0));
        p.drawLine(click - QPointF(0, 3 * w), click + QPointF(0, 3 * w));
        if (outline) {
            p.setPen(QPen(Qt::magenta, w));
            p.drawEllipse(outline->centre, outline->radius, outline->radius);
            p.drawPoint(outline->centre);
        }
    }
}

// Whether the folder's truth.csv gives field circles (field_cx, field_cy, field_r).
bool isFieldFolder(const QString& folder);

// Clicks on each photo's field: its centre, four points halfway to its rim, the optic disc where the
// truth gives it, and three points on vessels (the darkest thin lines of the green channel). An answer
// is right when its centre and radius both lie within 1 % of the field's radius of the truth; any other
// answer is wrong. One line per click, then a table per dataset and the worst dataset on one line.
// sources: the datasets to evaluate (all when empty). Returns the program's exit code.
int evaluateFields(const QString& folder, const QString& dumpDir, const QStringList& sources);

// Photos with no known circles (a folder without truth.csv): clicks on an n x n grid over the middle
// three fifths of each photo, one line each with what was found, and with dumpDir each photo with every
// outline found drawn on it, to be judged by eye. Returns the program's exit code.
int lookAtGrid(const QString& folder, const QString& dumpDir, const QStringList& sources, int n);

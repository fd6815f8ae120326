#pragma once

#include <QRect>

class QWidget;

// The frame rectangle on `screen` for a window that should leave `keep` uncovered: in the free band
// of the screen beside `keep` (left, right, above or below) where it covers least of it, as large as
// `preferred` allows there, and never smaller than `minimum`.
QRect asideOf(const QRect& screen, const QRect& keep, const QSize& preferred, const QSize& minimum);

// Moves, and if need be and allowed shrinks, a top-level window out of the way of `keep` (global
// coordinates) on the screen it is on; one that may not shrink and would cover `keep` stays where it
// is. Returns whether the window covers none of `keep` afterwards.
bool stepAside(QWidget* window, const QRect& keep, bool mayShrink = true);

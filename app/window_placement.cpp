#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

qint64 area(const QRect& r) {
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

int clampInto(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

} // namespace

QRect asideOf(const QRect& screen, const QRect& keep, const QSize& preferred, const QSize& minimum) {
    const QSize smallest = minimum.boundedTo(screen.size());
    const QRect bands[] = {
        QRect(QPoint(screen.left(), screen.top()), QPoint(keep.left() - 1, screen.bottom())),
        QRect(QPoint(keep.right() + 1, screen.top()), QPoint(screen.right(), screen.bottom())),
        QRect(QPoint(screen.left(), screen.top()), QPoint(screen.right(), keep.top() - 1)),
        QRect(QPoint(screen.left(), keep.bottom() + 1), QPoint(screen.right(), screen.bottom())),
    };
    QRect best;
    qint64 leastCovered = -1;
    for (int i = 0; i < 4; ++i) {
        const QSize size = preferred.boundedTo(bands[i].size().expandedTo(QSize(0, 0))).expandedTo(smallest);
        const int maxX = screen.right() + 1 - size.width(), maxY = screen.bottom() + 1 - size.height();
        // Against keep's side, and level with it along that side.
        int x = clampInto(keep.left(), screen.left(), maxX), y = clampInto(keep.top(), screen.top(), maxY);
        if (i == 0)
            x = clampInto(keep.left() - size.width(), screen.left(), maxX);
        else if (i == 1)
            x = clampInto(keep.right() + 1, screen.left(), maxX);
        else if (i == 2)
            y = clampInto(keep.top() - size.height(), screen.top(), maxY);
        else
            y = clampInto(keep.bottom() + 1, screen.top(), maxY);
        const QRect placed(QPoint(x, y), size);
        const qint64 covered = area(placed & keep);
        if (leastCovered < 0 || covered < leastCovered ||
            (covered == leastCovered && area(placed) > area(best)))
            leastCovered = covered, best = placed;
    }
    return best;
}

bool stepAside(QWidget* window, const QRect& keep, bool mayShrink) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QSize frameExtra = window->frameGeometry().size() - window->size();
    const QRect placed = asideOf(screen->availableGeometry(), keep, window->frameGeometry().size(),
                                 window->minimumSizeHint().expandedTo(window->minimumSize()) + frameExtra);
    if (!mayShrink && (placed.size() != window->frameGeometry().size() || placed.intersects(keep)))
        return !window->frameGeometry().intersects(keep);
    window->resize(placed.size() - frameExtra);
    window->move(placed.topLeft());
    return !window->frameGeometry().intersects(keep);
}

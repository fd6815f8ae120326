#include "app/caption_fit.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QTextDocument>

#include <algorithm>

namespace {

// The font the layout gave the label, kept on the label the first time it is fitted.
const char kLayoutFont[] = "pelvanorLayoutFont";
// Below this a caption is no longer legible; it is then cut rather than shrunk further.
constexpr double kSmallestPointSize = 6.0;

// Room from the label's left edge to the nearest control to its right on its line, or to the
// inside of its parent's right edge.
int roomFor(const QLabel* label) {
    const QWidget* parent = label->parentWidget();
    const QRect place = label->geometry();
    int right = parent->width() - (qobject_cast<const QGroupBox*>(parent) ? 2 : 0);
    for (const QObject* o : parent->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(o);
        if (!sibling || sibling == label || sibling->isWindow() || !sibling->isVisibleTo(parent))
            continue;
        const QRect r = sibling->geometry();
        if (r.left() > place.left() && r.top() < place.bottom() && r.bottom() > place.top())
            right = std::min(right, r.left());
    }
    return right - place.left();
}

int captionWidth(const QLabel* label, const QFont& font) {
    const int decoration = 2 * (label->margin() + label->frameWidth()) + std::max(0, label->indent());
    return QFontMetrics(font).horizontalAdvance(label->text()) + decoration;
}

void fitLabel(QLabel* label) {
    QVariant layoutFont = label->property(kLayoutFont);
    if (!layoutFont.isValid()) {
        layoutFont = label->font();
        label->setProperty(kLayoutFont, layoutFont);
    }
    QFont font = layoutFont.value<QFont>();
    const int room = roomFor(label);
    if (captionWidth(label, font) > room) {
        font.setStretch(QFont::Condensed);
        const bool pixels = font.pixelSize() > 0;
        double size = pixels ? font.pixelSize() : font.pointSizeF();
        const double step = pixels ? 1 : 0.5;
        const double smallest = pixels ? kSmallestPointSize * 4 / 3 : kSmallestPointSize;
        while (captionWidth(label, font) > room && size - step >= smallest) {
            size -= step;
            if (pixels)
                font.setPixelSize(int(size));
            else
                font.setPointSizeF(size);
        }
    }
    label->setFont(font);
    label->resize(std::min(captionWidth(label, font), room), label->height());
}

} // namespace

void fitCaptions(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const bool fixed = label->minimumSize() == label->maximumSize();
        // A layout gives its labels their room and wraps them; rich text is not one line of caption.
        const bool placedByLayout = label->parentWidget() && label->parentWidget()->layout();
        const bool richText = label->textFormat() == Qt::RichText ||
                              (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (!fixed && !placedByLayout && !richText && !label->text().isEmpty() && label->pixmap().isNull() &&
            label->parentWidget())
            fitLabel(label);
    }
}

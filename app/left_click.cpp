#include "left_click.h"

#include <QMouseEvent>
#include <QWidget>

LeftClickWatcher::LeftClickWatcher(QWidget* widget, std::function<void()> onClick)
    : QObject(widget), onClick(std::move(onClick)) {
    widget->installEventFilter(this);
}

bool LeftClickWatcher::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return QObject::eventFilter(watched, event);
    if (type == QEvent::MouseButtonPress) {
        pressed = true;
    } else if (pressed) {
        pressed = false;
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->rect().contains(mouse->position().toPoint()))
            onClick();
    }
    return QObject::eventFilter(watched, event);
}

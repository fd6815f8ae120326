#pragma once

#include <QObject>

#include <functional>

class QWidget;

// A click as a picture takes it: the left button pressed over the widget and released over it.
// Other buttons, a press released elsewhere and the second press of a double click do nothing.
class LeftClickWatcher : public QObject {
public:
    // Watches the widget, to which the watcher belongs.
    LeftClickWatcher(QWidget* widget, std::function<void()> onClick);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onClick;
    bool pressed = false;
};

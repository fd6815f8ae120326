#pragma once

#include <QGuiApplication>

// Shows the wait cursor for its lifetime, or until released before a message box appears.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { release(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void release() {
        if (active)
            QGuiApplication::restoreOverrideCursor();
        active = false;
    }

private:
    bool active = true;
};

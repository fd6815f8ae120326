#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QMimeData;
class QWidget;

// The local files a drag carries, in the order given.
QStringList droppedFiles(const QMimeData* mime);

// Makes a whole window one drop target for files: a drag carrying local files over any child that
// would take drops itself (an edit box, a spin field) is answered by the window instead, so the
// file loads rather than its address becoming text. Other drags reach the child as before.
class FileDropRouter : public QObject {
public:
    // Watches the window's children as they are now; the router belongs to the window.
    FileDropRouter(QWidget* window, std::function<void(const QStringList&)> onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QStringList&)> onDrop;
};

#include "imaging/background_task.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

BackgroundTask::~BackgroundTask() {
    if (worker) {
        worker->wait();
        delete worker;
    }
}

bool BackgroundTask::launch(std::function<void()> work, std::function<void()> finish) {
    if (worker)
        return false;
    auto job = std::make_shared<std::function<void()>>(std::move(work));
    worker = QThread::create([job] { (*job)(); });
    connect(worker, &QThread::finished, this, [this, finish] {
        worker->deleteLater();
        worker = nullptr;
        emit busyChanged(false);
        finish();
    });
    emit busyChanged(true);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished()) { // no thread to be had: the work is done here
        delete worker;
        worker = nullptr;
        (*job)();
        emit busyChanged(false);
        finish();
    }
    return true;
}

bool BackgroundTask::waitUntilIdle(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    // Work started by the previous work's result is waited for too.
    while (busy()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        connect(this, &BackgroundTask::busyChanged, &loop, [&loop](bool busy) {
            if (!busy)
                loop.quit();
        });
        QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

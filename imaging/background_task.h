#pragma once

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QThread;

// Slow work for a window (decoding a photo, drawing and encoding a composite) run one piece at a
// time on a thread of its own, its result handed back on the thread that started it, so that the
// window keeps repainting meanwhile. The work gets values and returns one; it never touches widgets.
class BackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit BackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for work still running; its result is dropped.
    ~BackgroundTask() override;

    bool busy() const { return worker != nullptr; }

    // Runs work on a worker thread, then done with its result on this object's thread, once busy()
    // is false again; an exception thrown by work is thrown again there instead, for the
    // application's error handler. False, starting nothing, while other work is running.
    template <class Result> bool start(std::function<Result()> work, std::function<void(Result)> done);

    // Processes events until no work is running, or for at most timeoutMs; true when none is.
    bool waitUntilIdle(int timeoutMs = 300000);

signals:
    // True when work starts, false when it has ended, just before its result is handed over.
    void busyChanged(bool busy);

private:
    bool launch(std::function<void()> work, std::function<void()> finish);
    QThread* worker = nullptr;
};

template <class Result>
bool BackgroundTask::start(std::function<Result()> work, std::function<void(Result)> done) {
    auto result = std::make_shared<std::optional<Result>>();
    auto failure = std::make_shared<std::exception_ptr>();
    return launch(
        [work = std::move(work), result, failure] {
            try {
                result->emplace(work());
            } catch (...) {
                *failure = std::current_exception();
            }
        },
        [done = std::move(done), result, failure] {
            if (*failure)
                std::rethrow_exception(*failure);
            done(std::move(**result));
        });
}

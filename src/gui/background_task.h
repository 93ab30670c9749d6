#pragma once

#include "common/progress.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class QThread;

// Runs a window's long work (preparing, searching, writing) on a worker thread, one piece at
// a time, so the window keeps painting. The work gets a ProgressObserver: its progress comes
// to this object's thread as progressChanged(), and it is asked to stop after cancel(). Its
// result comes back by value to a callable that runs on this object's thread, so a window
// keeps no member that a worker writes. The work must touch nothing the window's thread uses:
// it takes copies, or data nobody changes while it runs.
class BackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit BackgroundTask(QObject* parent = nullptr);
    // Asks running work to stop and waits for its thread; its result is dropped.
    ~BackgroundTask() override;

    // Starts `work(ProgressObserver&)` on a worker thread and hands its result to `done` on
    // this object's thread when it ends. Returns false (and starts nothing) while other work
    // runs. An exception leaving `work` becomes failed() instead of a result.
    template <class Work, class Done> bool start(Work work, Done done) {
        using Result = std::invoke_result_t<Work&, melo::ProgressObserver&>;
        return launch([work = std::move(work),
                       done = std::move(done)](melo::ProgressObserver& observer) mutable {
            auto result = std::make_shared<Result>(work(observer));
            return Finish([done, result] { done(std::move(*result)); });
        });
    }

    // True from start() until the result has been handed over.
    bool running() const { return m_thread != nullptr; }
    // Asks the running work to stop at its next check; it then returns its cancelled result.
    void cancel();
    // True once cancel() was asked for the running work.
    bool cancelling() const { return running() && m_stop.load(); }

signals:
    // The work's per-mille progress, on this object's thread.
    void progressChanged(int permille);
    // Work started (true) or its result is about to be handed over (false).
    void runningChanged(bool running);
    // The work ended by an exception, with the German reason; no result is handed over.
    void failed(const QString& message);

private:
    using Finish = std::function<void()>;
    class Relay;

    bool launch(std::function<Finish(melo::ProgressObserver&)> work);
    void finished(const Finish& finish);

    QThread* m_thread = nullptr;
    std::atomic<bool> m_stop{false};
};

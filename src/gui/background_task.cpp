#include "gui/background_task.h"

#include <QMetaObject>
#include <QThread>

// The worker's observer: progress goes to the task's thread as a queued signal, and the
// cancel flag is read where the work asks for it.
class BackgroundTask::Relay : public melo::ProgressObserver {
public:
    explicit Relay(BackgroundTask& task) : m_task(task) {}
    void progress(int permille) override {
        BackgroundTask* task = &m_task;
        QMetaObject::invokeMethod(
            task, [task, permille] { emit task->progressChanged(permille); }, Qt::QueuedConnection);
    }
    bool cancelled() const override { return m_task.m_stop.load(); }

private:
    BackgroundTask& m_task;
};

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
    if (m_thread != nullptr) {
        // The work reads the flag and posts to this object only: both live until it ends.
        m_stop.store(true);
        m_thread->wait();
        delete m_thread;
    }
}

void BackgroundTask::cancel() {
    if (running()) {
        m_stop.store(true);
    }
}

bool BackgroundTask::launch(std::function<Finish(melo::ProgressObserver&)> work) {
    if (running()) {
        return false;
    }
    m_stop.store(false);
    m_thread = QThread::create([this, work = std::move(work)]() mutable {
        Relay relay(*this);
        Finish finish = melo::guarded([&] { return work(relay); },
                                      [this](melo::WorkFault fault) {
                                          const QString reason =
                                              fault == melo::WorkFault::NoMemory
                                                  ? "Der Arbeitsspeicher reicht dafür nicht aus."
                                                  : "Abgebrochen: ein innerer Fehler ist "
                                                    "aufgetreten.";
                                          return Finish([this, reason] { emit failed(reason); });
                                      });
        // Posted to this object: dropped unread when it is destroyed first.
        QMetaObject::invokeMethod(
            this, [this, finish = std::move(finish)] { finished(finish); }, Qt::QueuedConnection);
    });
    m_thread->start();
    emit runningChanged(true);
    return true;
}

void BackgroundTask::finished(const Finish& finish) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    emit runningChanged(false);
    finish();
}

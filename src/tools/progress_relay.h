#pragma once

#include "common/progress.h"

#include <QMetaObject>
#include <QProgressBar>
#include <atomic>

// Hands a worker thread's progress (per mille) to a progress bar on the window's thread, and
// tells the work to stop once `cancel` is set.
class ProgressRelay : public melo::ProgressObserver {
public:
    ProgressRelay(QProgressBar* bar, const std::atomic<bool>& cancel)
        : m_bar(bar), m_cancel(cancel) {}
    void progress(int permille) override {
        QMetaObject::invokeMethod(
            m_bar, [bar = m_bar, permille] { bar->setValue(permille); }, Qt::QueuedConnection);
    }
    bool cancelled() const override { return m_cancel.load(); }

private:
    QProgressBar* m_bar;
    const std::atomic<bool>& m_cancel;
};

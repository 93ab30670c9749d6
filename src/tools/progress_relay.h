#pragma once

#include "loop/loop_finder.h"
#include "prepare/sound_preparation.h"

#include <QMetaObject>
#include <QProgressBar>

// Hands a worker thread's progress (per mille) to a progress bar on the window's thread.
class ProgressRelay : public melo::PrepareObserver, public melo::LoopObserver {
public:
    explicit ProgressRelay(QProgressBar* bar) : m_bar(bar) {}
    void progress(int permille) override {
        QMetaObject::invokeMethod(
            m_bar, [bar = m_bar, permille] { bar->setValue(permille); }, Qt::QueuedConnection);
    }

private:
    QProgressBar* m_bar;
};

#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

namespace melo {

// The per-mille progress of `done` out of `total`, computed in double precision as the
// progress displays always have: floor(done / total * 1000).
inline int permille_of(std::int64_t done, std::int64_t total) {
    return static_cast<int>(std::floor(static_cast<double>(done) / static_cast<double>(total) * 1000.0));
}

// The first `done` after `from` whose per-mille value differs from that of `from`, found with
// the same arithmetic, so work can go in blocks and still report every change exactly once.
inline std::int64_t next_permille_change(std::int64_t from, std::int64_t total) {
    const int m = permille_of(from, total);
    if (m >= 1000) {
        return std::numeric_limits<std::int64_t>::max();
    }
    std::int64_t q = (static_cast<std::int64_t>(m) + 1) * total / 1000;
    if (q <= from) {
        q = from + 1;
    }
    while (permille_of(q, total) <= m) {
        ++q;
    }
    while (q - 1 > from && permille_of(q - 1, total) > m) {
        --q;
    }
    return q;
}

// Told of a long piece of work's progress and asked whether it should stop; called on the
// thread that runs the work (a window's worker thread, or the command line's only one).
class ProgressObserver {
public:
    virtual ~ProgressObserver() = default;
    // The per-mille share of the work done so far (0 to 1000), each time it changes.
    virtual void progress(int permille) { (void)permille; }
    // True once the work should stop: it ends at its next check as cancelled and leaves
    // nothing behind. Work that cannot be cancelled never asks.
    virtual bool cancelled() const { return false; }
};

// The per-mille rule every progress display follows: a value is handed on only when it
// differs from the last one handed on, so a piece of work reports at most 1001 times.
class PermilleGate {
public:
    // `observer` may be nullptr (nothing is told); `shown` is the value taken as shown
    // already (the default is none, so a first 0 is reported).
    explicit PermilleGate(ProgressObserver* observer = nullptr, int shown = -1)
        : m_observer(observer), m_shown(shown) {}

    // True when `permille` differs from the value shown; it is then the value shown and
    // goes to the observer.
    bool pass(int permille) {
        if (permille == m_shown) {
            return false;
        }
        m_shown = permille;
        if (m_observer != nullptr) {
            m_observer->progress(permille);
        }
        return true;
    }
    // The same for `done` out of `total`.
    bool pass(std::int64_t done, std::int64_t total) { return pass(permille_of(done, total)); }
    // True when the observer wants the work to stop.
    bool cancelled() const { return m_observer != nullptr && m_observer->cancelled(); }

private:
    ProgressObserver* m_observer;
    int m_shown;
};

// Why guarded work did not return its own result.
enum class WorkFault {
    NoMemory, // the memory it needed could not be had
    Internal, // any other exception: a fault inside the work
};

// Runs `work()` and returns its result; an exception thrown inside it becomes the result
// `fault(WorkFault)`. Work on a worker thread runs inside this frame, since an exception
// leaving such a thread ends the program, and its outputs are written only at its end, so
// work that ends here leaves none.
template <class Work, class Fault> auto guarded(Work&& work, Fault&& fault) -> decltype(work()) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return fault(WorkFault::NoMemory);
    } catch (...) {
        return fault(WorkFault::Internal);
    }
}

} // namespace melo

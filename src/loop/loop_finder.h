#pragma once

#include "common/module_constants.h"
#include "loop/loop_constants.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace melo {

// Samples [from, to) of a signal.
struct SampleSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t size() const { return to - from; }
};

// What a loop search looks for. Times are in seconds of the signal's rate.
struct LoopSettings {
    std::int32_t rate = kTargetFreq;
    std::optional<SampleSpan> range; // where both loop points lie; none: the steady middle
    double min_seconds = kDefaultMinLoopSeconds;
    std::optional<double> max_seconds; // none: the whole range
    int candidates = kDefaultLoopCandidates;
    double crossfade_ms = 0.0;    // the crossfade the loop will get (0: none)
    char decimal_separator = '.'; // of the numbers in the messages
};

// How well a loop [a, b) joins when it plays again and again.
struct SeamFigures {
    double step = 0.0;         // the step the loop plays from its last sample to its first
    double typical_step = 0.0; // the median step between neighbouring samples inside the loop
    double step_p95 = 0.0;     // 95 % of the steps inside the loop are at most this
    // Steps are in the module's 8-bit values (full scale 256).
    double correlation = 0.0; // of the waveform around b with that around a (-1 to 1)
    double level_db = 0.0;    // level around b minus level around a
    double spectral = 0.0;    // difference of the spectra around a and b, 0 (same) to 1
};

struct LoopCandidate {
    std::int64_t a = 0; // first sample of the loop
    std::int64_t b = 0; // one past its last sample
    double score = 0.0; // 0 to 1: how seamless the loop is before any crossfade
    SeamFigures seam;
    // How the loop stands for the searched range, for loops a search found: the share (0 to
    // 1) of the range that sounds like it (level and spectrum over stretches of its length),
    // and whether the sound after it (or before it) is the loop again.
    std::optional<double> likeness;
    bool repeats = true;
    std::int64_t length() const { return b - a; }
};

enum class LoopCode {
    Ok,
    NoRepetition, // the best candidates are given (at least one), but nothing repeats
    NoLoop,       // nothing to offer: the range is silent, or no stretch is like another
    BadSettings,  // a setting outside its bounds, or a range outside the signal
    TooShort,     // the range cannot hold the shortest loop
    Cancelled,
    NoMemory,
    Failed, // an unexpected fault inside the search
};

struct LoopResult {
    LoopCode code = LoopCode::Ok;
    std::string message; // German, for every code but Ok
    SampleSpan range;    // where the points were looked for
    // The best loops, the chosen one first, then by falling score; for NoRepetition too.
    // Honest loops (repeating, and standing for most of the range) come before the others.
    std::vector<LoopCandidate> candidates;
};

// Told of a search's progress; called on the thread that runs it.
class LoopObserver {
public:
    virtual ~LoopObserver() = default;
    // The per-mille share of the search done so far, each time it changes.
    virtual void progress(int permille) { (void)permille; }
};

// Finds loop points in a prepared signal (mono, samples -1 to 1, at the module's rate): pairs
// a < b where the waveform around b matches the waveform around a, so [a, b) can be played
// again and again without a click or a jump in timbre. Candidates come from the normalized
// cross-correlation of windows around anchor points with the whole range (computed by FFT),
// are scored by correlation, level and spectral difference, and the longer loop wins among
// nearly equal scores; both points then move together to where the seam step is smallest.
class LoopFinder {
public:
    // Searches `signal` with `settings`. Returns the candidates, or a German message for a
    // failure; never throws.
    LoopResult find(std::span<const float> signal, const LoopSettings& settings,
                    LoopObserver& observer);
    // Makes the running (or just starting) search stop with Cancelled; the search clears it
    // when it ends, so a search started later runs in full. Safe from any thread.
    void cancel() { m_cancel.store(true); }

private:
    LoopResult search(std::span<const float> signal, const LoopSettings& settings,
                      LoopObserver& observer);
    std::atomic<bool> m_cancel{false};
};

// The steady middle of a sound: from where its attack has reached the sustained level to
// where its decay begins, found from the envelope. The whole signal when it has none.
SampleSpan steady_range(std::span<const float> signal, std::int32_t rate);

// The loop [a, b) with its figures, as it plays with a crossfade of `crossfade` samples; score
// 0 and no figures unless 0 <= a < b <= the signal's length.
LoopCandidate evaluate_loop(std::span<const float> signal, std::int64_t a, std::int64_t b,
                            std::int64_t crossfade, std::int32_t rate);

// The loop near [a, b): both points moved by at most `snap_ms` to the best seam (the best
// correlation, then the smallest step), keeping 0 < a < b < the signal's length; points that
// do not keep it stay as they are.
LoopCandidate snap_loop(std::span<const float> signal, std::int64_t a, std::int64_t b,
                        double snap_ms, std::int64_t crossfade, std::int32_t rate);

// The German reason why `settings` cannot be used on `samples` samples, or "".
std::string check_loop_settings(const LoopSettings& settings, std::int64_t samples);

// Samples of a crossfade of `ms` milliseconds at `rate`.
std::int64_t crossfade_samples(double ms, std::int32_t rate);

} // namespace melo

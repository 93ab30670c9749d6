#pragma once

#include "playback/part_sequence.h"

#include <atomic>
#include <cstdint>

namespace melo {

// One playback shared by two threads. The window's thread hands it over, lets the button go,
// stops it and reads what is heard; the audio thread renders it into its output and tells
// what the output has played. They meet only in atomics: neither waits for the other, and
// nothing the window's thread does can hold up the sound.
class SharedPlayback {
public:
    // `parts` in one format (see same_format_parts); `held` false plays the loop part once.
    explicit SharedPlayback(PlayParts parts, bool held = true);

    // The window's thread.
    // The loop part ends with the pass being written.
    void release() { m_held.store(false, std::memory_order_relaxed); }
    // The output falls silent and is closed.
    void stop() { m_stop.store(true, std::memory_order_relaxed); }
    // What the output played when the audio thread last told; Ended once it is closed.
    HeardPosition heard() const;
    // Loop passes begun so far.
    int loopPasses() const { return m_passes.load(std::memory_order_relaxed); }
    // True when the output could not be opened or broke off before the end.
    bool failed() const { return m_failed.load(std::memory_order_acquire); }

    // The audio thread.
    const PartSequence& sequence() const { return m_sequence; }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    // Writes the stream's next `size` bytes to `out` (see PartSequence::render).
    void render(char* out, std::size_t size);
    // The output has played the stream's first `played` bytes: returns what is heard and
    // publishes it for the window's thread.
    HeardPosition played(std::int64_t played);
    // The output is closed; `failed` when that was before the end was heard.
    void closed(bool failed);

private:
    void publish(const HeardPosition& heard);

    PartSequence m_sequence;
    std::atomic<bool> m_held;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_failed{false};
    std::atomic<int> m_passes{0};
    // The heard position, written by the audio thread under a sequence count that is odd
    // while it writes: a reader that sees it change reads again.
    std::atomic<std::uint32_t> m_version{0};
    std::atomic<int> m_state{HeardPosition::Waiting};
    std::atomic<int> m_part{0};
    std::atomic<std::int64_t> m_cursor{0};
    std::atomic<std::int64_t> m_length{0};
};

} // namespace melo

#include "playback/shared_playback.h"

namespace melo {

SharedPlayback::SharedPlayback(PlayParts parts, bool held)
    : m_sequence(std::move(parts)), m_held(held) {}

void SharedPlayback::render(char* out, std::size_t size) {
    m_sequence.render(out, size, m_held.load(std::memory_order_relaxed));
    m_passes.store(m_sequence.loopPasses(), std::memory_order_relaxed);
}

HeardPosition SharedPlayback::played(std::int64_t played) {
    const HeardPosition heard = m_sequence.at(played);
    publish(heard);
    return heard;
}

void SharedPlayback::closed(bool failed) {
    m_failed.store(failed, std::memory_order_relaxed);
    m_closed.store(true, std::memory_order_release);
}

void SharedPlayback::publish(const HeardPosition& heard) {
    const std::uint32_t version = m_version.load(std::memory_order_relaxed);
    m_version.store(version + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_state.store(heard.state, std::memory_order_relaxed);
    m_part.store(heard.part, std::memory_order_relaxed);
    m_cursor.store(heard.cursor, std::memory_order_relaxed);
    m_length.store(heard.length, std::memory_order_relaxed);
    m_version.store(version + 2, std::memory_order_release);
}

HeardPosition SharedPlayback::heard() const {
    HeardPosition heard;
    if (m_closed.load(std::memory_order_acquire)) {
        heard.state = HeardPosition::Ended;
        return heard;
    }
    for (;;) {
        const std::uint32_t before = m_version.load(std::memory_order_acquire);
        heard.state = static_cast<HeardPosition::State>(m_state.load(std::memory_order_relaxed));
        heard.part = m_part.load(std::memory_order_relaxed);
        heard.cursor = m_cursor.load(std::memory_order_relaxed);
        heard.length = m_length.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && m_version.load(std::memory_order_relaxed) == before) {
            return heard;
        }
    }
}

} // namespace melo

#include "playback/part_sequence.h"

#include <algorithm>
#include <cstring>

namespace melo {

PlayParts same_format_parts(const PlayParts& parts) {
    PlayParts out;
    const PcmSound* first = nullptr;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::shared_ptr<const PcmSound>& part = parts[i];
        if (!part || part->block_align <= 0 ||
            part->data.size() < static_cast<std::size_t>(part->block_align)) {
            continue;
        }
        if (first == nullptr) {
            first = part.get();
        }
        if (part->rate == first->rate && part->channels == first->channels &&
            part->bits == first->bits) {
            out[i] = part;
            continue;
        }
        PcmSound converted = *part;
        if (convert_pcm(converted, first->rate, first->channels, first->bits)) {
            out[i] = std::make_shared<const PcmSound>(std::move(converted));
        }
    }
    return out;
}

PartSequence::PartSequence(PlayParts parts) : m_parts(std::move(parts)) {
    for (int part = 1; part <= 3; ++part) {
        if (has(part)) {
            m_format = m_parts[static_cast<std::size_t>(part - 1)].get();
            break;
        }
    }
    // Silence is the middle of the sample range: 128 for unsigned 8-bit, 0 for 16-bit.
    m_silence = m_format != nullptr && m_format->bits == 8 ? '\x80' : '\0';
    if (m_format == nullptr) {
        m_current = kNone;
    }
}

void PartSequence::takeNext(bool held) {
    int next = kNone;
    if (m_current == kNotStarted && has(1)) {
        next = 1;
    } else if (m_current == kNotStarted || m_current == 1 || m_current == 2) {
        // The loop part plays at least once, and again after every pass while it is held.
        if ((loopPasses() == 0 || held) && has(2)) {
            next = 2;
        } else if (has(3)) {
            next = 3;
        }
    }
    m_current = next;
    m_offset = 0;
    if (next == kNone) {
        m_end = m_written;
        return;
    }
    Run& run = m_runs[static_cast<std::size_t>(next - 1)];
    if (run.count == 0) {
        run.begin = m_written;
        run.length =
            static_cast<std::int64_t>(m_parts[static_cast<std::size_t>(next - 1)]->data.size());
    }
    ++run.count;
}

void PartSequence::render(char* out, std::size_t size, bool held) {
    std::size_t done = 0;
    while (done < size) {
        if (m_current == kNotStarted) {
            takeNext(held);
        }
        if (m_current == kNone) {
            std::memset(out + done, m_silence, size - done);
            m_written += static_cast<std::int64_t>(size - done);
            return;
        }
        const std::string& bytes = m_parts[static_cast<std::size_t>(m_current - 1)]->data;
        const std::size_t n =
            std::min(size - done, bytes.size() - static_cast<std::size_t>(m_offset));
        std::memcpy(out + done, bytes.data() + m_offset, n);
        done += n;
        m_offset += static_cast<std::int64_t>(n);
        m_written += static_cast<std::int64_t>(n);
        if (static_cast<std::size_t>(m_offset) == bytes.size()) {
            takeNext(held);
        }
    }
}

HeardPosition PartSequence::at(std::int64_t played) const {
    HeardPosition heard;
    if (finished() && played >= m_end) {
        heard.state = HeardPosition::Ended;
        return heard;
    }
    if (played <= 0) {
        return heard;
    }
    // The byte being heard is the last one played; the output never plays what was not written.
    const std::int64_t at = std::min(played, m_written) - 1;
    for (int part = 1; part <= 3; ++part) {
        const Run& run = m_runs[static_cast<std::size_t>(part - 1)];
        if (run.count > 0 && at >= run.begin && at < run.begin + run.length * run.count) {
            heard.state = HeardPosition::Playing;
            heard.part = part;
            heard.cursor = (at - run.begin) % run.length + 1;
            heard.length = run.length;
        }
    }
    return heard;
}

} // namespace melo

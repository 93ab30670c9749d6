#pragma once

#include "wav/pcm_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace melo {

// What an output plays at a moment.
struct HeardPosition {
    enum State { Waiting, Playing, Ended };
    State state = Waiting;   // Waiting: nothing heard yet; Ended: the last part has been heard
    int part = 0;            // while Playing: the part heard (1 start, 2 loop, 3 end)
    std::int64_t cursor = 0; // its play position in bytes
    std::int64_t length = 0; // its length in bytes
};

// The start, loop and end part of one playback; nullptr where a part is missing.
using PlayParts = std::array<std::shared_ptr<const PcmSound>, 3>;

// Returns the parts in the format of the first one present, so that they play in one stream
// (a part already in that format is shared, not copied); a part without a whole frame, or
// one that cannot be converted, is left out.
PlayParts same_format_parts(const PlayParts& parts);

// One playback as a stream of bytes: the start part once, the loop part at least once and
// again after every pass for as long as it is held, then the end part once; missing parts are
// left out. The play button's whole file and a result sound are a start part alone. The
// parts' bytes follow each other unchanged, so every join is sample-exact.
//
// render() neither allocates nor locks: the audio thread calls it.
class PartSequence {
public:
    // `parts` in one format (see same_format_parts).
    explicit PartSequence(PlayParts parts);

    // True when there is a part to play.
    bool playable() const { return m_format != nullptr; }
    // The stream's format: the first part present's. Only when playable().
    const PcmSound& format() const { return *m_format; }

    // Writes the stream's next `size` bytes to `out`: parts, then silence behind the last
    // one. `held` decides, when a loop pass has been written in whole, whether another follows.
    void render(char* out, std::size_t size, bool held);
    // True once the last part has been written in whole.
    bool finished() const { return m_current == kNone; }
    // Loop passes begun so far.
    int loopPasses() const { return m_runs[1].count; }

    // What is heard once the output has played the stream's first `played` bytes.
    HeardPosition at(std::int64_t played) const;

private:
    static constexpr int kNone = 0;
    static constexpr int kNotStarted = -1;

    // One part's stretch of the stream: `count` passes from `begin` on.
    struct Run {
        std::int64_t begin = 0;
        std::int64_t length = 0;
        int count = 0;
    };

    bool has(int part) const { return m_parts[static_cast<std::size_t>(part - 1)] != nullptr; }
    void takeNext(bool held);

    PlayParts m_parts;
    const PcmSound* m_format = nullptr;
    char m_silence = 0;
    std::array<Run, 3> m_runs{};
    int m_current = kNotStarted; // the part being written; kNone once all are
    std::int64_t m_offset = 0;   // bytes of it written
    std::int64_t m_written = 0;  // bytes of the stream written, silence included
    std::int64_t m_end = 0;      // where the last part ends, once finished()
};

} // namespace melo

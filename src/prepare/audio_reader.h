#pragma once

#include "prepare/prepare_types.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE
struct SF_INFO;

namespace melo {

// Reads an audio file of any format libsndfile knows, block by block, mixed down to mono.
class AudioReader {
public:
    AudioReader() = default;
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // Opens `path`. Returns Ok, or the failure's code with its German reason in `error`.
    PrepareCode open(const std::string& path, std::string& error);
    // Opens the bytes of an audio file held in memory (they must outlive the reader), as
    // open() does a file.
    PrepareCode open_memory(std::string_view bytes, std::string& error);
    const SourceInfo& info() const { return m_info; }

    // Reads up to `max_frames` frames into `mono`, each the mean of its channels (full scale
    // is 1). Returns the number of frames read; 0 at the end of the input or after a failure.
    std::size_t read_mono(float* mono, std::size_t max_frames);
    // Reads up to `max_frames` frames as they are, channels interleaved; `frames_read` gets
    // their number (0 at the end or after a failure). The block stays valid until the next read.
    const float* read_frames(std::size_t max_frames, std::size_t& frames_read);
    std::int64_t frames_read() const { return m_frames_read; }

    // After reading to the end: the German reason why the input was not whole (it ended
    // before its declared length, or its decoder met damaged data), or "" when it was.
    std::string damage() const;

    // How often the decoder complained of damaged data it read past (an MP3 decoder conceals
    // a damaged frame and says so only on the standard error output, which is kept off the
    // terminal and counted here).
    std::int64_t complaints() const { return m_complaints; }

private:
    struct Memory {
        std::string_view bytes;
        std::int64_t position = 0;
    };
    PrepareCode open_with(const std::function<sf_private_tag*(SF_INFO&)>& opener, bool empty, std::string& error);
    void count_complaints(const std::vector<std::string>& lines);
    // Runs `read` (one of libsndfile's readings into a block), with the decoder's complaints
    // counted and its errors kept. Returns the frames it read; 0 at the end or on a failure.
    std::size_t read_block(const std::function<std::int64_t()>& read);
    // The frames of a block of at most `max_frames`.
    std::size_t block_frames(std::size_t max_frames) const;
    std::size_t channels() const { return static_cast<std::size_t>(m_info.channels); }

    sf_private_tag* m_file = nullptr;
    int m_fd = -1;
    SourceInfo m_info;
    std::vector<float> m_block;
    std::vector<std::int16_t> m_pcm16_block;
    std::int64_t m_frames_read = 0;
    int m_container = 0;  // libsndfile's major format
    bool m_pcm16 = false; // its samples are 16-bit integers
    bool m_read_failed = false;
    bool m_decode_error = false;
    std::int64_t m_complaints = 0;
    Memory m_memory;
};

} // namespace melo

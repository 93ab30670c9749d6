#pragma once

#include "prepare/prepare_types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE

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
    const SourceInfo& info() const { return m_info; }

    // Reads up to `max_frames` frames into `mono`, each the mean of its channels (full scale
    // is 1). Returns the number of frames read; 0 at the end of the input or after a failure.
    std::size_t read_mono(float* mono, std::size_t max_frames);
    std::int64_t frames_read() const { return m_frames_read; }

    // After reading to the end: the German reason why the input was not whole (it ended
    // before its declared length, or its decoder met damaged data), or "" when it was.
    std::string damage() const;

private:
    sf_private_tag* m_file = nullptr;
    int m_fd = -1;
    SourceInfo m_info;
    std::vector<float> m_block;
    std::int64_t m_frames_read = 0;
    int m_container = 0; // libsndfile's major format
    bool m_read_failed = false;
};

} // namespace melo

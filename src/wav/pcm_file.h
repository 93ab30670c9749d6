#pragma once

#include <cstdint>
#include <string>

namespace melo {

// A WAV file's samples in its own format, for playback.
struct PcmSound {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int block_align = 0;
    std::string data; // whole frames only
};

// Reads the format (as the decoder's header check finds it) and the raw frames of the data
// chunk. Returns false for a file the decoder rejects, a rate of 0, or no frames.
bool load_pcm(const std::string& path, PcmSound& sound);

} // namespace melo

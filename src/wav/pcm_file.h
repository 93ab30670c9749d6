#pragma once

#include <cstdint>
#include <string>

#include "wav/wav_decoder.h"

namespace melo {

// A WAV file's samples in its own format, for playback.
struct PcmSound {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int block_align = 0;
    std::string data; // whole frames only
};

// The most frames load_pcm reads from one file: as many as the decoder converts into its
// sample buffer (2^23).
inline constexpr std::int64_t kMaxPlayFrames = kMaxSamples;

// Reads the format (as the decoder's header check finds it) and the raw frames of the data
// chunk, as many as the file really holds behind the chunk header (never more than its header
// declares, nor more than kMaxPlayFrames). Returns false for a file the decoder rejects, a
// rate of 0, a read error, or no whole frame.
bool load_pcm(const std::string& path, PcmSound& sound);

// Converts `sound` in place to `rate` Hz, `channels` channels (1 or 2) and `bits` bits (8 or
// 16): stereo to mono by the mean of the channels, mono to stereo by doubling, the rate by
// linear interpolation between neighbouring frames (good enough to listen to a part in the
// company of its row). Returns false, leaving `sound` as it was, for a format it cannot make.
bool convert_pcm(PcmSound& sound, int rate, int channels, int bits);

} // namespace melo

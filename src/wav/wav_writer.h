#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace melo {

// A canonical PCM WAV file: RIFF header, a 16-byte fmt chunk and the data chunk holding
// `frames` (interleaved samples, 8-bit unsigned or 16-bit signed little-endian).
std::string pcm_wav(int rate, int channels, int bits, std::string_view frames);

// The header of such a file whose data chunk holds `data_bytes` bytes: kWavHeaderBytes long.
std::string pcm_wav_header(int rate, int channels, int bits, std::size_t data_bytes);
inline constexpr std::size_t kWavHeaderBytes = 44;

// Appends a 16-bit signed sample, little-endian.
void append_sample16(std::string& frames, std::int16_t sample);

} // namespace melo

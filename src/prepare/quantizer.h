#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace melo {

// How the 8-bit output is quantized: rounding alone, or rounding after triangular dither of
// one step peak, which turns the distortion of quiet tones into steady noise.
enum class Dither { None, Tpdf };

// Steps of the module's 8-bit samples per full scale: a 16-bit sample s keeps its level as
// s / 256 steps around 128, the same scale the generation run applies to 16-bit parts.
inline constexpr double kEightBitFullScale = 128.0;
// The largest swing that fits both ways around 128 within 1..254: the 8-bit peak level.
inline constexpr double kEightBitPeak = 126.0;
// Steps of 16-bit samples per full scale, and their largest positive value.
inline constexpr double kSixteenBitFullScale = 32768.0;
inline constexpr double kSixteenBitPeak = 32767.0;
// A stretch below half a step that lasts this long is given out as exact silence (128).
inline constexpr double kSilenceGateSeconds = 0.05;

// Appends `n` unsigned 8-bit samples to `out`: x · `steps` rounded to the nearest step around
// 128 (after TPDF dither when asked), limited to 1..254. Digital silence, and every stretch
// whose level stays below half a step for kSilenceGateSeconds at `rate`, comes out as exactly
// 128. The dither sequence is the same on every call, so equal inputs give equal files.
// Returns how many samples lay beyond 1..254 before dither and were limited.
std::int64_t quantize8(const float* x, std::size_t n, double steps, Dither dither,
                       std::int32_t rate, std::string& out);

// Appends `n` 16-bit little-endian samples to `out`: x · `steps` rounded, limited to the 16-bit
// range. Returns how many samples were limited.
std::int64_t quantize16(const float* x, std::size_t n, double steps, std::string& out);

} // namespace melo

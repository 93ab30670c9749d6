#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// Turns samples (full scale 1) into the output's sample bytes block by block, as they become
// final, with the same bytes as one pass over the whole signal would give.
// 8 bits: x · `steps` rounded to the nearest step around 128 (after TPDF dither when asked),
// limited to 1..254. Digital silence, and every stretch whose level stays below half a step
// for kSilenceGateSeconds at `rate`, comes out as exactly 128. The dither sequence is the same
// for every signal, so equal inputs give equal files.
// 16 bits: x · `steps` rounded, limited to the 16-bit range, little-endian.
class Quantizer {
public:
    Quantizer(int bits, double steps, Dither dither, std::int32_t rate);

    // Appends the bytes of `n` more samples to `out`. With dither, a stretch below half a step
    // at the end waits (kSilenceGateSeconds at most) until its length is known.
    void add(const float* x, std::size_t n, std::string& out);
    // The end of the signal: appends what still waits. Returns how many samples lay beyond
    // the output's range (before dither) and were limited.
    std::int64_t finish(std::string& out);

private:
    class Noise {
    public:
        // Triangular noise in (-1, 1) step: the sum of two uniform values in [-0.5, 0.5).
        double next() { return uniform() + uniform(); }

    private:
        double uniform();
        std::uint64_t m_state = 0x9E3779B97F4A7C15ULL;
    };

    void add16(const float* x, std::size_t n, std::string& out);
    void add8_rounded(const float* x, std::size_t n, std::string& out);
    void add8_dithered(const float* x, std::size_t n, std::string& out);
    void flush_quiet(std::string& out);

    int m_bits;
    double m_steps;
    Dither m_dither;
    std::size_t m_gate; // samples below half a step that make a stretch silence
    Noise m_noise;
    std::vector<float> m_quiet; // the stretch below half a step whose length is not known yet
    bool m_gated = false;       // the current stretch is long enough and went out as silence
    std::int64_t m_clipped = 0;
};

// Appends `n` unsigned 8-bit samples to `out` as Quantizer does for a whole signal. Returns
// how many samples lay beyond 1..254 before dither and were limited.
std::int64_t quantize8(const float* x, std::size_t n, double steps, Dither dither,
                       std::int32_t rate, std::string& out);

// Appends `n` 16-bit little-endian samples to `out` as Quantizer does for a whole signal.
// Returns how many samples were limited.
std::int64_t quantize16(const float* x, std::size_t n, double steps, std::string& out);

} // namespace melo

#include "prepare/quantizer.h"

#include "common/module_constants.h"

#include <algorithm>
#include <cmath>

namespace melo {
namespace {

constexpr int kSilence = 128;
constexpr std::int32_t kLowest = kMinSample; // 0 and 255 are the marker bytes
constexpr std::int32_t kHighest = kMaxSample;

// x · steps, kept finite and within a range where rounding is defined: a damaged input may
// hold NaN or infinite samples, which count as silence and as full scale.
// (Selections instead of branches, so that loops over it vectorize.)
double scaled(float x, double steps) {
    double v = static_cast<double>(x) * steps;
    v = v == v ? v : 0.0; // NaN
    v = v < -1.0e6 ? -1.0e6 : v;
    return v > 1.0e6 ? 1.0e6 : v;
}

// std::lround (halves away from zero) of what scaled() gave, dither added or not, written so
// that loops over it vectorize: that close to zero the truncation to 32 bits is exact, and so
// is the remainder.
std::int32_t rounded(double v) {
    const auto whole = static_cast<std::int32_t>(v);
    const double rest = v - static_cast<double>(whole);
    return whole + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0);
}

// Opens room for `n` more bytes at the end of `out`; returns where they go.
char* extend(std::string& out, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + n);
    return out.data() + at;
}

} // namespace

// A small fast generator (xorshift64*) with a fixed seed: the dither is noise, yet a file
// prepared twice comes out byte for byte the same.
double Quantizer::Noise::uniform() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    const std::uint64_t r = m_state * 0x2545F4914F6CDD1DULL;
    return static_cast<double>(r >> 40) * (1.0 / 16777216.0) - 0.5;
}

Quantizer::Quantizer(int bits, double steps, Dither dither, std::int32_t rate)
    : m_bits(bits), m_steps(steps), m_dither(dither),
      m_gate(static_cast<std::size_t>(std::ceil(kSilenceGateSeconds * std::max(rate, 1)))) {}

void Quantizer::add(const float* x, std::size_t n, std::string& out) {
    if (m_bits == 16) {
        add16(x, n, out);
    } else if (m_dither == Dither::None) {
        add8_rounded(x, n, out);
    } else {
        add8_dithered(x, n, out);
    }
}

std::int64_t Quantizer::finish(std::string& out) {
    flush_quiet(out);
    m_gated = false;
    return m_clipped;
}

void Quantizer::add16(const float* x, std::size_t n, std::string& out) {
    char* to = extend(out, 2 * n);
    std::int64_t clipped = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = scaled(x[i], m_steps);
        clipped += static_cast<int>(v >= 32767.5) | static_cast<int>(v < -32768.5);
        const double limited = v < -32768.0 ? -32768.0 : (v > 32767.0 ? 32767.0 : v);
        const std::int32_t q = rounded(limited);
        to[2 * i] = static_cast<char>(q & 0xFF);
        to[2 * i + 1] = static_cast<char>((q >> 8) & 0xFF);
    }
    m_clipped += clipped;
}

// Without dither a stretch below half a step rounds to 128 whatever its length: each sample
// on its own.
void Quantizer::add8_rounded(const float* x, std::size_t n, std::string& out) {
    char* to = extend(out, n);
    std::int64_t clipped = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t q = kSilence + rounded(scaled(x[i], m_steps));
        clipped += static_cast<int>(q < kLowest) | static_cast<int>(q > kHighest);
        to[i] = static_cast<char>(std::clamp(q, kLowest, kHighest));
    }
    m_clipped += clipped;
}

void Quantizer::add8_dithered(const float* x, std::size_t n, std::string& out) {
    for (std::size_t i = 0; i < n; ++i) {
        const double v = scaled(x[i], m_steps);
        if (std::fabs(v) < 0.5) {
            if (m_gated) {
                out.push_back(static_cast<char>(kSilence));
            } else if (m_quiet.push_back(x[i]); m_quiet.size() >= m_gate) {
                out.append(m_quiet.size(), static_cast<char>(kSilence));
                m_quiet.clear();
                m_gated = true;
            }
            continue;
        }
        flush_quiet(out);
        m_gated = false;
        const std::int32_t plain = kSilence + rounded(v);
        m_clipped += plain < kLowest || plain > kHighest ? 1 : 0;
        const std::int32_t q = kSilence + rounded(v + m_noise.next());
        out.push_back(static_cast<char>(std::clamp(q, kLowest, kHighest)));
    }
}

// A stretch below half a step that ended before it was long enough to be silence: quantized
// as the sound around it, only its digital silence stays exact.
void Quantizer::flush_quiet(std::string& out) {
    for (const float x : m_quiet) {
        if (x == 0.0f) {
            out.push_back(static_cast<char>(kSilence));
        } else {
            const std::int32_t q = kSilence + rounded(scaled(x, m_steps) + m_noise.next());
            out.push_back(static_cast<char>(std::clamp(q, kLowest, kHighest)));
        }
    }
    m_quiet.clear();
}

std::int64_t quantize8(const float* x, std::size_t n, double steps, Dither dither,
                       std::int32_t rate, std::string& out) {
    Quantizer q(8, steps, dither, rate);
    q.add(x, n, out);
    return q.finish(out);
}

std::int64_t quantize16(const float* x, std::size_t n, double steps, std::string& out) {
    Quantizer q(16, steps, Dither::None, 0);
    q.add(x, n, out);
    return q.finish(out);
}

} // namespace melo

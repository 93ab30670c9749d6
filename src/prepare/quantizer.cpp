#include "prepare/quantizer.h"

#include "common/module_constants.h"
#include "wav/wav_writer.h"

#include <algorithm>
#include <cmath>

namespace melo {
namespace {

constexpr int kSilence = 128;
constexpr long kLowest = kMinSample; // 0 and 255 are the marker bytes
constexpr long kHighest = kMaxSample;

// A small fast generator (xorshift64*) with a fixed seed: the dither is noise, yet a file
// prepared twice comes out byte for byte the same.
class DitherNoise {
public:
    // Triangular noise in (-1, 1) step: the sum of two uniform values in [-0.5, 0.5).
    double next() { return uniform() + uniform(); }

private:
    double uniform() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        const std::uint64_t r = m_state * 0x2545F4914F6CDD1DULL;
        return static_cast<double>(r >> 40) * (1.0 / 16777216.0) - 0.5;
    }
    std::uint64_t m_state = 0x9E3779B97F4A7C15ULL;
};

// x · steps, kept finite and within a range where rounding is defined: a damaged input may
// hold NaN or infinite samples, which count as silence and as full scale.
double scaled(float x, double steps) {
    const double v = static_cast<double>(x) * steps;
    return std::isnan(v) ? 0.0 : std::clamp(v, -1.0e6, 1.0e6);
}

} // namespace

std::int64_t quantize8(const float* x, std::size_t n, double steps, Dither dither,
                       std::int32_t rate, std::string& out) {
    const auto gate = static_cast<std::size_t>(std::ceil(kSilenceGateSeconds * std::max(rate, 1)));
    DitherNoise noise;
    std::int64_t clipped = 0;
    out.reserve(out.size() + n);
    auto quiet = [&](std::size_t i) { return std::fabs(scaled(x[i], steps)) < 0.5; };
    std::size_t i = 0;
    while (i < n) {
        // A stretch below half a step: long enough, it is silence as a whole; shorter, only
        // its digital silence is, and the rest is quantized as the sound around it.
        std::size_t end = i;
        while (end < n && quiet(end)) {
            ++end;
        }
        const bool gated = end - i >= gate;
        for (; i < end; ++i) {
            const double v = scaled(x[i], steps);
            if (gated || x[i] == 0.0f || dither == Dither::None) {
                out.push_back(static_cast<char>(kSilence)); // rounds to 128 anyway
            } else {
                const long q = std::lround(v + noise.next());
                out.push_back(static_cast<char>(std::clamp<long>(kSilence + q, kLowest, kHighest)));
            }
        }
        for (; i < n && !quiet(i); ++i) {
            const double v = scaled(x[i], steps);
            const long rounded = std::lround(v);
            if (kSilence + rounded < kLowest || kSilence + rounded > kHighest) {
                ++clipped;
            }
            const long q = dither == Dither::Tpdf ? std::lround(v + noise.next()) : rounded;
            out.push_back(static_cast<char>(std::clamp<long>(kSilence + q, kLowest, kHighest)));
        }
    }
    return clipped;
}

std::int64_t quantize16(const float* x, std::size_t n, double steps, std::string& out) {
    std::int64_t clipped = 0;
    out.reserve(out.size() + 2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const double v = scaled(x[i], steps);
        if (v >= 32767.5 || v < -32768.5) {
            ++clipped;
        }
        append_sample16(out,
                        static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))));
    }
    return clipped;
}

} // namespace melo

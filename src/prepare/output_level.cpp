#include "prepare/output_level.h"

#include "prepare/quantizer.h"

#include <algorithm>
#include <cmath>

namespace melo {
namespace {

// A peak below half a step of the module's 8-bit samples (-48 dBFS, the default trim
// threshold) is silence to normalizing: raising it would make noise of nothing (a float
// sample of 1e-45 would be raised by almost 900 dB).
constexpr float kSilentPeak = 1.0f / 256.0f;

} // namespace

OutputLevel plan_output_level(const float* samples, std::size_t n, std::int32_t rate, int bits,
                              std::optional<double> normalize_db,
                              std::optional<double> loudness_lufs) {
    const double full_scale = bits == 8 ? kEightBitFullScale : kSixteenBitFullScale;
    const double peak_steps = bits == 8 ? kEightBitPeak : kSixteenBitPeak;
    OutputLevel level;
    level.steps = full_scale;
    if (loudness_lufs) {
        const Loudness measured =
            measure_loudness(samples, n, rate, false); // the sample peak limits
        level.silent = measured.sample_peak == 0.0;
        if (!level.silent && measured.integrated_lufs) {
            const LoudnessGain g = loudness_gain(measured, *loudness_lufs, peak_steps / full_scale);
            level.measured_lufs = measured.integrated_lufs;
            level.reached_lufs = g.reached_lufs;
            level.limited = g.limited;
            level.gain_db = g.gain_db;
            level.steps = full_scale * std::pow(10.0, g.gain_db / 20.0);
        }
    } else if (normalize_db) {
        float peak = 0.0f;
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isnan(samples[i])) {
                peak = std::max(peak, std::fabs(samples[i]));
            }
        }
        level.silent = peak < kSilentPeak;
        if (!level.silent) {
            level.steps = std::pow(10.0, *normalize_db / 20.0) * peak_steps / peak;
            level.gain_db = 20.0 * std::log10(level.steps / full_scale);
        }
    }
    return level;
}

} // namespace melo

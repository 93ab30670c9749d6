#pragma once

#include "prepare/loudness.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace melo {

// How loud the prepared output comes out: its scale in output steps per full scale, chosen by
// the peak normalization or the loudness matching, or the level the input had.
struct OutputLevel {
    double steps = 0.0;
    double gain_db = 0.0;                // against the input's level
    bool silent = false;                 // nothing but silence: left as it is
    std::optional<double> measured_lufs; // loudness matching: the input's loudness
    std::optional<double> reached_lufs;  // and the output's
    bool limited = false;                // the peak held the loudness below its target
};

// The output level for `n` mono samples (full scale 1) at `rate` written with `bits` (8 or 16):
// with `normalize_db` the peak lands there below the output's peak level (1..254 around 128 for
// 8 bits); with `loudness_lufs` the integrated loudness lands there, unless a peak would leave
// that range, where the gain stops at the peak; with neither the level stays.
OutputLevel plan_output_level(const float* samples, std::size_t n, std::int32_t rate, int bits,
                              std::optional<double> normalize_db,
                              std::optional<double> loudness_lufs);

} // namespace melo

#pragma once

#include "loop/loop_finder.h"
#include "loop/seam_measures.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace melo::loop_search {

// The level and spectrum of a searched range over time, in frames half a spectrum frame
// apart, summed so that the long-term level and spectrum of any stretch cost two reads. It
// tells whether a loop stands for the range: a loop of a steady sound is like every other
// stretch of its length, and what follows it is the loop again; one word of a sentence or
// one chord of a progression is neither.
class RangeProfile {
public:
    // Analyses `range` of `x`; `tick` is called after each frame and stops the analysis (the
    // profile stays empty) when it returns false.
    RangeProfile(std::span<const float> x, SampleSpan range, std::int32_t rate,
                 const std::function<bool()>& tick);

    // The number of frames the analysis of `range` takes, for progress.
    static std::int64_t frames(SampleSpan range, std::int32_t rate);

    // The share (0 to 1) of the range whose stretches of the loop's length have the level
    // and spectrum of the loop [a, b); 1 when the loop covers the whole range.
    double share_like(std::int64_t a, std::int64_t b) const;

    // True when the loop's sound comes again within a loop length: at some lag up to its
    // length, its frames (spread over the loop) meet frames of the same level and spectrum
    // that much later (or earlier, where the range ends), in the median. A steady sound does
    // at any lag, a pulse train or a two-tone alarm at its period; speech does at none. Also
    // true for a loop too short to tell.
    bool repeats(std::int64_t a, std::int64_t b) const;

private:
    struct Stretch {
        Bands power{};
        double level_db = 0.0;
    };
    Stretch stretch(std::int64_t from, std::int64_t to) const;

    // A frame's level (quiet frames at one floor) and its spectrum's shape, in dB.
    struct Frame {
        double level_db = 0.0;
        Bands shape_db{};
    };
    // The median differences of the frames `ks` from those `lag` frames on (or back).
    std::pair<double, double> lag_difference(const std::vector<std::int64_t>& ks,
                                             std::int64_t lag) const;

    SampleSpan m_range;
    std::int64_t m_hop = 1;
    std::vector<Bands> m_sum; // m_sum[k]: the band powers of frames 0 .. k-1
    std::vector<Frame> m_frames;
};

// The level in dB of band powers, and the mean difference in dB between the bands of two
// spectra brought to the same level (bands far below the strongest count at a floor).
double level_db(const Bands& power);
double shape_difference_db(const Bands& u, const Bands& v);

} // namespace melo::loop_search

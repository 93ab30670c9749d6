#pragma once

// The measures the loop search and the user's own points share: energy of stretches,
// correlation of the waveform around two points, band spectra, the step a seam plays.

#include "loop/loop_constants.h"
#include "loop/loop_finder.h"
#include "loop/real_fft.h"

#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace melo::loop_search {

// Samples of `ms` milliseconds at `rate`, rounded.
std::int64_t samples_of(double ms, std::int32_t rate);

inline std::size_t at(std::int64_t i) {
    return static_cast<std::size_t>(i);
}

// Sums of squares, so the energy of any stretch costs two reads.
class EnergyTable {
public:
    explicit EnergyTable(std::span<const float> x);
    // The energy of [from, to), clipped to the signal.
    double energy(std::int64_t from, std::int64_t to) const;
    // Its root mean square over the samples of [from, to) that the signal has; 0 for none.
    double rms(std::int64_t from, std::int64_t to) const;

private:
    std::vector<double> m_sum;
};

// Normalized correlation of the waveform around a with that around b, over up to `w`
// samples on each side (fewer where the signal ends); 0 when either side is silent.
double correlation(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t w);

// The best normalized correlation of `pattern` with the stretches of `x` that start in
// [from, to] (those that lie inside x), computed by FFT in blocks; 0 when there are none or
// all are silent.
double best_match(std::span<const float> x, const EnergyTable& energy,
                  std::span<const float> pattern, std::int64_t from, std::int64_t to);

// How far a and b move together, by at most `shift` and keeping a >= a_min (and >= 1),
// b <= b_max, to where the seam with a crossfade of `c` samples steps least.
std::int64_t settle_seam(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c,
                         std::int64_t shift, std::int64_t a_min, std::int64_t b_max);

using Bands = std::array<double, kBands>;

// The size of the spectrum frames at `rate`: a power of two of at least kSpectrumMs.
int spectrum_frame_size(std::int32_t rate);

// Band powers of Hann-windowed frames of about kSpectrumMs: kBands bands evenly in log
// frequency from kLowestBandHz to the Nyquist frequency.
class BandSpectrum {
public:
    BandSpectrum(std::span<const float> x, std::int32_t rate);
    int frame_size() const { return m_fft.size(); }
    // The band powers of the frame centred on `centre` (the signal is 0 outside its ends).
    Bands powers(std::int64_t centre);

private:
    std::span<const float> m_x;
    RealFft m_fft;
    std::vector<float> m_frame;
    std::vector<float> m_hann;
    std::vector<std::complex<float>> m_spectrum;
    std::array<std::size_t, kBands + 1> m_edges{};
};

// 1 - the cosine similarity of two sets of band amplitudes: 0 for the same spectrum, 1 for
// unrelated ones; 0 when both are silent, 1 when only one is.
double spectral_difference(const Bands& u, const Bands& v);

// The score (0 to 1) of a seam's figures: its correlation, lowered by the spectral difference
// and by the level difference (to half at 3 dB).
double seam_score(const SeamFigures& f);

// Correlation, level and spectral figures of a pair, and its score.
class PairScorer {
public:
    PairScorer(std::span<const float> x, const EnergyTable& energy, std::int32_t rate);
    void score(LoopCandidate& c);

private:
    Bands amplitudes(std::int64_t centre);

    std::span<const float> m_x;
    const EnergyTable& m_energy;
    std::int64_t m_w;
    std::int64_t m_level;
    BandSpectrum m_spectrum;
};

// The median and 95th percentile of the steps between neighbouring samples of [a, b), in
// 8-bit values, into `f`.
void step_figures(std::span<const float> x, std::int64_t a, std::int64_t b, SeamFigures& f);

// The step the loop [a, b) plays at its seam, in 8-bit values: from its last sample (the
// material before a, when crossfaded) to its first.
double played_step(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c);

} // namespace melo::loop_search

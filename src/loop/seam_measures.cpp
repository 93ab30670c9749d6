#include "loop/seam_measures.h"

#include "loop/loop_parts.h"

#include <algorithm>
#include <cmath>

namespace melo::loop_search {
namespace {

constexpr double k8Bit = 128.0; // one 8-bit step per 1/128 of the -1..1 range

// What a loop's seam costs in waveform: how far the samples after the jump differ from those
// the signal would have played, plus the step itself. With a crossfade the loop ends on the
// material before a, so only the step from there into a counts.
double seam_cost(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c > 0) {
        return std::fabs(x[at(a)] - x[at(a - 1)]);
    }
    const auto n = static_cast<std::int64_t>(x.size());
    const double after = b < n ? std::fabs(x[at(a)] - x[at(b)]) : 0.0;
    return after + std::fabs(x[at(a - 1)] - x[at(b - 1)]) + std::fabs(x[at(a)] - x[at(b - 1)]);
}

} // namespace

int spectrum_frame_size(std::int32_t rate) {
    int size = 256;
    while (size < kSpectrumMs * rate / 1000.0) {
        size *= 2;
    }
    return size;
}

std::int64_t samples_of(double ms, std::int32_t rate) {
    return std::llround(ms * rate / 1000.0);
}

EnergyTable::EnergyTable(std::span<const float> x) : m_sum(x.size() + 1, 0.0) {
    for (std::size_t i = 0; i < x.size(); ++i) {
        m_sum[i + 1] = m_sum[i] + static_cast<double>(x[i]) * x[i];
    }
}

double EnergyTable::energy(std::int64_t from, std::int64_t to) const {
    const auto n = static_cast<std::int64_t>(m_sum.size()) - 1;
    from = std::clamp<std::int64_t>(from, 0, n);
    to = std::clamp<std::int64_t>(to, from, n);
    return std::max(0.0, m_sum[at(to)] - m_sum[at(from)]);
}

double EnergyTable::rms(std::int64_t from, std::int64_t to) const {
    const auto n = static_cast<std::int64_t>(m_sum.size()) - 1;
    const std::int64_t count = std::min(to, n) - std::max<std::int64_t>(from, 0);
    return count > 0 ? std::sqrt(energy(from, to) / static_cast<double>(count)) : 0.0;
}

double correlation(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t w) {
    const auto n = static_cast<std::int64_t>(x.size());
    const std::int64_t left = std::min({w, a, b});
    const std::int64_t right = std::min({w, n - a, n - b});
    double xy = 0.0;
    double xx = 0.0;
    double yy = 0.0;
    for (std::int64_t k = -left; k < right; ++k) {
        const double u = x[at(a + k)];
        const double v = x[at(b + k)];
        xy += u * v;
        xx += u * u;
        yy += v * v;
    }
    return xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : 0.0;
}

double best_match(std::span<const float> x, const EnergyTable& energy,
                  std::span<const float> pattern, std::int64_t from, std::int64_t to) {
    const auto n = static_cast<std::int64_t>(x.size());
    const auto m = static_cast<std::int64_t>(pattern.size());
    to = std::min(to, n - m);
    from = std::max<std::int64_t>(from, 0);
    double pp = 0.0;
    for (const float v : pattern) {
        pp += static_cast<double>(v) * v;
    }
    if (m == 0 || from > to || pp <= 0.0) {
        return 0.0;
    }
    int size = 1024;
    while (size < 4 * m) {
        size *= 2;
    }
    RealFft fft(size);
    const std::int64_t hop = size - m + 1; // the lags one block gives without wrapping round
    std::vector<float> frame(static_cast<std::size_t>(size), 0.0f);
    std::vector<std::complex<float>> templ(fft.bins());
    std::vector<std::complex<float>> spectrum(fft.bins());
    std::copy(pattern.begin(), pattern.end(), frame.begin());
    fft.forward(frame.data(), templ.data());
    double best = 0.0;
    for (std::int64_t q = from; q <= to; q += hop) {
        for (std::int64_t k = 0; k < size; ++k) {
            frame[at(k)] = q + k < n ? x[at(q + k)] : 0.0f;
        }
        fft.forward(frame.data(), spectrum.data());
        for (std::size_t j = 0; j < spectrum.size(); ++j) {
            spectrum[j] *= std::conj(templ[j]);
        }
        fft.inverse(spectrum.data(), frame.data());
        for (std::int64_t k = 0; k < hop && q + k <= to; ++k) {
            const double e = energy.energy(q + k, q + k + m);
            if (e > 0.0) {
                best = std::max(best, frame[at(k)] / size / std::sqrt(pp * e));
            }
        }
    }
    return best;
}

std::int64_t settle_seam(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c,
                         std::int64_t shift, std::int64_t a_min, std::int64_t b_max) {
    a_min = std::max<std::int64_t>(a_min, 1);
    const std::int64_t lo = std::max(-shift, a_min - a);
    const std::int64_t hi = std::min(shift, b_max - b);
    std::int64_t best = 0;
    double best_cost = a >= a_min && b <= b_max ? seam_cost(x, a, b, c) : 1e300;
    for (std::int64_t d = lo; d <= hi; ++d) {
        const double cost = seam_cost(x, a + d, b + d, c) + 1e-9 * static_cast<double>(std::abs(d));
        if (cost < best_cost) {
            best_cost = cost;
            best = d;
        }
    }
    return best;
}

BandSpectrum::BandSpectrum(std::span<const float> x, std::int32_t rate)
    : m_x(x), m_fft(spectrum_frame_size(rate)), m_frame(static_cast<std::size_t>(m_fft.size())),
      m_spectrum(m_fft.bins()) {
    const int size = m_fft.size();
    for (int i = 0; i < size; ++i) {
        m_hann.push_back(static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / size)));
    }
    const double lo = std::log(kLowestBandHz);
    const double hi = std::log(rate / 2.0);
    for (int k = 0; k <= kBands; ++k) {
        const double hz = std::exp(lo + (hi - lo) * k / kBands);
        m_edges[at(k)] =
            std::clamp<std::size_t>(static_cast<std::size_t>(hz * size / rate), 1, m_fft.bins());
    }
}

Bands BandSpectrum::powers(std::int64_t centre) {
    const auto n = static_cast<std::int64_t>(m_x.size());
    const std::int64_t from = centre - m_fft.size() / 2;
    for (std::size_t i = 0; i < m_frame.size(); ++i) {
        const std::int64_t j = from + static_cast<std::int64_t>(i);
        m_frame[i] = j >= 0 && j < n ? m_x[at(j)] * m_hann[i] : 0.0f;
    }
    m_fft.forward(m_frame.data(), m_spectrum.data());
    Bands band{};
    for (std::size_t k = 0; k < kBands; ++k) {
        // A band narrower than one bin takes the bin it starts in.
        const std::size_t end =
            std::min(std::max(m_edges[k + 1], m_edges[k] + 1), m_spectrum.size());
        for (std::size_t i = m_edges[k]; i < end; ++i) {
            band[k] += std::norm(m_spectrum[i]);
        }
    }
    return band;
}

double spectral_difference(const Bands& u, const Bands& v) {
    double uv = 0.0;
    double uu = 0.0;
    double vv = 0.0;
    for (std::size_t k = 0; k < kBands; ++k) {
        uv += u[k] * v[k];
        uu += u[k] * u[k];
        vv += v[k] * v[k];
    }
    if (uu <= 0.0 && vv <= 0.0) {
        return 0.0;
    }
    return uu > 0.0 && vv > 0.0 ? std::clamp(1.0 - uv / std::sqrt(uu * vv), 0.0, 1.0) : 1.0;
}

PairScorer::PairScorer(std::span<const float> x, const EnergyTable& energy, std::int32_t rate)
    : m_x(x), m_energy(energy), m_w(samples_of(kWindowMs, rate)),
      m_level(samples_of(kLevelMs, rate)), m_spectrum(x, rate) {}

Bands PairScorer::amplitudes(std::int64_t centre) {
    Bands band = m_spectrum.powers(centre);
    for (double& b : band) {
        b = std::sqrt(b);
    }
    return band;
}

void PairScorer::score(LoopCandidate& c) {
    c.seam.correlation = correlation(m_x, c.a, c.b, m_w);
    const double ra = m_energy.rms(c.a - m_level, c.a + m_level);
    const double rb = m_energy.rms(c.b - m_level, c.b + m_level);
    c.seam.level_db = 20.0 * std::log10(std::max(rb, 1e-9) / std::max(ra, 1e-9));
    c.seam.spectral = spectral_difference(amplitudes(c.a), amplitudes(c.b));
    c.score = seam_score(c.seam);
}

double seam_score(const SeamFigures& f) {
    const double level = f.level_db / 3.0;
    return std::max(0.0, f.correlation) * (1.0 - f.spectral) / (1.0 + level * level);
}

// A histogram of 1/64 of an 8-bit step: a sort of a long loop's steps would cost more than the
// whole search.
void step_figures(std::span<const float> x, std::int64_t a, std::int64_t b, SeamFigures& f) {
    constexpr double kFine = 64.0;
    std::vector<std::int64_t> histogram(static_cast<std::size_t>(2 * k8Bit * kFine) + 2, 0);
    for (std::int64_t i = a; i + 1 < b; ++i) {
        const double step = std::fabs(x[at(i + 1)] - x[at(i)]) * k8Bit * kFine;
        ++histogram[std::min(histogram.size() - 1, static_cast<std::size_t>(step + 0.5))];
    }
    const std::int64_t count = b - a - 1;
    if (count <= 0) {
        return;
    }
    const auto nth = [&](double q) {
        const auto k = static_cast<std::int64_t>(q * static_cast<double>(count - 1));
        std::int64_t seen = 0;
        for (std::size_t i = 0; i < histogram.size(); ++i) {
            seen += histogram[i];
            if (seen > k) {
                return static_cast<double>(i) / kFine;
            }
        }
        return 2.0 * k8Bit;
    };
    f.step_p95 = nth(0.95);
    f.typical_step = nth(0.5);
}

double played_step(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c) {
    const float last = usable_crossfade(a, b, c) > 0 ? x[at(a - 1)] : x[at(b - 1)];
    return std::fabs(x[at(a)] - last) * k8Bit;
}

} // namespace melo::loop_search

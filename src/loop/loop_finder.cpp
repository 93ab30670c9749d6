#include "loop/loop_finder.h"

#include "common/number_format.h"
#include "common/progress.h"
#include "loop/loop_parts.h"
#include "loop/real_fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <new>

namespace melo {
namespace {

constexpr double kWindowMs = 20.0;     // waveform compared on each side of a seam
constexpr double kLevelMs = 50.0;      // level compared on each side of a seam
constexpr double kSpectrumMs = 75.0;   // spectrum compared around each point
constexpr double kSeamShiftMs = 2.0;   // how far both points move together to the smallest step
constexpr int kFftSize = 4096;         // of the blocks the correlation runs over
constexpr int kAnchors = 16;           // loop starts the correlation runs from
constexpr std::size_t kPeaksPerAnchor = 12;
constexpr double kNearlyEqualNcc = 0.02; // peaks this close to an anchor's best are kept
constexpr double kLengthBonus = 0.01;    // the whole range's length is worth this much score
constexpr double k8Bit = 128.0;          // one 8-bit step per 1/128 of the -1..1 range
constexpr int kBands = 24;

std::int64_t samples_of(double ms, std::int32_t rate) {
    return std::llround(ms * rate / 1000.0);
}

std::size_t at(std::int64_t i) {
    return static_cast<std::size_t>(i);
}

// Sums of squares, so the energy of any stretch costs two reads.
class EnergyTable {
public:
    explicit EnergyTable(std::span<const float> x) : m_sum(x.size() + 1, 0.0) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            m_sum[i + 1] = m_sum[i] + static_cast<double>(x[i]) * x[i];
        }
    }
    // The energy of [from, to), clipped to the signal.
    double energy(std::int64_t from, std::int64_t to) const {
        const auto n = static_cast<std::int64_t>(m_sum.size()) - 1;
        from = std::clamp<std::int64_t>(from, 0, n);
        to = std::clamp<std::int64_t>(to, from, n);
        return std::max(0.0, m_sum[at(to)] - m_sum[at(from)]);
    }
    double rms(std::int64_t from, std::int64_t to) const {
        const auto n = static_cast<std::int64_t>(m_sum.size()) - 1;
        const std::int64_t count = std::min(to, n) - std::max<std::int64_t>(from, 0);
        return count > 0 ? std::sqrt(energy(from, to) / static_cast<double>(count)) : 0.0;
    }

private:
    std::vector<double> m_sum;
};

// Normalized correlation of the waveform around a with that around b, over up to `w`
// samples on each side (fewer where the signal ends).
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

// Moves a and b together by at most `shift` (keeping a >= a_min, b <= b_max) to where the
// seam costs least.
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

// Correlation, level and spectral figures of a pair, and its score.
class PairScorer {
public:
    PairScorer(std::span<const float> x, const EnergyTable& energy, std::int32_t rate)
        : m_x(x), m_energy(energy), m_w(samples_of(kWindowMs, rate)),
          m_level(samples_of(kLevelMs, rate)), m_fft(spectrum_size(rate)),
          m_frame(static_cast<std::size_t>(m_fft.size())), m_bins(m_fft.bins()) {
        const int size = m_fft.size();
        for (int i = 0; i < size; ++i) {
            m_hann.push_back(static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * i / size)));
        }
        // Band edges spaced evenly in log frequency from 40 Hz to the Nyquist frequency.
        const double lo = std::log(40.0);
        const double hi = std::log(rate / 2.0);
        for (int k = 0; k <= kBands; ++k) {
            const double hz = std::exp(lo + (hi - lo) * k / kBands);
            m_edges[at(k)] = std::clamp<std::size_t>(
                static_cast<std::size_t>(hz * size / rate), 1, m_bins);
        }
    }

    void score(LoopCandidate& c) {
        c.seam.correlation = correlation(m_x, c.a, c.b, m_w);
        const double ra = m_energy.rms(c.a - m_level, c.a + m_level);
        const double rb = m_energy.rms(c.b - m_level, c.b + m_level);
        c.seam.level_db = 20.0 * std::log10(std::max(rb, 1e-9) / std::max(ra, 1e-9));
        c.seam.spectral = spectral_difference(c.a, c.b);
        const double level = c.seam.level_db / 3.0;
        c.score = std::max(0.0, c.seam.correlation) * (1.0 - c.seam.spectral) / (1.0 + level * level);
    }

private:
    static int spectrum_size(std::int32_t rate) {
        int size = 256;
        while (size < kSpectrumMs * rate / 1000.0) {
            size *= 2;
        }
        return size;
    }

    // The band amplitudes of a Hann window centred on `centre`.
    std::array<double, kBands> bands(std::int64_t centre) {
        const auto n = static_cast<std::int64_t>(m_x.size());
        const std::int64_t from = centre - m_fft.size() / 2;
        for (std::size_t i = 0; i < m_frame.size(); ++i) {
            const std::int64_t j = from + static_cast<std::int64_t>(i);
            m_frame[i] = j >= 0 && j < n ? m_x[at(j)] * m_hann[i] : 0.0f;
        }
        m_spectrum.resize(m_bins);
        m_fft.forward(m_frame.data(), m_spectrum.data());
        std::array<double, kBands> band{};
        for (std::size_t k = 0; k < kBands; ++k) {
            double power = 0.0;
            for (std::size_t i = m_edges[k]; i < std::max(m_edges[k + 1], m_edges[k] + 1) && i < m_bins; ++i) {
                power += std::norm(m_spectrum[i]);
            }
            band[k] = std::sqrt(power);
        }
        return band;
    }

    // 1 - the cosine similarity of the band amplitudes around a and b.
    double spectral_difference(std::int64_t a, std::int64_t b) {
        const std::array<double, kBands> u = bands(a);
        const std::array<double, kBands> v = bands(b);
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

    std::span<const float> m_x;
    const EnergyTable& m_energy;
    std::int64_t m_w;
    std::int64_t m_level;
    RealFft m_fft;
    std::vector<float> m_frame;
    std::vector<float> m_hann;
    std::vector<std::complex<float>> m_spectrum;
    std::size_t m_bins;
    std::array<std::size_t, kBands + 1> m_edges{};
};

// The steps of the loop [a, b) between neighbouring samples: median and 95th percentile, from
// a histogram of 1/64 of an 8-bit step (a sort of a long loop's steps would cost more than
// the whole search).
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

// The step the loop plays at its seam: from its last sample (the material before a, when
// crossfaded) to its first.
double played_step(std::span<const float> x, std::int64_t a, std::int64_t b, std::int64_t c) {
    const float last = usable_crossfade(a, b, c) > 0 ? x[at(a - 1)] : x[at(b - 1)];
    return std::fabs(x[at(a)] - last) * k8Bit;
}

std::string seconds_text(std::int64_t samples, std::int32_t rate) {
    return format_general(std::round(static_cast<double>(samples) * 100.0 / rate) / 100.0) + " s";
}

LoopResult failure(LoopResult r, LoopCode code, std::string message) {
    r.code = code;
    r.message = std::move(message);
    r.candidates.clear();
    return r;
}

// Two candidates are one loop for the list when their lengths and starts are close.
bool same_loop(const LoopCandidate& x, const LoopCandidate& y, std::int32_t rate) {
    return std::abs(x.length() - y.length()) <= samples_of(1.0, rate) &&
           std::abs(x.a - y.a) <= samples_of(50.0, rate);
}

} // namespace

std::int64_t crossfade_samples(double ms, std::int32_t rate) {
    return ms > 0.0 ? samples_of(ms, rate) : 0;
}

std::string check_loop_settings(const LoopSettings& s, std::int64_t samples) {
    if (s.rate <= 0) {
        return "Abtastrate " + std::to_string(s.rate) + " Hz ist ungültig";
    }
    if (!(s.min_seconds > 0.0 && s.min_seconds < 1e6)) {
        return "kürzeste Schleife muss länger als 0 s sein";
    }
    if (s.max_seconds && !(*s.max_seconds >= s.min_seconds && *s.max_seconds < 1e6)) {
        return "längste Schleife ist kürzer als die kürzeste";
    }
    if (s.candidates < 1 || s.candidates > kMaxLoopCandidates) {
        return "Anzahl der Vorschläge liegt nicht zwischen 1 und " + std::to_string(kMaxLoopCandidates);
    }
    if (!(s.crossfade_ms >= 0.0 && s.crossfade_ms <= kMaxCrossfadeMs)) {
        return "Überblendung liegt nicht zwischen 0 und " +
               format_general(kMaxCrossfadeMs) + " ms";
    }
    if (s.range && !(s.range->from >= 0 && s.range->from < s.range->to && s.range->to <= samples)) {
        return "Suchbereich liegt nicht in der Aufnahme (" + seconds_text(samples, s.rate) + ")";
    }
    return {};
}

SampleSpan steady_range(std::span<const float> x, std::int32_t rate) {
    const auto n = static_cast<std::int64_t>(x.size());
    const SampleSpan whole{0, n};
    const std::int64_t hop = std::max<std::int64_t>(1, samples_of(10.0, rate));
    const std::int64_t half = 5 * hop; // a 100 ms window smooths out pulses and vibrato
    const std::int64_t margin = samples_of(100.0, rate);
    if (n < 4 * half) {
        return whole;
    }
    const EnergyTable energy(x);
    std::vector<double> env;
    for (std::int64_t c = 0; c < n; c += hop) {
        env.push_back(energy.rms(c - half, c + half));
    }
    const double peak = *std::max_element(env.begin(), env.end());
    if (peak <= 0.0) {
        return whole;
    }
    // The sustained level: the median of the envelope where the sound is not near silence.
    std::vector<double> loud;
    std::copy_if(env.begin(), env.end(), std::back_inserter(loud),
                 [&](double e) { return e >= 0.3 * peak; });
    std::nth_element(loud.begin(), loud.begin() + static_cast<std::ptrdiff_t>(loud.size() / 2), loud.end());
    const double threshold = 0.9 * loud[loud.size() / 2];
    const auto first = std::find_if(env.begin(), env.end(), [&](double e) { return e >= threshold; });
    const auto last = std::find_if(env.rbegin(), env.rend(), [&](double e) { return e >= threshold; });
    const std::int64_t from = (first - env.begin()) * hop;
    const std::int64_t to = (env.rend() - last - 1) * hop;
    // The margin keeps the end of the attack and the start of the decay out, where the range
    // leaves room for it.
    if (to - from > 4 * margin) {
        return {from + margin, to - margin};
    }
    if (to - from > n / 4) {
        return {from, to};
    }
    return whole;
}

LoopCandidate evaluate_loop(std::span<const float> x, std::int64_t a, std::int64_t b,
                            std::int64_t crossfade, std::int32_t rate) {
    LoopCandidate c;
    c.a = a;
    c.b = b;
    if (!(a >= 0 && a < b && b <= static_cast<std::int64_t>(x.size()))) {
        return c; // no loop: score 0, no figures
    }
    const EnergyTable energy(x);
    PairScorer scorer(x, energy, rate);
    scorer.score(c);
    c.seam.step = played_step(x, a, b, crossfade);
    step_figures(x, a, b, c.seam);
    return c;
}

LoopCandidate snap_loop(std::span<const float> x, std::int64_t a, std::int64_t b, double snap_ms,
                        std::int64_t crossfade, std::int32_t rate) {
    const auto n = static_cast<std::int64_t>(x.size());
    if (!(a > 0 && a < b && b < n)) {
        return evaluate_loop(x, a, b, crossfade, rate);
    }
    const std::int64_t s = samples_of(snap_ms, rate);
    const std::int64_t w = samples_of(kWindowMs, rate);
    const std::int64_t a_lo = std::max<std::int64_t>(1, a - s);
    const std::int64_t b_hi = std::min(n - 1, b + s); // the end part keeps a sample
    std::int64_t best_a = a;
    std::int64_t best_b = b;
    double best = -2.0;
    for (std::int64_t pa = a_lo; pa <= a + s; ++pa) {
        for (std::int64_t pb = std::max(b - s, pa + 1); pb <= b_hi; ++pb) {
            const double r = correlation(x, pa, pb, w);
            if (r > best + 1e-12) {
                best = r;
                best_a = pa;
                best_b = pb;
            }
        }
    }
    // The seam's settling stays inside the snapping distance of the user's points.
    const std::int64_t d = settle_seam(x, best_a, best_b, crossfade, s, std::max(a_lo, a - s),
                                       std::min(b_hi, b + s));
    return evaluate_loop(x, best_a + d, best_b + d, crossfade, rate);
}

LoopResult LoopFinder::find(std::span<const float> signal, const LoopSettings& settings,
                            ProgressObserver& observer) {
    return guarded(
        [&] { return search(signal, settings, observer); },
        [](WorkFault fault) {
            return fault == WorkFault::NoMemory
                       ? failure({}, LoopCode::NoMemory,
                                 "Der Arbeitsspeicher reicht für diese Suche nicht aus")
                       : failure({}, LoopCode::Failed,
                                 "Die Schleifensuche ist an einem inneren Fehler gescheitert");
        });
}

LoopResult LoopFinder::search(std::span<const float> x, const LoopSettings& settings,
                              ProgressObserver& observer) {
    LoopResult r;
    const auto n = static_cast<std::int64_t>(x.size());
    const std::int32_t rate = settings.rate;
    if (std::string bad = check_loop_settings(settings, n); !bad.empty()) {
        return failure(r, LoopCode::BadSettings, bad);
    }
    r.range = settings.range ? *settings.range : steady_range(x, rate);
    const std::int64_t w = samples_of(kWindowMs, rate);
    const std::int64_t t_len = 2 * w;
    const std::int64_t crossfade = crossfade_samples(settings.crossfade_ms, rate);
    const std::int64_t min_len = std::max<std::int64_t>(1, samples_of(settings.min_seconds * 1000.0, rate));
    // Both points need the compared waveform around them, and a crossfade the material before a.
    const std::int64_t a_min = std::max({r.range.from, w, crossfade, std::int64_t{1}});
    const std::int64_t b_max = std::min(r.range.to, n - w);
    if (b_max - a_min < min_len) {
        return failure(r, LoopCode::TooShort,
                       "Suchbereich " + seconds_text(r.range.from, rate) + " bis " +
                           seconds_text(r.range.to, rate) + " fasst keine Schleife von " +
                           seconds_text(min_len, rate));
    }
    std::int64_t max_len = b_max - a_min;
    if (settings.max_seconds) {
        max_len = std::clamp<std::int64_t>(samples_of(*settings.max_seconds * 1000.0, rate), min_len, max_len);
    }

    // The spectra of the blocks that the windows around every possible b lie in, computed once
    // and shared by all anchors: block i holds the windows starting at q0 + i * hop.
    RealFft fft(kFftSize);
    const std::size_t bins = fft.bins();
    const std::int64_t hop = kFftSize - t_len + 1;
    const std::int64_t q0 = a_min + min_len - w;
    const std::int64_t q1 = b_max - w;
    const std::int64_t blocks = (q1 - q0) / hop + 1;
    std::vector<std::complex<float>> spectra(at(blocks) * bins);
    std::vector<float> frame(kFftSize);

    const std::int64_t a_last = b_max - min_len;
    const std::int64_t anchors = std::min<std::int64_t>(kAnchors, a_last - a_min + 1);
    const std::int64_t total = blocks * (1 + anchors) + anchors;
    std::int64_t done = 0;
    PermilleGate gate(&observer);
    auto step = [&](std::int64_t units) {
        done += units;
        gate.pass(std::min(999, permille_of(done, total)));
        return !gate.cancelled();
    };
    auto cancelled = [&] { return failure(r, LoopCode::Cancelled, "Schleifensuche abgebrochen"); };

    for (std::int64_t i = 0; i < blocks; ++i) {
        const std::int64_t from = q0 + i * hop;
        for (std::int64_t k = 0; k < kFftSize; ++k) {
            frame[at(k)] = from + k < n ? x[at(from + k)] : 0.0f;
        }
        fft.forward(frame.data(), &spectra[at(i) * bins]);
        if (!step(1)) {
            return cancelled();
        }
    }

    const EnergyTable energy(x);
    std::vector<std::complex<float>> templ(bins);
    std::vector<std::complex<float>> product(bins);
    std::vector<float> ncc;
    std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
    for (std::int64_t k = 0; k < anchors; ++k) {
        const std::int64_t a =
            anchors > 1 ? a_min + (a_last - a_min) * k / (anchors - 1) : a_min;
        const double e_t = energy.energy(a - w, a + w);
        const std::int64_t b_lo = a + min_len;
        const std::int64_t b_hi = std::min(a + max_len, b_max);
        const std::int64_t i_lo = (b_lo - w - q0) / hop;
        const std::int64_t i_hi = (b_hi - w - q0) / hop;
        if (e_t <= 1e-12 || b_hi < b_lo) {
            if (!step(blocks)) {
                return cancelled();
            }
            continue;
        }
        std::fill(frame.begin(), frame.end(), 0.0f);
        std::copy(x.begin() + a - w, x.begin() + a + w, frame.begin());
        fft.forward(frame.data(), templ.data());
        ncc.assign(at(b_hi - b_lo + 1), 0.0f);
        for (std::int64_t i = i_lo; i <= i_hi; ++i) {
            const std::complex<float>* s = &spectra[at(i) * bins];
            for (std::size_t j = 0; j < bins; ++j) {
                product[j] = s[j] * std::conj(templ[j]);
            }
            fft.inverse(product.data(), frame.data());
            const std::int64_t start = q0 + i * hop;
            const std::int64_t from = std::max(start, b_lo - w);
            const std::int64_t to = std::min(start + hop, b_hi - w + 1);
            for (std::int64_t q = from; q < to; ++q) {
                const double e_b = energy.energy(q, q + t_len);
                if (e_b > 1e-12) {
                    ncc[at(q + w - b_lo)] = static_cast<float>(
                        frame[at(q - start)] / kFftSize / std::sqrt(e_t * e_b));
                }
            }
            if (!step(1)) {
                return cancelled();
            }
        }
        step(blocks - (i_hi - i_lo + 1));

        // The anchor's best peaks, and the longest of those nearly as good as its best.
        // Only peaks near the best can be kept; the first pass finds the best cheaply.
        const float floor = std::max(0.0f, *std::max_element(ncc.begin(), ncc.end()) - 0.1f);
        std::vector<std::pair<float, std::int64_t>> peaks;
        for (std::size_t j = 1; j + 1 < ncc.size(); ++j) {
            if (ncc[j] > floor && ncc[j] >= ncc[j - 1] && ncc[j] > ncc[j + 1]) {
                peaks.emplace_back(ncc[j], b_lo + static_cast<std::int64_t>(j));
            }
        }
        if (peaks.empty()) {
            continue;
        }
        const auto top = std::min(peaks.size(), kPeaksPerAnchor);
        std::partial_sort(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(top), peaks.end(),
                          [](const auto& p, const auto& q) { return p.first > q.first; });
        const float good = peaks.front().first - static_cast<float>(kNearlyEqualNcc);
        for (std::size_t j = 0; j < top; ++j) {
            pairs.emplace_back(a, peaks[j].second);
        }
        std::vector<std::int64_t> longest;
        for (std::size_t j = top; j < peaks.size(); ++j) {
            if (peaks[j].first >= good) {
                longest.push_back(peaks[j].second);
            }
        }
        const auto keep = std::min(longest.size(), kPeaksPerAnchor);
        std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(keep),
                          longest.end(), std::greater<>());
        for (std::size_t j = 0; j < keep; ++j) {
            pairs.emplace_back(a, longest[j]);
        }
    }

    // Every pair moves to its smallest seam step, then is scored; the longer loop wins among
    // nearly equal scores.
    PairScorer scorer(x, energy, rate);
    const std::int64_t shift = samples_of(kSeamShiftMs, rate);
    std::vector<LoopCandidate> scored;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto [a, b] = pairs[i];
        const std::int64_t d = settle_seam(x, a, b, crossfade, shift, a_min, b_max);
        LoopCandidate c;
        c.a = a + d;
        c.b = b + d;
        scorer.score(c);
        scored.push_back(c);
        if (i % 64 == 63 && observer.cancelled()) {
            return cancelled();
        }
    }
    const auto rank = [&](const LoopCandidate& c) {
        return c.score + kLengthBonus * static_cast<double>(c.length()) / static_cast<double>(max_len);
    };
    std::sort(scored.begin(), scored.end(),
              [&](const LoopCandidate& p, const LoopCandidate& q) { return rank(p) > rank(q); });
    for (const LoopCandidate& c : scored) {
        if (static_cast<int>(r.candidates.size()) >= settings.candidates) {
            break;
        }
        if (std::none_of(r.candidates.begin(), r.candidates.end(),
                         [&](const LoopCandidate& p) { return same_loop(p, c, rate); })) {
            r.candidates.push_back(c);
        }
    }
    if (!step(anchors)) {
        return cancelled();
    }
    if (r.candidates.empty()) {
        return failure(r, LoopCode::NoRepetition,
                       "Keine Schleife gefunden: die Aufnahme ist im Suchbereich still");
    }
    for (LoopCandidate& c : r.candidates) {
        c.seam.step = played_step(x, c.a, c.b, crossfade);
        step_figures(x, c.a, c.b, c.seam);
    }
    // The chosen loop first, the others by falling score.
    std::stable_sort(r.candidates.begin() + 1, r.candidates.end(),
                     [](const LoopCandidate& p, const LoopCandidate& q) { return p.score > q.score; });
    gate.pass(1000);
    if (r.candidates.front().score < kRepeatingScore) {
        r.code = LoopCode::NoRepetition;
        r.message = "Die Aufnahme wiederholt sich nicht (Rauschen oder Sprache?): die beste Naht "
                    "passt nur zu " +
                    std::to_string(std::lround(r.candidates.front().score * 100.0)) +
                    " %. Eine Überblendung macht die Naht weich.";
    }
    return r;
}

} // namespace melo

#include "loop/loop_finder.h"

#include "common/number_format.h"
#include "common/progress.h"
#include "loop/loop_parts.h"
#include "loop/range_profile.h"
#include "loop/seam_measures.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <numeric>
#include <optional>
#include <tuple>

namespace melo {

using namespace loop_search;

namespace {

std::string seconds_of(std::int64_t samples, std::int32_t rate, char separator) {
    return seconds_text(static_cast<double>(samples) / rate, 3, separator);
}

std::string percent(double share) {
    return std::to_string(std::lround(share * 100.0)) + " %";
}

LoopResult failure(LoopResult r, LoopCode code, std::string message) {
    r.code = code;
    r.message = std::move(message);
    r.candidates.clear();
    return r;
}

// Two candidates are one loop for the list when their lengths and starts are close.
bool same_loop(const LoopCandidate& x, const LoopCandidate& y, std::int32_t rate) {
    return std::abs(x.length() - y.length()) <= samples_of(kSameLengthMs, rate) &&
           std::abs(x.a - y.a) <= samples_of(kSameStartMs, rate);
}

// A loop that joins without a jump and stands for the searched range.
bool honest(const LoopCandidate& c) {
    return c.score >= kRepeatingScore && c.likeness.value_or(1.0) >= kSteadyShare && c.repeats;
}

// The best match of the loop's seam as it plays (its last w samples into its first w) with
// the waveform within `reach` of the recording's ends: for a loop over nearly the whole
// recording, which has no recorded material around its points, the place where a repeating
// sound plays what the seam plays. 0 when the loop is shorter than the seam.
double played_seam_correlation(std::span<const float> x, const EnergyTable& energy, std::int64_t a,
                               std::int64_t b, std::int64_t w, std::int64_t reach) {
    const auto n = static_cast<std::int64_t>(x.size());
    if (b - a < 2 * w) {
        return 0.0;
    }
    std::vector<float> seam(x.begin() + (b - w), x.begin() + b);
    seam.insert(seam.end(), x.begin() + a, x.begin() + (a + w));
    return std::max(best_match(x, energy, seam, 0, reach),
                    best_match(x, energy, seam, n - 2 * w - reach, n));
}

// The pair of points, a from `as` and b from `bs` (both inclusive, every `step` samples, a < b),
// whose waveforms around them correlate best.
std::pair<std::int64_t, std::int64_t> best_pair(std::span<const float> x, SampleSpan as,
                                                SampleSpan bs, std::int64_t step, std::int64_t w) {
    std::pair<std::int64_t, std::int64_t> best_points{as.from, bs.to};
    double best = -2.0;
    for (std::int64_t pa = as.from; pa <= as.to; pa += step) {
        for (std::int64_t pb = std::max(bs.from, pa + 1); pb <= bs.to; pb += step) {
            const double r = correlation(x, pa, pb, w);
            if (r > best + 1e-12) {
                best = r;
                best_points = {pa, pb};
            }
        }
    }
    return best_points;
}

// The size of the blocks the correlation runs over: kFftSize, or at high rates a larger power
// of two, so that a block holds four compared windows (2 w samples each) and moves on by
// three quarters of itself.
int block_size(std::int64_t w) {
    int size = kFftSize;
    while (size < 8 * w) {
        size *= 2;
    }
    return size;
}

// Where a search may put its points.
struct SearchBounds {
    SampleSpan range;   // where the points are looked for
    std::int64_t w = 0; // samples compared on each side of a seam
    std::int64_t crossfade = 0;
    std::int64_t min_len = 0;
    std::int64_t max_len = 0;
    std::int64_t a_min = 0; // both points need the compared waveform around them, and a
    std::int64_t b_max = 0; // crossfade the material before a
};

// The bounds of a search of `n` samples, or the reason (in `r`) why there are none.
std::optional<SearchBounds> bounds_of(std::span<const float> x, const LoopSettings& s,
                                      LoopResult& r) {
    const auto n = static_cast<std::int64_t>(x.size());
    const std::int32_t rate = s.rate;
    if (std::string bad = check_loop_settings(s, n); !bad.empty()) {
        r = failure(r, LoopCode::BadSettings, bad);
        return std::nullopt;
    }
    SearchBounds b;
    b.range = r.range = s.range ? *s.range : steady_range(x, rate);
    b.w = samples_of(kWindowMs, rate);
    b.crossfade = crossfade_samples(s.crossfade_ms, rate);
    b.min_len = std::max<std::int64_t>(1, samples_of(s.min_seconds * 1000.0, rate));
    b.a_min = std::max({b.range.from, b.w, b.crossfade, std::int64_t{1}});
    b.b_max = std::min(b.range.to, n - b.w);
    if (b.b_max - b.a_min < b.min_len) {
        const char sep = s.decimal_separator;
        r = failure(r, LoopCode::TooShort,
                    "Suchbereich " + seconds_of(b.range.from, rate, sep) + " bis " +
                        seconds_of(b.range.to, rate, sep) + " fasst keine Schleife von " +
                        seconds_of(b.min_len, rate, sep));
        return std::nullopt;
    }
    b.max_len = b.b_max - b.a_min;
    if (s.max_seconds) {
        b.max_len = std::clamp<std::int64_t>(samples_of(*s.max_seconds * 1000.0, rate), b.min_len,
                                             b.max_len);
    }
    return b;
}

// One search, in phases: the spectra of the blocks every possible end lies in; for each of a
// few anchor starts, the normalized cross-correlation with every end and its best peaks;
// those pairs moved to their smallest step and scored; the honest ones chosen and judged.
class SeamSearch {
public:
    SeamSearch(std::span<const float> x, const LoopSettings& settings, const SearchBounds& bounds,
               LoopObserver& observer, const std::atomic<bool>& cancel)
        : m_x(x), m_n(static_cast<std::int64_t>(x.size())), m_settings(settings), m_b(bounds),
          m_observer(observer), m_cancel(cancel), m_fft(block_size(m_b.w)), m_bins(m_fft.bins()),
          m_hop(m_fft.size() - 2 * m_b.w + 1), m_q0(m_b.a_min + m_b.min_len - m_b.w),
          m_blocks((m_b.b_max - m_b.w - m_q0) / m_hop + 1), m_a_last(m_b.b_max - m_b.min_len),
          m_anchors(std::min<std::int64_t>(kAnchors, m_a_last - m_b.a_min + 1)),
          m_total(m_blocks * (1 + m_anchors) + RangeProfile::frames(m_b.range, settings.rate) + 1),
          m_frame(static_cast<std::size_t>(m_fft.size())), m_energy(x) {}

    // Runs the phases into `r`; false when cancelled.
    bool run(LoopResult& r) {
        if (!block_spectra()) {
            return false;
        }
        for (std::int64_t k = 0; k < m_anchors; ++k) {
            if (!anchor_pairs(k)) {
                return false;
            }
        }
        const std::vector<LoopCandidate> scored = score_pairs();
        if (m_cancel.load()) {
            return false;
        }
        const RangeProfile profile(m_x, m_b.range, m_settings.rate, [this] { return advance(1); });
        if (m_cancel.load()) {
            return false;
        }
        r.candidates = choose(scored, profile);
        figures(r.candidates);
        return true;
    }

private:
    // Counts `units` of work done and reports a changed per-mille; false when cancelled.
    bool advance(std::int64_t units) {
        m_done += units;
        const int permille = std::min(999, permille_of(m_done, m_total));
        if (permille != m_shown) {
            m_shown = permille;
            m_observer.progress(permille);
        }
        return !m_cancel.load();
    }

    // The spectra of the blocks that the windows around every possible end lie in, computed
    // once and shared by all anchors: block i holds the windows starting at q0 + i * hop.
    bool block_spectra() {
        m_spectra.resize(at(m_blocks) * m_bins);
        for (std::int64_t i = 0; i < m_blocks; ++i) {
            const std::int64_t from = m_q0 + i * m_hop;
            for (std::int64_t k = 0; k < m_fft.size(); ++k) {
                m_frame[at(k)] = from + k < m_n ? m_x[at(from + k)] : 0.0f;
            }
            m_fft.forward(m_frame.data(), &m_spectra[at(i) * m_bins]);
            if (!advance(1)) {
                return false;
            }
        }
        return true;
    }

    // The correlation of the window around the k-th anchor start with that around every end,
    // and the pairs of its best peaks.
    bool anchor_pairs(std::int64_t k) {
        const std::int64_t w = m_b.w;
        const std::int64_t a =
            m_anchors > 1 ? m_b.a_min + (m_a_last - m_b.a_min) * k / (m_anchors - 1) : m_b.a_min;
        const double e_t = m_energy.energy(a - w, a + w);
        const std::int64_t b_lo = a + m_b.min_len;
        const std::int64_t b_hi = std::min(a + m_b.max_len, m_b.b_max);
        if (e_t <= 1e-12 || b_hi < b_lo) {
            return advance(m_blocks); // a silent anchor is like nothing
        }
        const std::int64_t i_lo = (b_lo - w - m_q0) / m_hop;
        const std::int64_t i_hi = (b_hi - w - m_q0) / m_hop;
        std::vector<std::complex<float>> templ(m_bins);
        std::vector<std::complex<float>> product(m_bins);
        std::fill(m_frame.begin(), m_frame.end(), 0.0f);
        std::copy(m_x.begin() + (a - w), m_x.begin() + (a + w), m_frame.begin());
        m_fft.forward(m_frame.data(), templ.data());
        std::vector<float> ncc(at(b_hi - b_lo + 1), 0.0f);
        for (std::int64_t i = i_lo; i <= i_hi; ++i) {
            const std::complex<float>* s = &m_spectra[at(i) * m_bins];
            for (std::size_t j = 0; j < m_bins; ++j) {
                product[j] = s[j] * std::conj(templ[j]);
            }
            m_fft.inverse(product.data(), m_frame.data());
            const std::int64_t start = m_q0 + i * m_hop;
            const std::int64_t from = std::max(start, b_lo - w);
            const std::int64_t to = std::min(start + m_hop, b_hi - w + 1);
            for (std::int64_t q = from; q < to; ++q) {
                const double e_b = m_energy.energy(q, q + 2 * w);
                if (e_b > 1e-12) {
                    ncc[at(q + w - b_lo)] = static_cast<float>(m_frame[at(q - start)] /
                                                               m_fft.size() / std::sqrt(e_t * e_b));
                }
            }
            if (!advance(1)) {
                return false;
            }
        }
        keep_peaks(a, b_lo, ncc);
        return advance(m_blocks - (i_hi - i_lo + 1));
    }

    // The anchor's best peaks, and the longest of those nearly as good as its best. Only
    // peaks near the best can be kept; the first pass finds the best cheaply.
    void keep_peaks(std::int64_t a, std::int64_t b_lo, const std::vector<float>& ncc) {
        const float floor = std::max(0.0f, *std::max_element(ncc.begin(), ncc.end()) - 0.1f);
        std::vector<std::pair<float, std::int64_t>> peaks;
        for (std::size_t j = 1; j + 1 < ncc.size(); ++j) {
            if (ncc[j] > floor && ncc[j] >= ncc[j - 1] && ncc[j] > ncc[j + 1]) {
                peaks.emplace_back(ncc[j], b_lo + static_cast<std::int64_t>(j));
            }
        }
        if (peaks.empty()) {
            return;
        }
        const auto top = std::min(peaks.size(), static_cast<std::size_t>(kPeaksPerAnchor));
        std::partial_sort(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(top),
                          peaks.end(),
                          [](const auto& p, const auto& q) { return p.first > q.first; });
        const float good = peaks.front().first - static_cast<float>(kNearlyEqualNcc);
        for (std::size_t j = 0; j < top; ++j) {
            m_pairs.emplace_back(a, peaks[j].second);
        }
        std::vector<std::int64_t> longest;
        for (std::size_t j = top; j < peaks.size(); ++j) {
            if (peaks[j].first >= good) {
                longest.push_back(peaks[j].second);
            }
        }
        const auto keep = std::min(longest.size(), static_cast<std::size_t>(kPeaksPerAnchor));
        std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(keep),
                          longest.end(), std::greater<>());
        for (std::size_t j = 0; j < keep; ++j) {
            m_pairs.emplace_back(a, longest[j]);
        }
    }

    // Every pair moved to its smallest seam step and scored, the best first; the longer loop
    // wins among nearly equal scores.
    std::vector<LoopCandidate> score_pairs() {
        PairScorer scorer(m_x, m_energy, m_settings.rate);
        const std::int64_t shift = samples_of(kSeamShiftMs, m_settings.rate);
        std::vector<LoopCandidate> scored;
        for (std::size_t i = 0; i < m_pairs.size(); ++i) {
            const auto [a, b] = m_pairs[i];
            const std::int64_t d =
                settle_seam(m_x, a, b, m_b.crossfade, shift, m_b.a_min, m_b.b_max);
            LoopCandidate c;
            c.a = a + d;
            c.b = b + d;
            scorer.score(c);
            scored.push_back(c);
            if (i % 64 == 63 && m_cancel.load()) {
                return {};
            }
        }
        const auto rank = [&](const LoopCandidate& c) {
            return c.score + kLengthBonus * static_cast<double>(c.length()) /
                                 static_cast<double>(m_b.max_len);
        };
        std::sort(
            scored.begin(), scored.end(),
            [&](const LoopCandidate& p, const LoopCandidate& q) { return rank(p) > rank(q); });
        return scored;
    }

    // The distinct best loops: the honest ones first, each group in the order of `scored`.
    std::vector<LoopCandidate> choose(const std::vector<LoopCandidate>& scored,
                                      const RangeProfile& profile) {
        const auto wanted = static_cast<std::size_t>(m_settings.candidates);
        std::vector<LoopCandidate> good;
        std::vector<LoopCandidate> other;
        const auto known = [&](const LoopCandidate& c) {
            const auto same = [&](const LoopCandidate& p) {
                return same_loop(p, c, m_settings.rate);
            };
            return std::any_of(good.begin(), good.end(), same) ||
                   std::any_of(other.begin(), other.end(), same);
        };
        for (LoopCandidate c : scored) {
            if (good.size() >= wanted) {
                break;
            }
            if (known(c) || (other.size() >= wanted && c.score < kRepeatingScore)) {
                continue;
            }
            c.likeness = profile.share_like(c.a, c.b);
            // The costlier check only where the others hold.
            if (honest(c)) {
                c.repeats = profile.repeats(c.a, c.b);
            }
            (honest(c) ? good : other).push_back(c);
        }
        good.insert(good.end(), other.begin(), other.end());
        good.resize(std::min(good.size(), wanted));
        return good;
    }

    // The seam figures of the chosen loops, and the others ordered by falling score.
    void figures(std::vector<LoopCandidate>& candidates) {
        for (LoopCandidate& c : candidates) {
            c.seam.step = played_step(m_x, c.a, c.b, m_b.crossfade);
            step_figures(m_x, c.a, c.b, c.seam);
        }
        if (!candidates.empty()) {
            std::stable_sort(
                candidates.begin() + 1, candidates.end(),
                [](const LoopCandidate& p, const LoopCandidate& q) { return p.score > q.score; });
        }
        advance(1);
    }

    std::span<const float> m_x;
    std::int64_t m_n;
    const LoopSettings& m_settings;
    SearchBounds m_b;
    LoopObserver& m_observer;
    const std::atomic<bool>& m_cancel;
    RealFft m_fft;
    std::size_t m_bins;
    std::int64_t m_hop; // of the blocks
    std::int64_t m_q0;  // the first block's start
    std::int64_t m_blocks;
    std::int64_t m_a_last; // the last anchor
    std::int64_t m_anchors;
    std::int64_t m_total; // units of progress
    std::int64_t m_done = 0;
    int m_shown = -1;
    std::vector<float> m_frame;
    std::vector<std::complex<float>> m_spectra;
    EnergyTable m_energy;
    std::vector<std::pair<std::int64_t, std::int64_t>> m_pairs;
};

// Why the chosen loop (the front of r.candidates) is no honest loop, as r's code and message.
void judge(LoopResult& r, std::span<const float> x, const LoopSettings& s) {
    if (r.candidates.empty()) {
        const auto silent = std::all_of(x.begin() + r.range.from, x.begin() + r.range.to,
                                        [](float v) { return v == 0.0f; });
        r.code = LoopCode::NoLoop;
        r.message =
            silent ? "Die Aufnahme ist im Suchbereich still: da ist nichts, was sich wiederholen "
                     "könnte."
                   : "Die Aufnahme wiederholt sich nicht: keine Stelle im Suchbereich gleicht "
                     "einer anderen.";
        return;
    }
    const LoopCandidate& best = r.candidates.front();
    if (best.score < kRepeatingScore) {
        r.code = LoopCode::NoRepetition;
        r.message =
            "Die Aufnahme wiederholt sich nicht: selbst an der besten Naht passt die Wellenform "
            "nur zu " +
            percent(best.score) +
            ", ein Loop spränge bei jedem Durchlauf hörbar. Eine "
            "Überblendung macht die Naht weich.";
    } else if (*best.likeness < kSteadyShare) {
        r.code = LoopCode::NoRepetition;
        r.message =
            "Die Aufnahme wiederholt sich nicht: Pegel und Klang ändern sich im Suchbereich "
            "fortwährend, und selbst die beste Schleife (" +
            seconds_of(best.length(), s.rate, s.decimal_separator) + ") klingt nur wie " +
            percent(*best.likeness) + " davon.";
    } else if (!best.repeats) {
        r.code = LoopCode::NoRepetition;
        r.message =
            "Die Aufnahme wiederholt sich nicht: Pegel und Klang ändern sich im Suchbereich "
            "fortwährend, und was auf die beste Schleife (" +
            seconds_of(best.length(), s.rate, s.decimal_separator) +
            ") folgt, klingt anders als sie selbst.";
    }
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
        return "Anzahl der Vorschläge liegt nicht zwischen 1 und " +
               std::to_string(kMaxLoopCandidates);
    }
    if (!(s.crossfade_ms >= 0.0 && s.crossfade_ms <= kMaxCrossfadeMs)) {
        return "Überblendung liegt nicht zwischen 0 und " + format_general(kMaxCrossfadeMs) + " ms";
    }
    if (s.range && !(s.range->from >= 0 && s.range->from < s.range->to && s.range->to <= samples)) {
        return "Suchbereich liegt nicht in der Aufnahme (" +
               seconds_of(samples, s.rate, s.decimal_separator) + ")";
    }
    return {};
}

SampleSpan steady_range(std::span<const float> x, std::int32_t rate) {
    const auto n = static_cast<std::int64_t>(x.size());
    const SampleSpan whole{0, n};
    const std::int64_t hop = std::max<std::int64_t>(1, samples_of(kEnvelopeHopMs, rate));
    const std::int64_t half = std::max<std::int64_t>(1, samples_of(kEnvelopeMs / 2, rate));
    const std::int64_t margin = samples_of(kSteadyMarginMs, rate);
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
                 [&](double e) { return e >= kLoudShare * peak; });
    std::nth_element(loud.begin(), loud.begin() + static_cast<std::ptrdiff_t>(loud.size() / 2),
                     loud.end());
    const double threshold = kSustainShare * loud[loud.size() / 2];
    const auto first =
        std::find_if(env.begin(), env.end(), [&](double e) { return e >= threshold; });
    const auto last =
        std::find_if(env.rbegin(), env.rend(), [&](double e) { return e >= threshold; });
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
    const auto n = static_cast<std::int64_t>(x.size());
    if (!(a >= 0 && a < b && b <= n)) {
        return c; // no loop: score 0, no figures
    }
    const EnergyTable energy(x);
    PairScorer scorer(x, energy, rate);
    scorer.score(c);
    const std::int64_t w = samples_of(kWindowMs, rate);
    if (std::min({w, a, b}) + std::min({w, n - a, n - b}) < w) {
        // Too little recorded material around the points to compare: the seam as it plays.
        c.seam.correlation =
            played_seam_correlation(x, energy, a, b, w, samples_of(kPlayedSeamReachMs, rate));
        c.score = seam_score(c.seam);
    }
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
    // On a coarse grid first where the snapping distance holds many samples (high rates), then
    // sample by sample around the best point of the grid.
    const std::int64_t grid = std::max<std::int64_t>(1, s / kSnapGrid);
    auto [best_a, best_b] = best_pair(x, {a_lo, a + s}, {b - s, b_hi}, grid, w);
    if (grid > 1) {
        std::tie(best_a, best_b) =
            best_pair(x, {std::max(a_lo, best_a - grid), std::min(a + s, best_a + grid)},
                      {std::max(b - s, best_b - grid), std::min(b_hi, best_b + grid)}, 1, w);
    }
    // The seam's settling stays inside the snapping distance of the user's points.
    const std::int64_t d =
        settle_seam(x, best_a, best_b, crossfade, s, std::max(a_lo, a - s), std::min(b_hi, b + s));
    return evaluate_loop(x, best_a + d, best_b + d, crossfade, rate);
}

LoopResult LoopFinder::find(std::span<const float> signal, const LoopSettings& settings,
                            LoopObserver& observer) {
    // A cancel ends the search it meets, also one whose worker has not begun yet, and is
    // cleared when that search ends, so it never reaches the next one.
    struct ClearCancel {
        std::atomic<bool>& flag;
        ~ClearCancel() { flag.store(false); }
    } clear_cancel{m_cancel};
    // Nothing may leave a search: it runs on the window's worker thread too.
    try {
        return search(signal, settings, observer);
    } catch (const std::bad_alloc&) {
        return failure({}, LoopCode::NoMemory,
                       "Der Arbeitsspeicher reicht für diese Suche nicht aus");
    } catch (...) {
        return failure({}, LoopCode::Failed,
                       "Die Schleifensuche ist an einem inneren Fehler gescheitert");
    }
}

LoopResult LoopFinder::search(std::span<const float> x, const LoopSettings& settings,
                              LoopObserver& observer) {
    LoopResult r;
    const std::optional<SearchBounds> bounds = bounds_of(x, settings, r);
    if (!bounds) {
        return r;
    }
    SeamSearch search(x, settings, *bounds, observer, m_cancel);
    if (!search.run(r)) {
        return failure(r, LoopCode::Cancelled, "Schleifensuche abgebrochen");
    }
    if (!r.candidates.empty()) {
        observer.progress(1000);
    }
    judge(r, x, settings);
    return r;
}

} // namespace melo

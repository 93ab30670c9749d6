#include "loop/range_profile.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace melo::loop_search {
namespace {

std::int64_t hop_of(std::int32_t rate) {
    return std::max(1, spectrum_frame_size(rate) / 2);
}

// p / q rounded up, for any sign of p (q > 0).
std::int64_t ceil_div(std::int64_t p, std::int64_t q) {
    return p >= 0 ? (p + q - 1) / q : -((-p) / q);
}

double median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

} // namespace

double level_db(const Bands& power) {
    double total = 0.0;
    for (const double p : power) {
        total += p;
    }
    return 10.0 * std::log10(std::max(total, 1e-20));
}

double shape_difference_db(const Bands& u, const Bands& v) {
    double su = 0.0;
    double sv = 0.0;
    for (std::size_t i = 0; i < kBands; ++i) {
        su += u[i];
        sv += v[i];
    }
    if (su <= 0.0 || sv <= 0.0) {
        return su <= 0.0 && sv <= 0.0 ? 0.0 : kShapeFloorDb;
    }
    double top = 0.0;
    for (std::size_t i = 0; i < kBands; ++i) {
        top = std::max({top, u[i] / su, v[i] / sv});
    }
    // Bands far below the strongest hold no sound worth comparing, only its noise.
    const double floor = top * std::pow(10.0, -kShapeFloorDb / 10.0);
    double sum = 0.0;
    for (std::size_t i = 0; i < kBands; ++i) {
        sum +=
            std::fabs(10.0 * std::log10(std::max(u[i] / su, floor) / std::max(v[i] / sv, floor)));
    }
    return sum / kBands;
}

std::int64_t RangeProfile::frames(SampleSpan range, std::int32_t rate) {
    return std::max<std::int64_t>(0, ceil_div(range.size(), hop_of(rate)));
}

RangeProfile::RangeProfile(std::span<const float> x, SampleSpan range, std::int32_t rate,
                           const std::function<bool()>& tick)
    : m_range(range), m_hop(hop_of(rate)) {
    BandSpectrum spectrum(x, rate);
    const std::int64_t count = frames(range, rate);
    std::vector<Bands> sum(static_cast<std::size_t>(count) + 1, Bands{});
    std::vector<Frame> frames(static_cast<std::size_t>(count));
    double loudest = -1e300;
    for (std::int64_t k = 0; k < count; ++k) {
        const Bands p = spectrum.powers(range.from + k * m_hop + m_hop / 2);
        Frame& f = frames[at(k)];
        f.level_db = level_db(p);
        loudest = std::max(loudest, f.level_db);
        const double top = *std::max_element(p.begin(), p.end());
        for (std::size_t i = 0; i < kBands; ++i) {
            sum[at(k + 1)][i] = sum[at(k)][i] + p[i];
            f.shape_db[i] = top > 0.0 ? std::max(-kShapeFloorDb,
                                                 10.0 * std::log10(std::max(p[i], 1e-300) / top))
                                      : 0.0;
        }
        if (!tick()) {
            return;
        }
    }
    for (Frame& f : frames) {
        f.level_db = std::max(f.level_db, loudest - kQuietDb);
    }
    m_sum = std::move(sum);
    m_frames = std::move(frames);
}

RangeProfile::Stretch RangeProfile::stretch(std::int64_t from, std::int64_t to) const {
    // The frames whose centres lie in [from, to); at least the one nearest to its middle.
    // Hann frames half a frame apart add up to the signal's own energy, so a pulse at the
    // stretch's edge counts by the share of it inside.
    const auto count = static_cast<std::int64_t>(m_sum.size()) - 1;
    const std::int64_t offset = m_range.from + m_hop / 2;
    std::int64_t lo = std::clamp<std::int64_t>(ceil_div(from - offset, m_hop), 0, count);
    std::int64_t hi = std::clamp<std::int64_t>(ceil_div(to - offset, m_hop), 0, count);
    if (lo >= hi) {
        lo = std::clamp<std::int64_t>(((from + to) / 2 - offset + m_hop / 2) / m_hop, 0, count - 1);
        hi = lo + 1;
    }
    Stretch s;
    for (std::size_t i = 0; i < kBands; ++i) {
        s.power[i] =
            std::max(0.0, m_sum[at(hi)][i] - m_sum[at(lo)][i]) / static_cast<double>(hi - lo);
    }
    s.level_db = level_db(s.power);
    return s;
}

double RangeProfile::share_like(std::int64_t a, std::int64_t b) const {
    const std::int64_t length = b - a;
    if (m_sum.size() < 2 || length >= m_range.size()) {
        return 1.0;
    }
    const Stretch loop = stretch(a, b);
    const std::int64_t step = std::max(m_hop, length / 4);
    std::int64_t like = 0;
    std::int64_t all = 0;
    for (std::int64_t s = m_range.from; s + length <= m_range.to; s += step) {
        const Stretch other = stretch(s, s + length);
        like += std::fabs(other.level_db - loop.level_db) <= kLikeLevelDb &&
                shape_difference_db(other.power, loop.power) <= kLikeShapeDb;
        ++all;
    }
    return all > 0 ? static_cast<double>(like) / static_cast<double>(all) : 1.0;
}

std::pair<double, double> RangeProfile::lag_difference(const std::vector<std::int64_t>& ks,
                                                       std::int64_t lag) const {
    const auto count = static_cast<std::int64_t>(m_frames.size());
    std::vector<double> shape;
    std::vector<double> level;
    for (const std::int64_t k : ks) {
        const std::int64_t j = k + lag < count ? k + lag : k - lag;
        if (j < 0) {
            continue;
        }
        const Frame& u = m_frames[at(k)];
        const Frame& v = m_frames[at(j)];
        double sum = 0.0;
        for (std::size_t i = 0; i < kBands; ++i) {
            sum += std::fabs(u.shape_db[i] - v.shape_db[i]);
        }
        // Two quiet frames are alike whatever their noise.
        const bool quiet = u.level_db == v.level_db;
        shape.push_back(quiet ? 0.0 : sum / kBands);
        level.push_back(std::fabs(u.level_db - v.level_db));
    }
    if (shape.empty()) {
        return {1e300, 1e300};
    }
    return {median(shape), median(level)};
}

bool RangeProfile::repeats(std::int64_t a, std::int64_t b) const {
    const auto count = static_cast<std::int64_t>(m_frames.size());
    const std::int64_t offset = m_range.from + m_hop / 2;
    const std::int64_t lo = std::clamp<std::int64_t>(ceil_div(a - offset, m_hop), 0, count);
    const std::int64_t hi = std::clamp<std::int64_t>(ceil_div(b - offset, m_hop), 0, count);
    // Lags from one frame length (frames that do not overlap) to the loop's length.
    const std::int64_t longest = (b - a + m_hop / 2) / m_hop;
    if (hi - lo < 2 || longest < 2) {
        return true;
    }
    std::vector<std::int64_t> ks;
    const std::int64_t spread = std::min<std::int64_t>(kRepeatFrames, hi - lo);
    for (std::int64_t k = 0; k < spread; ++k) {
        ks.push_back(lo + (2 * k + 1) * (hi - lo) / (2 * spread));
    }
    for (std::int64_t lag = 2; lag <= longest; ++lag) {
        const auto [shape, level] = lag_difference(ks, lag);
        if (shape <= kRepeatShapeDb && level <= kRepeatLevelDb) {
            return true;
        }
    }
    return false;
}

} // namespace melo::loop_search

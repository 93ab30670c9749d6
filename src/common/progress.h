#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace melo {

// The per-mille progress of `done` out of `total`, computed in double precision as the
// progress displays always have: floor(done / total * 1000).
inline int permille_of(std::int64_t done, std::int64_t total) {
    return static_cast<int>(std::floor(static_cast<double>(done) / static_cast<double>(total) * 1000.0));
}

// The first `done` after `from` whose per-mille value differs from that of `from`, found with
// the same arithmetic, so work can go in blocks and still report every change exactly once.
inline std::int64_t next_permille_change(std::int64_t from, std::int64_t total) {
    const int m = permille_of(from, total);
    if (m >= 1000) {
        return std::numeric_limits<std::int64_t>::max();
    }
    std::int64_t q = (static_cast<std::int64_t>(m) + 1) * total / 1000;
    if (q <= from) {
        q = from + 1;
    }
    while (permille_of(q, total) <= m) {
        ++q;
    }
    while (q - 1 > from && permille_of(q - 1, total) > m) {
        --q;
    }
    return q;
}

} // namespace melo

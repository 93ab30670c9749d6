#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/module_constants.h"

namespace melo {

// The values the conversion clips to: 0 and 255 are the marker bytes.
inline bool is_clipped(std::uint8_t sample) {
    return sample <= kMinSample || sample >= kMaxSample;
}

// Lowest and highest sample of a stretch; empty (lo > hi) for a stretch without samples.
struct SampleRange {
    std::uint8_t lo = 255;
    std::uint8_t hi = 0;
    bool empty() const { return lo > hi; }
    bool clipped() const { return !empty() && (is_clipped(lo) || is_clipped(hi)); }
};

// Minima and maxima of blocks of 16, 256, 4096 ... samples, so the lowest and highest sample
// of any stretch are found from a few dozen blocks, however long the stretch: what a waveform
// drawing needs for each pixel column.
class MinMaxSummary {
public:
    MinMaxSummary() = default;
    explicit MinMaxSummary(const std::vector<std::uint8_t>& samples);

    // The range of samples[begin, end), `samples` being the vector the summary was built from.
    SampleRange range(const std::vector<std::uint8_t>& samples, std::size_t begin,
                      std::size_t end) const;

private:
    void scan(const std::vector<std::uint8_t>& samples, std::size_t level, std::size_t begin,
              std::size_t end, SampleRange& r) const;

    // m_levels[k] holds the (lo, hi) pairs of blocks of 16^(k+1) samples.
    std::vector<std::vector<SampleRange>> m_levels;
};

// One part of a sound row as the image holds it.
struct WaveformPart {
    std::string title;                 // "Anfang", "Loop" or "Ende"
    std::string name;                  // the project's file name, or the slot for an image
    std::string path;                  // the WAV file it came from; "" for an image
    std::int32_t wavfreq = 0;          // the WAV file's sample rate; 0 for an image
    std::vector<std::uint8_t> samples; // the 8-bit samples (1 to 254) the image holds
    int marker = -1;                   // the marker byte behind them; -1 when the image gets none
    std::int64_t address = -1;         // image address of the first sample; -1 when not known
    std::string problem;               // why the part is missing, in German; "" when all is well
    MinMaxSummary summary;             // of `samples`

    std::int64_t count() const { return static_cast<std::int64_t>(samples.size()); }
    // The part's play time in the module, in seconds.
    double seconds() const { return static_cast<double>(samples.size()) / kTargetFreq; }
    std::int64_t clipped() const;
    SampleRange range(std::int64_t begin, std::int64_t end) const;
};

// The three parts of a sound row, placed one after the other as the image places them: each
// part's samples followed by its marker byte.
struct WaveformRow {
    std::string title; // "Sound A (200)"
    std::array<WaveformPart, 3> parts;

    // Position of the first sample of part 0 to 2 within the row (counted in image bytes).
    std::int64_t offset(int part) const;
    // Position of the part's marker byte within the row.
    std::int64_t marker_position(int part) const {
        return offset(part) + parts[static_cast<std::size_t>(part)].count();
    }
    // Image bytes of the whole row, markers included.
    std::int64_t length() const { return offset(3); }
    // The play time at a row position: the samples before it at the module's rate; a marker
    // byte takes no time. position_at_seconds() is its inverse (a time on a part boundary
    // gives the next part's first sample).
    double seconds_at(double position) const;
    double position_at_seconds(double seconds) const;
};

// The close-up of the loop seam: the last samples of the loop part followed by its first.
struct SeamCloseUp {
    std::vector<std::uint8_t> before; // the last `width` samples (fewer when the part is short)
    std::vector<std::uint8_t> after;  // the first `width` samples
    int step = 0;                     // after.front() - before.back(): the jump heard at the seam
};

// The seam of `loop`, `width` samples either side; empty for a part without samples.
SeamCloseUp loop_seam(const WaveformPart& loop, std::size_t width = 64);

// Row `row` (0 to 3) of a project: the three named files found in the project folder
// `projfiledir`, decoded and cut exactly as the generation run places them. A part without a
// file, with a name leading out of the folder or a file the decoder rejects holds no samples;
// `problem` then says why (the decoder's result text).
WaveformRow project_row(const std::string& projfiledir, int row,
                        const std::array<std::string, 3>& names);

// An image read back: the four rows as its address table and marker bytes give them.
struct ImageRows {
    std::array<WaveformRow, 4> rows;
    std::vector<std::string> problems; // every inconsistency the image check finds, in German
    std::string unreadable;            // why there is nothing to show; "" when there is
};

// The rows of an image (the bytes of a .DSU file).
ImageRows image_rows(const std::string& image);

} // namespace melo

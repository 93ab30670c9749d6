#include "flash/waveform_model.h"

#include "common/captions.h"
#include "flash/flash_image.h"
#include "flash/image_dump.h"
#include "flash/part_placement.h"
#include "project/project_file.h"
#include "project/project_path.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

#include <algorithm>

namespace melo {
namespace {

constexpr std::size_t kFan = 16; // blocks of a level per block of the next

void widen(SampleRange& r, SampleRange with) {
    r.lo = std::min(r.lo, with.lo);
    r.hi = std::max(r.hi, with.hi);
}

std::size_t block_size(std::size_t level) {
    std::size_t size = 1;
    for (std::size_t k = 0; k < level; ++k) {
        size *= kFan;
    }
    return size;
}

} // namespace

MinMaxSummary::MinMaxSummary(const std::vector<std::uint8_t>& samples) {
    // Level 1 from the samples, every further level from the one below it.
    std::vector<SampleRange> level((samples.size() + kFan - 1) / kFan);
    for (std::size_t b = 0; b < level.size(); ++b) {
        const auto first = samples.begin() + static_cast<std::ptrdiff_t>(b * kFan);
        const auto last =
            samples.begin() + static_cast<std::ptrdiff_t>(std::min(samples.size(), (b + 1) * kFan));
        const auto [lo, hi] = std::minmax_element(first, last);
        level[b] = {*lo, *hi};
    }
    while (level.size() > 1) {
        std::vector<SampleRange> next((level.size() + kFan - 1) / kFan);
        for (std::size_t b = 0; b < level.size(); ++b) {
            widen(next[b / kFan], level[b]);
        }
        m_levels.push_back(std::move(level));
        level = std::move(next);
    }
    if (!level.empty()) {
        m_levels.push_back(std::move(level));
    }
}

void MinMaxSummary::scan(const std::vector<std::uint8_t>& samples, std::size_t level,
                         std::size_t begin, std::size_t end, SampleRange& r) const {
    if (begin >= end) {
        return;
    }
    if (level == 0) {
        const auto [lo, hi] =
            std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                                samples.begin() + static_cast<std::ptrdiff_t>(end));
        widen(r, {*lo, *hi});
        return;
    }
    // Whole blocks of this level in the middle, the ragged ends from the level below.
    const std::size_t size = block_size(level);
    const std::size_t first = (begin + size - 1) / size;
    const std::size_t last = end / size;
    if (first >= last) {
        scan(samples, level - 1, begin, end, r);
        return;
    }
    scan(samples, level - 1, begin, first * size, r);
    const std::vector<SampleRange>& blocks = m_levels[level - 1];
    for (std::size_t b = first; b < last; ++b) {
        widen(r, blocks[b]);
    }
    scan(samples, level - 1, last * size, end, r);
}

SampleRange MinMaxSummary::range(const std::vector<std::uint8_t>& samples, std::size_t begin,
                                 std::size_t end) const {
    SampleRange r;
    end = std::min(end, samples.size());
    if (begin >= end) {
        return r;
    }
    // The coarsest level whose blocks are no longer than half the stretch: a few dozen blocks.
    std::size_t level = 0;
    while (level < m_levels.size() && block_size(level + 1) * 2 <= end - begin) {
        ++level;
    }
    scan(samples, level, begin, end, r);
    return r;
}

std::int64_t WaveformPart::clipped() const {
    return std::count_if(samples.begin(), samples.end(), is_clipped);
}

SampleRange WaveformPart::range(std::int64_t begin, std::int64_t end) const {
    const auto clamp = [&](std::int64_t v) {
        return static_cast<std::size_t>(std::clamp<std::int64_t>(v, 0, count()));
    };
    return summary.range(samples, clamp(begin), clamp(end));
}

std::int64_t WaveformRow::offset(int part) const {
    std::int64_t at = 0;
    for (int p = 0; p < part; ++p) {
        at += parts[static_cast<std::size_t>(p)].count() + 1; // the samples and the marker byte
    }
    return at;
}

double WaveformRow::seconds_at(double position) const {
    double samples = 0;
    for (int p = 0; p < 3; ++p) {
        const double start = static_cast<double>(offset(p));
        const double n = static_cast<double>(parts[static_cast<std::size_t>(p)].count());
        if (position < start + n) {
            return (samples + std::max(0.0, position - start)) / kTargetFreq;
        }
        samples += n;
        if (position < start + n + 1) {
            break; // on the marker byte
        }
    }
    return samples / kTargetFreq;
}

double WaveformRow::position_at_seconds(double seconds) const {
    const double wanted = std::max(0.0, seconds) * kTargetFreq;
    double samples = 0;
    for (int p = 0; p < 3; ++p) {
        const double n = static_cast<double>(parts[static_cast<std::size_t>(p)].count());
        if (wanted < samples + n) {
            return static_cast<double>(offset(p)) + (wanted - samples);
        }
        samples += n;
    }
    return static_cast<double>(marker_position(2));
}

SeamCloseUp loop_seam(const WaveformPart& loop, std::size_t width) {
    SeamCloseUp seam;
    const std::vector<std::uint8_t>& s = loop.samples;
    if (s.empty()) {
        return seam;
    }
    const std::size_t n = std::min(width, s.size());
    seam.before.assign(s.end() - static_cast<std::ptrdiff_t>(n), s.end());
    seam.after.assign(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    seam.step = static_cast<int>(seam.after.front()) - static_cast<int>(seam.before.back());
    return seam;
}

WaveformRow project_row(const std::string& projfiledir, int row,
                        const std::array<std::string, 3>& names) {
    WaveformRow result;
    result.title = row_title(row);
    DecodedSound sound;
    SoundSlots slots;
    for (int p = 0; p < 3; ++p) {
        WaveformPart& part = result.parts[static_cast<std::size_t>(p)];
        part.title = part_title(p);
        part.name = names[static_cast<std::size_t>(p)];
        // An empty part still gets its marker byte.
        part.marker = slot_marker(slot_of(row, p), kEndMarker);
        if (is_empty_part(part.name)) {
            continue;
        }
        const ProjectFile file = resolve_project_file(projfiledir, part.name);
        if (file.control_characters) {
            part.marker = -1;
            part.problem = "Der Name enthält Steuerzeichen";
            continue;
        }
        if (file.outside) {
            part.marker = -1;
            part.problem = "Der Name führt aus dem Projektordner hinaus";
            continue;
        }
        part.path = file.path;
        // As the generation run does it: the header check records the slot, the full decode
        // gives the samples, cut to it.
        const int slot = slot_of(row, p);
        slots.sndslot = static_cast<std::int16_t>(slot);
        std::uint8_t code = check_part(file.path, slots, sound);
        PlacedPart placed;
        if (code == kDecodeOk) {
            placed = place_part(file.path, slots, slot, sound);
            code = placed.code;
        }
        if (code != kDecodeOk && code != kTooLong) { // a full sample buffer is placed all the same
            part.marker = -1;
            part.problem = wavdecoderesult_text(code, sound);
            continue;
        }
        if (placed.changed) {
            part.marker = -1;
            part.problem = "Die Datei hat sich beim Lesen geändert";
            continue;
        }
        part.wavfreq = sound.wavfreq;
        const PlacedSamples& cut = placed.samples;
        if (cut.valid_first <= cut.valid_last) {
            part.samples.assign(sound.wavdata.begin() + cut.valid_first,
                                sound.wavdata.begin() + cut.valid_last + 1);
        }
        part.marker = slot_marker(slot, slots.sndmark[static_cast<std::size_t>(slot)]);
        part.summary = MinMaxSummary(part.samples);
    }
    return result;
}

ImageRows image_rows(const std::string& image) {
    ImageRows result;
    const ImageDump dump = dump_image(image);
    result.problems = dump.problems;
    result.unreadable = dump.unreadable;
    for (int r = 0; r < 4; ++r) {
        result.rows[static_cast<std::size_t>(r)].title = row_title(r);
    }
    for (const SlotDump& slot : dump.slots) {
        WaveformPart& part = result.rows[static_cast<std::size_t>((slot.slot - 1) / 3)]
                                 .parts[static_cast<std::size_t>((slot.slot - 1) % 3)];
        part.title = part_title((slot.slot - 1) % 3);
        part.name = "Slot " + std::to_string(slot.slot);
        part.address = slot.address;
        part.marker = slot.marker;
        if (slot.address < static_cast<std::int64_t>(image.size())) {
            const auto first = image.begin() + static_cast<std::ptrdiff_t>(slot.address);
            part.samples.assign(first, first + static_cast<std::ptrdiff_t>(slot.samples));
        } else {
            part.problem = "Adresse hinter dem Ende des Images";
        }
        part.summary = MinMaxSummary(part.samples);
    }
    return result;
}

} // namespace melo

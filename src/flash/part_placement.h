#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "flash/flash_image.h"
#include "wav/wav_decoder.h"

// How a WAV part comes into the image: its header check records the slot, its full decode
// gives the samples, cut to what the check declared, and a marker byte closes it. The
// generation run, the waveform model and the image check all take the rule from here.

namespace melo {

// Records the part just checked by a header-only decode in slot `sndslot`: its data start,
// its end (start plus the declared sample count, rounded half to even) and marker 255. A
// decode that did not reach the sample count, or a slot outside the table, changes nothing.
void getWAVdata(SoundSlots& slot_tables, const DecodedSound& sound);

// The header check of a part: a header-only decode of `path` into `sound`, recorded by
// getWAVdata in slot `sndslot`. Returns the decoder's code.
std::uint8_t check_part(const std::string& path, SoundSlots& slot_tables, DecodedSound& sound,
                        DecodeProgress* progress = nullptr);

// The samples of a slot that the placement takes from the slot's full decode `sound`, which
// ended with `code`: indices `first` to `last` into sound.wavdata, the part's length in the
// image, and of these the ones the decode really produced, `valid_first` to `valid_last`
// (none when valid_first > valid_last). A file cut off behind its header (`cut_off`) holds
// fewer samples than `declared` and takes only those; a part beyond the full sample buffer
// (code 99) still takes its whole declared length, so the size check sees it.
struct PlacedSamples {
    std::int64_t declared = 0;
    std::int64_t first = 0;
    std::int64_t last = -1;
    std::int64_t valid_first = 0;
    std::int64_t valid_last = -1;
    bool cut_off = false;
    std::int64_t occupied() const { return std::max<std::int64_t>(last - first + 1, 0); }
};
PlacedSamples placed_samples(std::int32_t sndstart, std::int32_t sndend, const DecodedSound& sound,
                             std::uint8_t code);

// A checked part as the image will hold it.
struct PlacedPart {
    std::uint8_t code = kDecodeOk; // of the full decode
    bool changed = false;          // the file's samples now start elsewhere than at its check
    PlacedSamples samples;         // what the image takes from sound.wavdata
    // True when the part goes into the image: a full sample buffer (code 99) is placed all
    // the same, every other failure and a changed file are not.
    bool placed() const { return (code == kDecodeOk || code == kTooLong) && !changed; }
};

// Decodes the part checked for slot `slot` in full from `path` into `sound` and cuts its
// samples as the image holds them. An empty `path` (a part without a file) decodes nothing
// and places the slot's recorded length.
PlacedPart place_part(const std::string& path, const SoundSlots& slot_tables, int slot,
                      DecodedSound& sound, DecodeProgress* progress = nullptr);

// The marker byte behind the part of slot `slot` (1 to 12), whose check recorded `sndmark`:
// an end part (every third slot) closes its sound with kEndMarker, a start or loop part with
// what its check recorded (kPartMarker for a file, kEndMarker for a part that names none).
std::uint8_t slot_marker(int slot, std::int32_t sndmark);

// The slot (1 to 12) of part `part` (0 start, 1 loop, 2 end) of sound row `row` (0 to 3).
inline int slot_of(int row, int part) {
    return 3 * row + part + 1;
}

} // namespace melo

#include "flash/part_placement.h"

#include <climits>

#include "common/module_constants.h"
#include "common/number_format.h"

namespace melo {

void getWAVdata(SoundSlots& slots, const DecodedSound& sound) {
    if (!sound.declared_samples || slots.sndslot < 0 || slots.sndslot >= SoundSlots::kSize) {
        return;
    }
    const double end = sound.wavdatastart + round_half_even(*sound.declared_samples);
    const auto s = static_cast<std::size_t>(slots.sndslot);
    if (end <= INT32_MAX) { // an end that does not fit 32 bits leaves the old one
        slots.sndend[s] = static_cast<std::int32_t>(end);
    }
    slots.sndstart[s] = sound.wavdatastart;
    slots.sndmark[s] = kPartMarker;
}

PlacedSamples placed_samples(std::int32_t sndstart, std::int32_t sndend, const DecodedSound& sound,
                             std::uint8_t code) {
    PlacedSamples p;
    p.declared = static_cast<std::int64_t>(sndend) - sndstart;
    p.first = static_cast<std::int64_t>(sndstart) - sound.wavdatastart + 1;
    p.cut_off = code == kDecodeOk && p.declared > 0 && sound.wavend < p.declared;
    p.last = p.first + (p.cut_off ? sound.wavend : p.declared) - 1;
    p.valid_first = std::max<std::int64_t>(p.first, 1);
    p.valid_last = std::min<std::int64_t>(p.last, sound.wavend);
    return p;
}

std::uint8_t check_part(const std::string& path, SoundSlots& slots, DecodedSound& sound,
                        DecodeProgress* progress) {
    const std::uint8_t code = decode_sound(path, false, sound, progress);
    getWAVdata(slots, sound);
    return code;
}

PlacedPart place_part(const std::string& path, const SoundSlots& slots, int slot, DecodedSound& sound,
                      DecodeProgress* progress) {
    PlacedPart part;
    const auto s = static_cast<std::size_t>(slot);
    if (!path.empty()) {
        part.code = decode_sound(path, true, sound, progress);
        part.changed = part.placed() && sound.wavdatastart != slots.sndstart[s];
    }
    part.samples = placed_samples(slots.sndstart[s], slots.sndend[s], sound, part.code);
    return part;
}

std::uint8_t slot_marker(int slot, std::int32_t sndmark) {
    return slot % 3 == 0 ? kEndMarker : static_cast<std::uint8_t>(sndmark & 255);
}

} // namespace melo

#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/big_buffer.h"
#include "common/module_constants.h"
#include "wav/wav_decoder.h"

namespace melo {

// The user-sound address table: twelve 3-byte entries from this address on.
inline constexpr std::int32_t kAddressTable = 170;
inline constexpr std::int32_t kAddressTableEnd = 206; // the first address behind it

// The image buffer FLASH (8,388,609 bytes). Bytes reach it through writeFLASH, writeFLASH3
// and writeBlock (many bytes at once, for the base file and the parts' samples), which share
// one bounds rule: an address outside the buffer writes nothing. fill() sets every byte.
class FlashImage {
public:
    FlashImage();

    void fill(std::uint8_t value);
    void writeFLASH(std::int32_t Fadr, std::uint8_t Fbyt);
    // The low 24 bits of Fptr at Fadr, Fadr + 1, Fadr + 2, least significant first; a byte
    // whose address lies outside the buffer is not written, and neither is any after it.
    void writeFLASH3(std::int32_t Fadr, std::int32_t Fptr);
    // writeFLASH for `count` bytes from Fadr on, in one go.
    void writeBlock(std::int64_t Fadr, const std::uint8_t* bytes, std::int64_t count);

    std::uint8_t at(std::int32_t address) const;
    // The image's first `size` bytes, in one piece.
    const std::uint8_t* image(std::int32_t size);

private:
    // Stores the fill value up to `end`. A fill is recorded, not written: the bytes from
    // m_valid on hold the fill value, and a write stores it only where it is needed, so a run
    // does not rewrite all 8 MiB.
    void make_valid(std::int64_t end);

    BigBuffer m_bytes;
    std::uint8_t m_fill = 255;
    std::int64_t m_valid = 0;
};

// The sound slot tables: one slot per WAV part of a run, slots 1 to 12 used.
struct SoundSlots {
    static constexpr int kSize = 513;
    std::array<std::int32_t, kSize> sndstart{};
    std::array<std::int32_t, kSize> sndend{};
    std::array<std::int32_t, kSize> sndmark{};
    std::array<std::string, kSize> sndname{};
    std::int16_t sndslot = 1;
};

// Records the part just checked by a header-only decode in slot `sndslot`: its data start,
// its end (start plus the declared sample count, rounded half to even) and marker 255. A
// decode that did not reach the sample count, or a slot outside the table, changes nothing.
void getWAVdata(SoundSlots& slot_tables, const DecodedSound& sound);

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

} // namespace melo

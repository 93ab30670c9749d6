#pragma once

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

// The sound slot tables: one slot per WAV part of a run. A run has twelve parts at most,
// each taking slot 1 to 12 in turn; index 0 stays unused.
struct SoundSlots {
    static constexpr int kSize = 13;
    std::array<std::int32_t, kSize> sndstart{};
    std::array<std::int32_t, kSize> sndend{};
    std::array<std::int32_t, kSize> sndmark{};
    std::array<std::string, kSize> sndname{};
    std::int16_t sndslot = 1;
};

} // namespace melo

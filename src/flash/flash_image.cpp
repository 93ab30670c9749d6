#include "flash/flash_image.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "common/number_format.h"

namespace melo {

FlashImage::FlashImage() : m_bytes(static_cast<std::size_t>(kFlashLastAddress) + 1) {
    fill(255);
}

void FlashImage::fill(std::uint8_t value) {
    std::fill(m_bytes.begin(), m_bytes.end(), value);
}

void FlashImage::writeFLASH(std::int32_t Fadr, std::uint8_t Fbyt) {
    if (Fadr >= 0 && Fadr <= kFlashLastAddress) {
        m_bytes[static_cast<std::size_t>(Fadr)] = Fbyt;
    }
}

void FlashImage::writeFLASH3(std::int32_t Fadr, std::int32_t Fptr) {
    const auto value = static_cast<std::uint32_t>(Fptr);
    for (int k = 0; k < 3; ++k) {
        const std::int64_t address = static_cast<std::int64_t>(Fadr) + k;
        if (address < 0 || address > kFlashLastAddress) {
            return;
        }
        m_bytes[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>((value >> (8 * k)) & 0xFF);
    }
}

void FlashImage::writeBlock(std::int64_t Fadr, const std::uint8_t* bytes, std::int64_t count) {
    // The part of [Fadr, Fadr + count) that lies inside the buffer.
    const std::int64_t from = std::max<std::int64_t>(Fadr, 0);
    const std::int64_t to = std::min<std::int64_t>(Fadr + count, static_cast<std::int64_t>(kFlashLastAddress) + 1);
    if (from < to) {
        std::memcpy(m_bytes.data() + from, bytes + (from - Fadr), static_cast<std::size_t>(to - from));
    }
}

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
    slots.sndmark[s] = 255;
}

} // namespace melo

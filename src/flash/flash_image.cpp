#include "flash/flash_image.h"

#include <algorithm>
#include <cstring>

namespace melo {

FlashImage::FlashImage() : m_bytes(static_cast<std::size_t>(kFlashLastAddress) + 1) {}

void FlashImage::fill(std::uint8_t value) {
    // Every byte now holds `value`; it is stored when the bytes before a write are made valid.
    m_fill = value;
    m_valid = 0;
}

void FlashImage::make_valid(std::int64_t end) {
    if (end > m_valid) {
        std::memset(m_bytes.data() + m_valid, m_fill, static_cast<std::size_t>(end - m_valid));
        m_valid = end;
    }
}

std::uint8_t FlashImage::at(std::int32_t address) const {
    return address < m_valid ? m_bytes[static_cast<std::size_t>(address)] : m_fill;
}

const std::uint8_t* FlashImage::image(std::int32_t size) {
    make_valid(std::clamp<std::int64_t>(size, 0, static_cast<std::int64_t>(kFlashLastAddress) + 1));
    return m_bytes.data();
}

void FlashImage::writeFLASH(std::int32_t Fadr, std::uint8_t Fbyt) {
    if (Fadr >= 0 && Fadr <= kFlashLastAddress) {
        make_valid(Fadr);
        m_bytes[static_cast<std::size_t>(Fadr)] = Fbyt;
        m_valid = std::max<std::int64_t>(m_valid, Fadr + 1);
    }
}

void FlashImage::writeFLASH3(std::int32_t Fadr, std::int32_t Fptr) {
    const auto value = static_cast<std::uint32_t>(Fptr);
    for (int k = 0; k < 3; ++k) {
        const std::int64_t address = static_cast<std::int64_t>(Fadr) + k;
        if (address < 0 || address > kFlashLastAddress) {
            return;
        }
        writeFLASH(static_cast<std::int32_t>(address), static_cast<std::uint8_t>((value >> (8 * k)) & 0xFF));
    }
}

void FlashImage::writeBlock(std::int64_t Fadr, const std::uint8_t* bytes, std::int64_t count) {
    // The part of [Fadr, Fadr + count) that lies inside the buffer.
    const std::int64_t from = std::max<std::int64_t>(Fadr, 0);
    const std::int64_t to = std::min<std::int64_t>(Fadr + count, static_cast<std::int64_t>(kFlashLastAddress) + 1);
    if (from < to) {
        make_valid(from);
        std::memcpy(m_bytes.data() + from, bytes + (from - Fadr), static_cast<std::size_t>(to - from));
        m_valid = std::max(m_valid, to);
    }
}

} // namespace melo

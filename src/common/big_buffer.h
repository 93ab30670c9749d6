#pragma once

#include <cstddef>
#include <cstdint>

namespace melo {

// A large zero-filled byte buffer (the 8 MiB sample and image buffers). Its pages are mapped
// only when first touched, in huge pages where the system offers them, so a run that uses a
// few MiB neither zeroes nor faults in the rest.
class BigBuffer {
public:
    BigBuffer() = default;
    explicit BigBuffer(std::size_t size) { allocate(size); }
    ~BigBuffer();
    BigBuffer(const BigBuffer&) = delete;
    BigBuffer& operator=(const BigBuffer&) = delete;

    // Allocates `size` zero bytes, replacing any earlier contents.
    void allocate(std::size_t size);

    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    std::uint8_t* data() { return m_data; }
    const std::uint8_t* data() const { return m_data; }
    std::uint8_t* begin() { return m_data; }
    std::uint8_t* end() { return m_data + m_size; }
    const std::uint8_t* begin() const { return m_data; }
    const std::uint8_t* end() const { return m_data + m_size; }
    std::uint8_t& operator[](std::size_t i) { return m_data[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return m_data[i]; }

private:
    void release();

    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;
};

} // namespace melo

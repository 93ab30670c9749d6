#include "common/big_buffer.h"

#include "platform/memory.h"

namespace melo {

BigBuffer::~BigBuffer() {
    release();
}

void BigBuffer::release() {
    if (m_data != nullptr) {
        release_pages(m_data, m_mapped);
    }
    m_data = nullptr;
    m_size = m_mapped = 0;
}

void BigBuffer::allocate(std::size_t size) {
    release();
    if (size == 0) {
        return;
    }
    std::size_t mapped = 0;
    m_data = static_cast<std::uint8_t*>(reserve_zeroed_pages(size, mapped));
    m_size = size;
    m_mapped = mapped;
}

} // namespace melo

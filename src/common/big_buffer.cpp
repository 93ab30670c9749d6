#include "common/big_buffer.h"

#include <new>
#include <sys/mman.h>

namespace melo {

BigBuffer::~BigBuffer() {
    release();
}

void BigBuffer::release() {
    if (m_data != nullptr) {
        ::munmap(m_data, m_mapped);
    }
    m_data = nullptr;
    m_size = m_mapped = 0;
}

void BigBuffer::allocate(std::size_t size) {
    release();
    if (size == 0) {
        return;
    }
    // Anonymous pages read as zero and cost nothing until written.
    constexpr std::size_t kHuge = 2 * 1024 * 1024;
    const std::size_t mapped = (size + kHuge - 1) / kHuge * kHuge;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    ::madvise(p, mapped, MADV_HUGEPAGE);
#endif
    m_data = static_cast<std::uint8_t*>(p);
    m_size = size;
    m_mapped = mapped;
}

} // namespace melo

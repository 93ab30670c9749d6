#include "common/big_buffer.h"

#include <new>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace melo {

BigBuffer::~BigBuffer() {
    release();
}

void BigBuffer::release() {
    if (m_data != nullptr) {
#ifdef _WIN32
        VirtualFree(m_data, 0, MEM_RELEASE);
#else
        ::munmap(m_data, m_mapped);
#endif
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
#ifdef _WIN32
    // Committed pages read as zero and get memory only when first written, as on Linux.
    void* p = VirtualAlloc(nullptr, mapped, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
#else
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    ::madvise(p, mapped, MADV_HUGEPAGE);
#endif
#endif // _WIN32
    m_data = static_cast<std::uint8_t*>(p);
    m_size = size;
    m_mapped = mapped;
}

} // namespace melo

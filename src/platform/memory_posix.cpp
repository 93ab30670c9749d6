#include "platform/memory.h"

#include <new>
#include <sys/mman.h>

namespace melo {

void* reserve_zeroed_pages(std::size_t size, std::size_t& reserved) {
    // Anonymous pages read as zero and cost nothing until written; whole huge pages, so the
    // system may back them with huge pages.
    constexpr std::size_t kHuge = 2 * 1024 * 1024;
    reserved = (size + kHuge - 1) / kHuge * kHuge;
    void* p = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    ::madvise(p, reserved, MADV_HUGEPAGE);
#endif
    return p;
}

void release_pages(void* pages, std::size_t reserved) {
    ::munmap(pages, reserved);
}

} // namespace melo

#include "platform/memory.h"
#include "platform/windows_support.h"

#include <new>

namespace melo {

void* reserve_zeroed_pages(std::size_t size, std::size_t& reserved) {
    // Committed pages read as zero and get memory only when first written, as on Linux.
    constexpr std::size_t kHuge = 2 * 1024 * 1024;
    reserved = (size + kHuge - 1) / kHuge * kHuge;
    void* p = VirtualAlloc(nullptr, reserved, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

void release_pages(void* pages, std::size_t) {
    VirtualFree(pages, 0, MEM_RELEASE);
}

} // namespace melo

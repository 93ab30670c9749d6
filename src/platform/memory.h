#pragma once

#include <cstddef>

namespace melo {

// Reserves at least `size` bytes of zero-filled memory whose pages are taken from the system
// only when first written (in huge pages where the system offers them), so a large buffer
// that is partly used costs only that part. `reserved` receives the number of bytes to hand
// back to release_pages. Throws std::bad_alloc when the system refuses.
void* reserve_zeroed_pages(std::size_t size, std::size_t& reserved);

// Returns memory from reserve_zeroed_pages to the system.
void release_pages(void* pages, std::size_t reserved);

} // namespace melo

// One libFuzzer target: MELO_FUZZ_CHECK names the check of fuzz_checks.h it runs.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    melo::fuzz::MELO_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

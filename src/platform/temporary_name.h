#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melo {

// The name of a writer's temporary file for `path`: `path` with ".tmp" and twelve lower-case
// hexadecimal digits of `number` appended ("bild.DSU.tmp0000a1b2c3d4").
std::string temporary_name(const std::string& path, std::uint64_t number);

// A random `number` for temporary_name.
std::uint64_t temporary_number();

// True when `entry` (a bare name in a folder) is a temporary file for the file named
// `file_name` in the same folder.
bool is_temporary_name(std::string_view entry, std::string_view file_name);

} // namespace melo

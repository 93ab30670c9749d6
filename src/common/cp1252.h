#pragma once

#include <string>
#include <string_view>

namespace melo {

// Windows-1252 bytes to UTF-8. The five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control characters of the same value, so every byte round-trips.
std::string cp1252_to_utf8(std::string_view bytes);

// UTF-8 to Windows-1252. A character outside Windows-1252, or a malformed UTF-8
// sequence, becomes "?".
std::string utf8_to_cp1252(std::string_view text);

} // namespace melo

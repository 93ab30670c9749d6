#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace melo {

// Windows-1252 bytes to UTF-8. The five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control characters of the same value, so every byte round-trips.
std::string cp1252_to_utf8(std::string_view bytes);

// UTF-8 to Windows-1252; nothing when a character does not fit or the text is not valid UTF-8.
std::optional<std::string> utf8_to_cp1252(std::string_view text);

// The code point of the UTF-8 sequence at `i`, moving `i` behind it; false for a malformed,
// overlong or cut-off sequence.
bool next_utf8(std::string_view text, std::size_t& i, char32_t& cp);

// Appends a code point in UTF-8.
void append_utf8(std::string& out, char32_t cp);

// The UTF-8 byte-order mark.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The bytes of a text file (settings, project, log) as UTF-8 text: a leading byte-order mark is
// dropped; bytes that are valid UTF-8 and hold a multi-byte sequence are UTF-8 already;
// anything else is Windows-1252, as the files made on Windows are.
std::string file_text_to_utf8(std::string_view bytes);

// A text as a text file holds it: Windows-1252 when every character fits, so the files stay
// byte for byte those of Windows; UTF-8 otherwise, so no character is ever lost.
std::string utf8_to_file_text(std::string_view text);

// True when the text holds a control character (below 0x20, DEL, or U+0080 to U+009F), which
// no name of a file in a project may hold: it could steer a terminal or cut a printed line.
bool has_control_character(std::string_view text);

// The text with every control character written out visibly ("\x1b", "\x00", "\u009b"), for
// a terminal: an escape sequence in a name must not set its title or clear its screen.
std::string visible_controls(std::string_view text);

} // namespace melo

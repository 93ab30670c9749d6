#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace melo {

// A path from the UTF-8 text the program holds, and its UTF-8 text again. Linux names are
// the bytes as they are; Windows names go through the wide-character API, so any name
// (Звук/日本.wav) works there, where the narrow conversion of std::filesystem would take the
// ANSI code page.
std::filesystem::path native_path(std::string_view utf8);
std::string utf8_path(const std::filesystem::path& path);

// The platform's path separator as a string ("/"; "\" on Windows).
std::string path_separator();

// True for a character that ends a path's directory part: "/", and on Windows "\" as well.
bool is_path_separator(char c);

// The name of the existing entry `path` as its folder spells it. Linux, where a name is
// found only as spelt, gives the last component as it is; Windows, whose file systems find a
// name in any case, the spelling the folder keeps (HORN_LOOP.WAV when asked for horn_loop.wav).
std::string stored_name(const std::filesystem::path& path);

// True when the full path `path` names something below the full path `folder` (both with
// their links resolved). Windows compares names without regard to case, as its file systems do.
bool lies_within(std::string_view path, std::string_view folder);

} // namespace melo

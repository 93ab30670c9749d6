#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "common/atomic_file.h"

namespace melo {

// One INI-syntax file (the settings file, a project file) with the profile-string behaviour
// that existing files rely on: section and key names match without regard to ASCII case; the
// first matching section and the first matching key win; lines are trimmed of blanks and tabs;
// a key line splits at its first "="; a value in matching single or double quotes loses them;
// a line without "=" is no key; "key=" reads as "". A set replaces the value of the first
// matching key, or adds "key=value" at the end of its section, or adds the section and the key
// at the end of the file, and keeps every other line as it was. In memory all texts are UTF-8;
// on disk the file is Windows-1252 whenever every character fits (byte for byte the files of
// Windows), UTF-8 otherwise, with CR LF line ends for the lines it adds.
class IniDocument {
public:
    // Loads the file; a missing or unreadable file loads as an empty document. Returns whether
    // the file could be read.
    bool load(const std::string& path);
    // Loads the file to change and save it: true when it was read or does not exist (an empty
    // document), false when it exists but cannot be read, which must not be replaced by a
    // document of a few keys. `error` then says why.
    bool load_for_update(const std::string& path, std::string* error = nullptr);
    // Takes the file's bytes directly (Windows-1252 or UTF-8, see file_text_to_utf8).
    void parse(std::string_view bytes);
    // The document's bytes as save() writes them.
    std::string bytes() const;

    // The value, cut to 254 characters, or `default_value` (also cut) when the section or the
    // key is missing.
    std::string get(const std::string& section, const std::string& key,
                    const std::string& default_value) const;

    // Sets a value; false, changing nothing, for a text holding a line break, which would
    // split the line and could set another key when read back.
    bool set(const std::string& section, const std::string& key, const std::string& value);

    // Writes the document atomically (creating a missing file, not a missing directory).
    // Returns false, with the old file intact, when that fails; `error` then says why.
    // `links` as for replace_file: the settings file may be a link anywhere, a project not.
    bool save(const std::string& path, std::string* error = nullptr,
              LinkRule links = LinkRule::inside_folder) const;

    // True when the document has the section (its name compared without regard to case).
    bool has_section(const std::string& section) const;

private:
    // Byte offset of the first line of the first matching section's body and of the end of
    // its last line; npos when the section is missing.
    std::pair<std::size_t, std::size_t> section_range(const std::string& section) const;

    // The whole text, UTF-8, with its own line ends: one string, however many lines, so a
    // file of blank lines costs no more than its bytes.
    std::string m_text;
    bool m_bom = false; // the file began with a UTF-8 byte-order mark
};

// The most characters a read returns, as the profile-string functions of Windows did (their
// 255-byte buffer held 254 characters and the terminating zero).
inline constexpr std::size_t kIniValueLimit = 254;
// The largest settings or project file read (they hold a few hundred bytes); anything larger
// is no such file.
inline constexpr std::size_t kIniFileLimit = 1024 * 1024;
// Why a value was not written.
inline constexpr const char* kLineBreakError = "der Text enthält einen Zeilenumbruch";

// True for a text that holds CR or LF, which never goes into a value: it would split the
// line and could set another key when read back.
bool has_line_break(std::string_view text);

// One value of one file, read afresh at every call.
std::string ini_read(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& default_value);

} // namespace melo

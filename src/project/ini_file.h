#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace melo {

// One INI-syntax file (the settings file, a project file) with the profile-string behaviour
// that existing files rely on: section and key names match without regard to ASCII case; the
// first matching section and the first matching key win; lines are trimmed of blanks and tabs;
// a key line splits at its first "="; a value in matching single or double quotes loses them;
// a line without "=" is no key; "key=" reads as "". A set replaces the value of the first
// matching key, or adds "key=value" at the end of its section, or adds the section and the key
// at the end of the file, and keeps every other line byte for byte. On disk the file is
// Windows-1252 with CR LF line ends; in memory all texts are UTF-8.
class IniDocument {
public:
    // Loads the file; a missing or unreadable file loads as an empty document. Returns whether
    // the file could be read.
    bool load(const std::string& path);
    // Takes the file's bytes (Windows-1252) directly.
    void parse(std::string_view bytes);
    // The document's bytes as save() writes them.
    std::string bytes() const;

    // The value, cut to 254 characters, or `default_value` (also cut) when the section or the
    // key is missing.
    std::string get(const std::string& section, const std::string& key,
                    const std::string& default_value) const;

    void set(const std::string& section, const std::string& key, const std::string& value);

    // Writes the document atomically (creating a missing file, not a missing directory).
    // Returns false, with the old file intact, when that fails; `error` then says why.
    bool save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Line {
        std::string text;   // the line's bytes without its line end (Windows-1252)
        std::string ending; // "\r\n", "\n" or "" for a last line without one
    };
    // Index of the first line of the first matching section's body and one past its last
    // line; npos when the section is missing.
    std::pair<std::size_t, std::size_t> section_range(const std::string& section) const;

    std::vector<Line> m_lines;
};

// The most characters a read returns (a 255-byte buffer with its terminating zero).
inline constexpr std::size_t kIniValueLimit = 254;

// One value of one file, read afresh at every call.
std::string ini_read(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& default_value);

// Writes one value into one file; false when the file could not be written.
bool ini_write(const std::string& path, const std::string& section, const std::string& key,
               const std::string& value, std::string* error = nullptr);

} // namespace melo

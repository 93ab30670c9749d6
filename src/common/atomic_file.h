#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace melo {

// Replaces (or creates) the file at `path` with `contents` atomically. The bytes go to an
// unnamed temporary file in the same directory, which is flushed, synced and only then linked
// into place, so a writer that is cut off (disk full, file size limit) or killed leaves the
// old file intact and nothing behind (where the file system has no unnamed files, a named
// temporary file takes their place, which only a killed writer can leave behind). Returns
// false, with the old file untouched, when any step fails (missing directory, write-protected
// file or directory, disk full). A write-protected existing file is not replaced. `error`
// receives the reason in German.
//
// Where `path` is a symbolic link, the file it leads to is replaced, not the link. A link
// that leads out of the folder the name stands in (a project's image, logs, project file or
// converted files) is refused, with the reason, unless `links` is LinkRule::anywhere: a
// project folder from elsewhere must not make a build overwrite the user's other files.
enum class LinkRule { inside_folder, anywhere };
bool replace_file(const std::string& path, std::string_view contents, std::string* error = nullptr,
                  LinkRule links = LinkRule::inside_folder);

// True when `directory` exists and replace_file may create files in it: the same test the
// writer applies (a directory without any write permission bit refuses even root).
bool directory_writable(const std::string& directory);

// The most a whole-file read takes in unless told otherwise.
inline constexpr std::size_t kReadLimit = 64 * 1024 * 1024;

// Reads the whole file into `contents`. Returns false when it cannot be opened or read, when
// it is no regular file (a FIFO or a device would never end) or when it holds more than
// `limit` bytes; `error` then says why, in German.
bool read_file(const std::string& path, std::string& contents, std::size_t limit = kReadLimit,
               std::string* error = nullptr);

// The German reason for a failed file operation's errno value ("kein Speicherplatz mehr").
std::string file_error_text(int error_number);

// The platform's path separator as a string ("/" here, "\" on Windows).
std::string path_separator();

// True for a character that ends a path's directory part: "/", and on Windows "\" as well.
bool is_path_separator(char c);

// A path from the UTF-8 text the program holds, and its UTF-8 text again. On Windows the
// names go through the wide-character API, so any name (Звук/日本.wav) works; the narrow
// conversion of std::filesystem would take the ANSI code page there.
std::filesystem::path native_path(std::string_view utf8);
std::string utf8_path(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-8 and the wide characters of the Windows API; bytes that are no UTF-8 become U+FFFD.
std::wstring wide_text(std::string_view utf8);
std::string utf8_text(std::wstring_view wide);
// The German reason for a Windows error code (GetLastError) that users meet.
std::string system_error_text(unsigned long code);
#endif

} // namespace melo

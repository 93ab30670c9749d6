#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace melo {

// Replaces (or creates) the file at `path` with `contents`, all or nothing: readers, a cut-off
// writer (disk full, file size limit) and a killed one find the old file or the complete new
// one, never a part. The bytes go to a temporary file in the same folder, which is synced and
// then takes the file's place in one step; what each platform does exactly, and what a killed
// writer can leave until the next write of the same file removes it, is told in
// platform/file_replace.h. Returns false, with the old file untouched, when any step fails
// (missing folder, write-protected file or folder, no regular file, disk full); `error`
// receives the reason in German.
//
// Where `path` is a symbolic link (on Windows any reparse point), the file it leads to is
// replaced, not the link. A link that leads out of the folder the name stands in (a project's
// image, logs, project file or converted files) is refused, with the reason, unless `links`
// is LinkRule::anywhere: a project folder from elsewhere must not make a build overwrite the
// user's other files.
enum class LinkRule { inside_folder, anywhere };
bool replace_file(const std::string& path, std::string_view contents, std::string* error = nullptr,
                  LinkRule links = LinkRule::inside_folder);

// The most a whole-file read takes in unless told otherwise.
inline constexpr std::size_t kReadLimit = 64 * 1024 * 1024;

// Reads the whole file into `contents`. Returns false when it cannot be opened or read, when
// it is no regular file (a FIFO or a device would never end) or when it holds more than
// `limit` bytes; `error` then says why, in German.
bool read_file(const std::string& path, std::string& contents, std::size_t limit = kReadLimit,
               std::string* error = nullptr);

} // namespace melo

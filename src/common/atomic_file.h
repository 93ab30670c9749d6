#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace melo {

// Replaces (or creates) the file at `path` with `contents` atomically: the bytes go to a
// temporary file in the same directory, which is flushed, synced and renamed over the target.
// Returns false, with the old file untouched and no temporary file left behind, when any step
// fails (missing directory, write-protected file or directory, disk full). A write-protected
// existing file is not replaced. `error` receives a short reason when given.
bool replace_file(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Reads the whole file into `contents`. Returns false when it cannot be opened or read.
bool read_file(const std::string& path, std::string& contents);

// The platform's path separator as a string ("/" here, "\" on Windows).
std::string path_separator();

} // namespace melo

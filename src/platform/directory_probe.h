#pragma once

#include <string>

namespace melo {

// True when `directory` exists and files may be created in it. Linux: its permission bits
// allow it for this process (a directory without any write permission bit refuses even
// root, as the writer does). Windows, where access lists decide: a file could be created
// there (one is, and vanishes at once).
bool directory_writable(const std::string& directory);

} // namespace melo

#pragma once

#include <string>

namespace melo {

// How a chosen file stands to the project folder, which the project's bare names refer to.
enum class CopyIn {
    NotNeeded, // it lies in the project folder (or is no file there is anything to copy of)
    Missing,   // it lies elsewhere and the project folder has no file of its name
    Same,      // it lies elsewhere, and the file of its name in the project folder is the same
    Different, // it lies elsewhere, and the project folder has a different file of its name
};

// Where the file at `path` stands to the project folder `projfiledir`, judged by the file the
// generation run would read for its bare name.
CopyIn copy_in_state(const std::string& projfiledir, const std::string& path);

// Copies the file at `path` into `projfiledir` under its bare name, replacing a file of that
// name atomically. Returns false, with the German reason in `error`, when it cannot be read
// or written, or when the name in the project folder is a symbolic link (which would lead the
// copy elsewhere).
bool copy_into_project(const std::string& projfiledir, const std::string& path,
                       std::string* error = nullptr);

} // namespace melo

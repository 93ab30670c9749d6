#pragma once

#include "platform/file_status.h"
#include "platform/system_error.h"

#include <optional>
#include <string>
#include <string_view>

namespace melo {

// The step of a replacement that failed.
enum class ReplaceStep {
    no_directory,       // the folder does not exist
    directory_readonly, // nothing may be created in the folder
    not_a_file,         // the name stands for a directory, FIFO, device ... (see `kind`)
    file_readonly,      // the file is write-protected
    create,             // the temporary file could not be created
    write,              // its bytes could not be written or made durable
    replace,            // it could not take the file's place
};

struct ReplaceFailure {
    ReplaceStep step = ReplaceStep::create;
    SystemError error;
    EntryKind kind = EntryKind::regular;
};

// Puts `contents` in the place of the file `path` (or creates it) in one step that readers
// and a crash see either before or after, never halfway. The bytes go to a temporary file in
// the same folder, which is written, flushed to the disk and only then renamed over `path`;
// a write-protected file, or a name that stands for no regular file, is not replaced. A
// replaced file keeps its permissions. Returns false, with `path` untouched, when any step
// fails; `failure` says which and why.
//
// Linux: the temporary file has no name (O_TMPFILE) until it is complete; a new file is then
// linked under its own name, an existing one is replaced by a rename from a name that exists
// for an instant. Where the file system has no unnamed files, the temporary file is named
// from the start. Either way the writer holds a lock on it while it has a name.
// Windows: the temporary file is named from the start and marked to vanish when its handle
// closes; the mark is taken back just before the rename.
// On both, a writer killed at the wrong moment can leave its temporary file (whose name
// temporary_name.h forms); the next replacement of the same file removes every such file
// that no living writer holds.
bool write_and_replace(const std::string& path, std::string_view contents, ReplaceFailure& failure);

// Where `path` leads when it is a symbolic link (on Windows: any reparse point, such as a
// symbolic link): the full name of the file at its end, every link resolved. Nothing when
// `path` is no link, or a link that leads to nothing.
std::optional<std::string> link_destination(const std::string& path);

// The full name of the folder `directory`, every link in it resolved. Nothing when it does
// not exist.
std::optional<std::string> real_directory(const std::string& directory);

} // namespace melo

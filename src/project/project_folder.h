#pragma once

// Writing files into a project folder: the one place that decides which name a new file may
// have, which existing file it replaces and when, and that several files are written
// together or not at all. The conversion window, the loop workshop, copying a chosen file in
// and melo-dsu's convert and loop all write through it.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace melo {

// Where a file of a given name goes in a project folder.
struct FolderTarget {
    std::string name;    // the name as the folder spells it: an existing namesake's spelling
    std::string path;    // the file's path
    bool exists = false; // there is an entry of that name (a file, a link, anything)
    std::string problem; // the German reason why nothing may be written there, or ""
};

// The target of `name` in `projfiledir`: the file a project naming it reads, so an existing
// namesake that differs only in case (HORN_LOOP.WAV for horn_loop.wav) is that file and gets
// replaced, not joined by a second one. `problem` is set for a name new_file_name_problem
// (file_choice.h) refuses and for one whose entry is a link that leads out of the folder.
FolderTarget folder_target(const std::string& projfiledir, const std::string& name);

// A file to write into a project folder. One without a name stands for no file: it is
// skipped, and its name in the result stays empty.
struct FolderFile {
    std::string name; // as asked for; the folder's spelling of a namesake wins
    std::string contents;
};

// Whether an existing file with other contents may be replaced: only when the user said so
// (a window's question answered with yes, --force on the command line).
enum class Replace { keep_different, allowed };

// The names (as the folder spells them) of those `files` whose target exists with other
// contents, or cannot be read: the files to ask about before replacing them.
std::vector<std::string> differing_files(const std::string& projfiledir,
                                         const std::vector<FolderFile>& files);

enum class FolderOutcome {
    written,
    kept_different, // an existing file had other contents and Replace::keep_different held
    failed,
    cancelled,
};

struct FolderWrite {
    FolderOutcome outcome = FolderOutcome::failed;
    std::vector<std::string> names; // the files' names as written (the folder's spelling)
    std::string error;              // German, for every outcome but written
};

// Writes `files` into `projfiledir`, each to its folder_target and each atomically, all or
// nothing: when one cannot be written, or `cancel` is set before the next, the files written
// before it get their old contents back (or go again when they were new). Nothing is written
// when a name is refused, an existing target cannot be read, or one holds other contents and
// `replace` is keep_different. A file whose target already holds its contents is left as it
// is. `progress` hears the per-mille share of the files done.
FolderWrite write_into_folder(const std::string& projfiledir, const std::vector<FolderFile>& files,
                              Replace replace, const std::atomic<bool>* cancel = nullptr,
                              const std::function<void(int)>& progress = {});

} // namespace melo

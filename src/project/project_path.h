#pragma once

#include "project/project_file.h"

#include <string>
#include <string_view>
#include <vector>

namespace melo {

// A file named by a project, found in the project folder.
struct ProjectFile {
    std::string path;     // the file's path (the name as written when nothing matched)
    bool outside = false; // the name leads out of the project folder: the file must not be read
    // The name holds a control character, which no file of a project may: nothing is looked
    // for, `path` stays empty.
    bool control_characters = false;
};

// The file that `name` (a project field: a bare name or a relative path) names in the project
// folder `projfiledir`. When no entry has exactly that name, a single entry that matches it
// without regard to case is taken, as projects made on Windows expect; two such entries are
// not guessed between. A name that leads out of the folder, once ".." and symbolic links are
// resolved, is marked `outside`; an empty name names no file and is not. A backslash in the
// name is the folder separator of the system that wrote the project (Windows), so it
// separates folders here too, unless an entry of the folder has the name as written.
ProjectFile resolve_project_file(const std::string& projfiledir, const std::string& name);

// The fields (0 to 12 in the project file's order) of `fields` whose names lead to the file at
// `path` in `projfiledir`, as resolve_project_file finds them: a namesake that differs only in
// case counts. None when the file is not in the project.
std::vector<int> fields_naming(const ProjectFields& fields, const std::string& projfiledir,
                               const std::string& path);

// "das Projekt nutzt sie für Sound A (200) Loop und Sound B (201) Ende": which fields name the
// file at `path` (fields_naming), for a question before it is replaced; "" for none.
std::string fields_naming_text(const ProjectFields& fields, const std::string& projfiledir,
                               const std::string& path);

// `name` with its letters folded to lower case (ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic), for comparing file names as Windows does.
std::string fold_case(std::string_view name);

} // namespace melo

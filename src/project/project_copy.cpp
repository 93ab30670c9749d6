#include "project/project_copy.h"

#include "common/atomic_file.h"
#include "project/file_choice.h"
#include "project/project_folder.h"
#include "project/project_path.h"

#include <filesystem>

namespace melo {
namespace {

namespace fs = std::filesystem;

} // namespace

CopyIn copy_in_state(const std::string& projfiledir, const std::string& path) {
    std::error_code ec;
    if (projfiledir.empty() || !fs::is_regular_file(native_path(path), ec) ||
        !fs::is_directory(native_path(projfiledir), ec)) {
        return CopyIn::NotNeeded;
    }
    const fs::path parent = fs::absolute(native_path(path), ec).parent_path();
    if (fs::equivalent(parent, native_path(projfiledir), ec)) {
        return CopyIn::NotNeeded;
    }
    const ProjectFile there = resolve_project_file(projfiledir, bare_name_of(path));
    if (there.outside) {
        return CopyIn::Different;
    }
    if (!fs::exists(fs::symlink_status(native_path(there.path), ec))) {
        return CopyIn::Missing;
    }
    if (fs::equivalent(native_path(there.path), native_path(path), ec)) {
        return CopyIn::Same;
    }
    if (fs::file_size(native_path(path), ec) != fs::file_size(native_path(there.path), ec)) {
        return CopyIn::Different;
    }
    std::string ours;
    std::string theirs;
    const bool same = read_file(path, ours, kReadLimit) &&
                      read_file(there.path, theirs, kReadLimit) && ours == theirs;
    return same ? CopyIn::Same : CopyIn::Different;
}

bool copy_into_project(const std::string& projfiledir, const std::string& path,
                       std::string* error) {
    // A link in the project folder would lead the copy elsewhere, also one that stays inside.
    const std::string name = bare_name_of(path);
    const ProjectFile there = resolve_project_file(projfiledir, name);
    std::error_code ec;
    if (there.outside || fs::is_symlink(native_path(there.path), ec)) {
        if (error != nullptr) {
            *error = "im Projektordner ist „" + name + "“ ein symbolischer Verweis";
        }
        return false;
    }
    std::string contents;
    if (!read_file(path, contents, kReadLimit, error)) {
        return false;
    }
    const FolderWrite w =
        write_into_folder(projfiledir, {{name, std::move(contents)}}, Replace::allowed);
    if (w.outcome != FolderOutcome::written && error != nullptr) {
        *error = w.error;
    }
    return w.outcome == FolderOutcome::written;
}

} // namespace melo

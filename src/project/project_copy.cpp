#include "project/project_copy.h"

#include "common/atomic_file.h"
#include "project/file_choice.h"
#include "project/project_path.h"

#include <filesystem>

namespace melo {
namespace {

namespace fs = std::filesystem;

// Files up to this size are compared and copied: more than any part or base file can be.
constexpr std::size_t kCopyLimit = 64 * 1024 * 1024;

} // namespace

CopyIn copy_in_state(const std::string& projfiledir, const std::string& path) {
    std::error_code ec;
    if (projfiledir.empty() || !fs::is_regular_file(path, ec) ||
        !fs::is_directory(projfiledir, ec)) {
        return CopyIn::NotNeeded;
    }
    const fs::path parent = fs::absolute(path, ec).parent_path();
    if (fs::equivalent(parent, projfiledir, ec)) {
        return CopyIn::NotNeeded;
    }
    const ProjectFile there = resolve_project_file(projfiledir, bare_name_of(path));
    if (there.outside) {
        return CopyIn::Different;
    }
    if (!fs::exists(fs::symlink_status(there.path, ec))) {
        return CopyIn::Missing;
    }
    if (fs::equivalent(there.path, path, ec)) {
        return CopyIn::Same;
    }
    std::string ours;
    std::string theirs;
    const bool same = read_file(path, ours, kCopyLimit) &&
                      read_file(there.path, theirs, kCopyLimit) && ours == theirs;
    return same ? CopyIn::Same : CopyIn::Different;
}

bool copy_into_project(const std::string& projfiledir, const std::string& path,
                       std::string* error) {
    const std::string target = projfiledir + path_separator() + bare_name_of(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        if (error != nullptr) {
            *error = "im Projektordner ist „" + bare_name_of(path) + "“ ein symbolischer Verweis";
        }
        return false;
    }
    std::string contents;
    return read_file(path, contents, kCopyLimit, error) && replace_file(target, contents, error);
}

} // namespace melo

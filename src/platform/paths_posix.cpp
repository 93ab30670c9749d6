// POSIX names are the program's own UTF-8 bytes.

#include "platform/paths.h"

namespace melo {

std::filesystem::path native_path(std::string_view utf8) {
    return std::filesystem::path(utf8);
}

std::string utf8_path(const std::filesystem::path& path) {
    return path.string();
}

std::string path_separator() {
    return "/";
}

bool is_path_separator(char c) {
    return c == '/';
}

std::string stored_name(const std::filesystem::path& path) {
    return path.filename().string();
}

bool lies_within(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    const std::size_t root = folder == "/" ? 1 : folder.size() + 1; // the folder and its separator
    return path.size() > root && path.substr(0, folder.size()) == folder && path[root - 1] == '/';
}

} // namespace melo

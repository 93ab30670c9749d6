// Windows names: UTF-8 in the program, wide characters at the API.

#include "platform/paths.h"
#include "platform/windows_support.h"

namespace melo {

std::filesystem::path native_path(std::string_view utf8) {
    return std::filesystem::path(wide_text(utf8));
}

std::string utf8_path(const std::filesystem::path& path) {
    return utf8_text(path.native());
}

std::string path_separator() {
    return "\\";
}

bool is_path_separator(char c) {
    return c == '\\' || c == '/';
}

std::string stored_name(const std::filesystem::path& path) {
    const std::wstring name = path.filename().native();
    WIN32_FIND_DATAW found;
    // A wildcard would find another entry; Windows names hold none anyway.
    HANDLE search = name.find_first_of(L"*?") == std::wstring::npos
                        ? FindFirstFileW(path.c_str(), &found)
                        : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        return utf8_text(name);
    }
    FindClose(search);
    return utf8_text(found.cFileName);
}

bool lies_within(std::string_view path, std::string_view folder) {
    while (folder.size() > 1 && is_path_separator(folder.back())) {
        folder.remove_suffix(1);
    }
    if (path.size() <= folder.size() + 1 || !is_path_separator(path[folder.size()])) {
        return false;
    }
    const std::wstring head = wide_text(path.substr(0, folder.size()));
    const std::wstring root = wide_text(folder);
    return CompareStringOrdinal(head.c_str(), static_cast<int>(head.size()), root.c_str(),
                                static_cast<int>(root.size()), TRUE) == CSTR_EQUAL;
}

} // namespace melo

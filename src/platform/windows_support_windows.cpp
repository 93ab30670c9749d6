#include "platform/temporary_name.h"
#include "platform/windows_support.h"

#include <filesystem>

namespace melo {
namespace {

// Removes the temporary files of `path` that writers killed in the instant before their mark
// or between taking it back and the rename left behind. A writer holds its file open from
// its creation to its rename, so only a file nobody holds open can be opened without sharing:
// those are the leftovers, and they vanish as that handle closes.
void sweep_leftovers(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L".tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    const std::string name = utf8_text(std::filesystem::path(path).filename().native());
    do {
        if (is_temporary_name(utf8_text(found.cFileName), name)) {
            const Handle leftover(CreateFileW((dir / found.cFileName).c_str(), DELETE, 0, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

std::wstring wide_text(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string utf8_text(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

bool set_delete_on_close(HANDLE h, bool on) {
    FILE_DISPOSITION_INFO dispose{static_cast<BOOLEAN>(on ? TRUE : FALSE)};
    return SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

HANDLE create_temporary(const std::wstring& path, std::wstring& temp, bool& marked) {
    sweep_leftovers(path);
    const std::string base = utf8_text(path);
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 8 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = wide_text(temporary_name(base, temporary_number()));
        h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    marked = h != INVALID_HANDLE_VALUE && set_delete_on_close(h, true);
    return h;
}

} // namespace melo

// Atomic replacement with the wide-character Windows API: a named temporary file, marked to
// vanish with its handle until it is renamed over the file (MoveFileExW).

#include "platform/file_replace.h"
#include "platform/paths.h"
#include "platform/windows_support.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace melo {
namespace {

bool fail(ReplaceFailure& failure, ReplaceStep step, DWORD code) {
    failure = {step, windows_error(code), EntryKind::regular};
    return false;
}

bool write_all(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data.data(), chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

// Windows says "access denied" for a file that another program holds open; the reason the
// user can do something about is that program.
DWORD replace_error(DWORD code, const std::filesystem::path& path, bool existed) {
    if (code == ERROR_ACCESS_DENIED && existed) {
        const Handle probe(CreateFileW(path.c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION) {
            return ERROR_SHARING_VIOLATION;
        }
    }
    return code;
}

// Writes the bytes to a temporary file and renames it over `path`.
bool write_through_temporary(const std::filesystem::path& path, std::string_view contents,
                             bool existed, ReplaceFailure& failure) {
    std::wstring temp;
    bool marked = false;
    Handle h(create_temporary(path.native(), temp, marked));
    if (!h.valid()) {
        const DWORD e = GetLastError();
        return fail(
            failure,
            e == ERROR_ACCESS_DENIED ? ReplaceStep::directory_readonly : ReplaceStep::create, e);
    }
    if (!write_all(h.get(), contents) || !FlushFileBuffers(h.get())) {
        const DWORD e = GetLastError();
        h.close(); // the marked file vanishes with its handle
        DeleteFileW(temp.c_str());
        return fail(failure, ReplaceStep::write, e);
    }
    // One rename puts the new file in place: readers see the old file or the new one. (Not
    // ReplaceFileW: where it fails halfway it may leave a file of its own behind.) The mark is
    // taken back only now and the handle, which lets the file be renamed, stays open until
    // the rename is done, so the moment in which a kill leaves the file behind is a short one.
    if ((marked && !set_delete_on_close(h.get(), false)) ||
        !MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD e = GetLastError();
        if (marked) {
            set_delete_on_close(h.get(), true);
        }
        h.close();
        DeleteFileW(temp.c_str());
        return fail(failure, ReplaceStep::replace, replace_error(e, path, existed));
    }
    return h.close() || fail(failure, ReplaceStep::write, GetLastError());
}

// The full name of an open file or folder, every link resolved, without the "\\?\" that
// GetFinalPathNameByHandleW puts before it.
std::optional<std::string> final_name(HANDLE h) {
    std::vector<wchar_t> name(MAX_PATH + 1);
    DWORD n = GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                        FILE_NAME_NORMALIZED);
    if (n >= name.size()) {
        name.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                      FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= name.size()) {
        return std::nullopt;
    }
    std::wstring full(name.data(), n);
    if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        full.replace(0, 8, L"\\\\");
    } else if (full.rfind(L"\\\\?\\", 0) == 0) {
        full.erase(0, 4);
    }
    return utf8_text(full);
}

// The full name of what `path` leads to, opened without any access right.
std::optional<std::string> resolved_name(const std::string& path) {
    const Handle h(CreateFileW(native_path(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.valid() ? final_name(h.get()) : std::nullopt;
}

} // namespace

bool write_and_replace(const std::string& target, std::string_view contents,
                       ReplaceFailure& failure) {
    const std::filesystem::path path = native_path(target);
    const std::filesystem::path dir =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(L".");
    const DWORD dir_attributes = GetFileAttributesW(dir.c_str());
    if (dir_attributes == INVALID_FILE_ATTRIBUTES ||
        (dir_attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return fail(failure, ReplaceStep::no_directory, ERROR_PATH_NOT_FOUND);
    }
    // A write-protected file stays as it is, as it would with a plain overwrite.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        failure = {
            ReplaceStep::not_a_file, {}, directory ? EntryKind::directory : EntryKind::device};
        return false;
    }
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return fail(failure, ReplaceStep::file_readonly, ERROR_ACCESS_DENIED);
    }
    return write_through_temporary(path, contents, existed, failure);
}

std::optional<std::string> link_destination(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(native_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return std::nullopt;
    }
    return resolved_name(path);
}

std::optional<std::string> real_directory(const std::string& directory) {
    return resolved_name(directory);
}

} // namespace melo

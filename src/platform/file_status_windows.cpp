#include "platform/file_status.h"
#include "platform/paths.h"
#include "platform/windows_support.h"

namespace melo {

std::optional<FileStatus> file_status(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring name = native_path(path).native();
    if (path.empty() || !GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    DWORD attributes = data.dwFileAttributes;
    std::int64_t size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A symbolic link tells of itself: the file it leads to is asked through a handle.
        const Handle h(CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) {
            return std::nullopt;
        }
        attributes = info.dwFileAttributes;
        size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FileStatus{EntryKind::directory, 0};
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return FileStatus{EntryKind::device, 0};
    }
    return FileStatus{EntryKind::regular, size};
}

} // namespace melo

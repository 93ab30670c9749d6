#include "platform/input_file.h"
#include "platform/paths.h"
#include "platform/windows_support.h"

#include <algorithm>

namespace melo {
namespace {

HANDLE handle_of(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

// The kind of an opened file, and its size when it is a regular one.
EntryKind kind_of(HANDLE h, std::int64_t& size) {
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(h, &info)) {
            return EntryKind::other;
        }
        size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::directory
                                                                       : EntryKind::regular;
    }
    case FILE_TYPE_CHAR:
        return EntryKind::device; // "CON", "NUL", a serial port
    case FILE_TYPE_PIPE:
        return EntryKind::fifo;
    default:
        return EntryKind::other;
    }
}

} // namespace

bool InputFile::open(const std::string& path, Failure* failure) {
    close();
    // Others may read, write or delete the file meanwhile, as they may on POSIX systems. A
    // directory opens too (FILE_FLAG_BACKUP_SEMANTICS), so that it is named for what it is.
    const HANDLE h = CreateFileW(
        native_path(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Failure why;
    std::int64_t size = 0;
    if (h == INVALID_HANDLE_VALUE) {
        why.error = last_system_error();
    } else if ((why.kind = kind_of(h, size)) == EntryKind::regular) {
        m_handle = reinterpret_cast<std::intptr_t>(h);
        m_size = size;
        m_error = {};
        return true;
    } else {
        CloseHandle(h);
    }
    if (failure != nullptr) {
        *failure = why;
    }
    return false;
}

bool InputFile::is_open() const {
    return m_handle != -1;
}

std::int64_t InputFile::read(void* buffer, std::int64_t n) {
    auto* to = static_cast<char*>(buffer);
    std::int64_t total = 0;
    while (is_open() && total < n) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(n - total, 1 << 30));
        if (!ReadFile(handle_of(m_handle), to + total, want, &got, nullptr)) {
            m_error = last_system_error();
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    return is_open() ? total : -1;
}

std::int64_t InputFile::seek(std::int64_t offset, From from) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER at{};
    const DWORD method = from == From::start     ? FILE_BEGIN
                         : from == From::current ? FILE_CURRENT
                                                 : FILE_END;
    if (!is_open() || !SetFilePointerEx(handle_of(m_handle), distance, &at, method)) {
        m_error = is_open() ? last_system_error() : windows_error(ERROR_INVALID_HANDLE);
        return -1;
    }
    return at.QuadPart;
}

void InputFile::close() {
    if (is_open()) {
        CloseHandle(handle_of(m_handle));
    }
    m_handle = -1;
    m_size = 0;
}

} // namespace melo

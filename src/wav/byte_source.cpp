#include "wav/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "common/atomic_file.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace melo {

#ifdef _WIN32

std::optional<std::int64_t> FileSource::length() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (m_path.empty() ||
        !GetFileAttributesExW(native_path(m_path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FileSource::open() {
    close();
    const HANDLE h = CreateFileW(native_path(m_path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_handle = h;
    return true;
}

// One read of the operating system: the bytes read, 0 at the end, -1 on an error.
std::int64_t FileSource::read_some(std::uint8_t* buffer, std::int64_t n) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(n, 1 << 30));
    if (m_handle == nullptr || !ReadFile(m_handle, buffer, want, &got, nullptr)) {
        return -1;
    }
    return got;
}

bool FileSource::skip(std::int64_t n) {
    LARGE_INTEGER distance{};
    distance.QuadPart = n;
    return m_handle != nullptr && SetFilePointerEx(m_handle, distance, nullptr, FILE_CURRENT);
}

void FileSource::close() {
    if (m_handle != nullptr) {
        CloseHandle(m_handle);
        m_handle = nullptr;
    }
}

#else

std::optional<std::int64_t> FileSource::length() {
    struct stat st {};
    if (m_path.empty() || ::stat(m_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(st.st_size);
}

bool FileSource::open() {
    close();
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0) {
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return m_fd >= 0;
}

std::int64_t FileSource::read_some(std::uint8_t* buffer, std::int64_t n) {
    if (m_fd < 0) {
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, static_cast<std::size_t>(n));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

bool FileSource::skip(std::int64_t n) {
    return m_fd >= 0 && ::lseek(m_fd, static_cast<off_t>(n), SEEK_CUR) >= 0;
}

void FileSource::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

#endif // _WIN32

std::int64_t FileSource::read(std::uint8_t* buffer, std::int64_t n) {
    std::int64_t total = 0;
    while (total < n) {
        const std::int64_t got = read_some(buffer + total, n - total);
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

std::int64_t MemorySource::read(std::uint8_t* buffer, std::int64_t n) {
    const std::size_t count = std::min(static_cast<std::size_t>(n), m_bytes.size() - m_pos);
    std::memcpy(buffer, m_bytes.data() + m_pos, count);
    m_pos += count;
    return static_cast<std::int64_t>(count);
}

bool MemorySource::skip(std::int64_t n) {
    m_pos = std::min(m_bytes.size(), m_pos + static_cast<std::size_t>(n));
    return true;
}

} // namespace melo

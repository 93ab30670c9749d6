#include "wav/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace melo {

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

std::int64_t FileSource::read(std::uint8_t* buffer, std::int64_t n) {
    if (m_fd < 0) {
        return -1;
    }
    std::int64_t total = 0;
    while (total < n) {
        const ssize_t got = ::read(m_fd, buffer + total, static_cast<std::size_t>(n - total));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    return total;
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

#include "platform/input_file.h"
#include "platform/posix_support.h"

#include <cerrno>

namespace melo {

bool InputFile::open(const std::string& path, Failure* failure) {
    close();
    Failure why;
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0) {
        why.error = last_system_error();
    } else if (::fstat(fd, &st) != 0) {
        why.error = last_system_error();
    } else if (!S_ISREG(st.st_mode)) {
        why.kind = file_kind(st.st_mode);
    } else {
        // Reads of a regular file wait for the disk as they should.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        m_handle = fd;
        m_size = static_cast<std::int64_t>(st.st_size);
        m_error = {};
        return true;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (failure != nullptr) {
        *failure = why;
    }
    return false;
}

bool InputFile::is_open() const {
    return m_handle >= 0;
}

std::int64_t InputFile::read(void* buffer, std::int64_t n) {
    auto* to = static_cast<char*>(buffer);
    std::int64_t total = 0;
    while (m_handle >= 0 && total < n) {
        const ssize_t got =
            ::read(static_cast<int>(m_handle), to + total, static_cast<std::size_t>(n - total));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            m_error = last_system_error();
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    return m_handle >= 0 ? total : -1;
}

std::int64_t InputFile::seek(std::int64_t offset, From from) {
    const int whence = from == From::start ? SEEK_SET : from == From::current ? SEEK_CUR : SEEK_END;
    const off_t at = m_handle >= 0
                         ? ::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), whence)
                         : -1;
    if (at < 0) {
        m_error = m_handle >= 0 ? last_system_error() : errno_error(EBADF);
    }
    return at;
}

void InputFile::close() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
    }
    m_handle = -1;
    m_size = 0;
}

} // namespace melo

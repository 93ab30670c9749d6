#pragma once

// POSIX only: a FIFO in place of a file, which a program must neither wait on nor read.

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A FIFO at `path` holding `bytes` from a writer that stays: a program that opened it would
// not wait but take the bytes. unread() is what is still in it.
class FilledFifo {
public:
    FilledFifo(const std::string& path, const std::string& bytes) {
        const bool made = ::mkfifo(path.c_str(), 0600) == 0;
        m_read = made ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        m_write = m_read >= 0 ? ::open(path.c_str(), O_WRONLY | O_NONBLOCK) : -1;
        m_ok = m_write >= 0 &&
               ::write(m_write, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    ~FilledFifo() {
        for (const int fd : {m_read, m_write}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    FilledFifo(const FilledFifo&) = delete;
    FilledFifo& operator=(const FilledFifo&) = delete;

    bool ok() const { return m_ok; }
    std::string unread() {
        std::string left;
        char block[4096];
        for (ssize_t n; (n = ::read(m_read, block, sizeof block)) > 0;) {
            left.append(block, static_cast<std::size_t>(n));
        }
        return left;
    }

private:
    int m_read = -1;
    int m_write = -1;
    bool m_ok = false;
};

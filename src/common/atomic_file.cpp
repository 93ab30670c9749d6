#include "common/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace melo {
namespace {

void set_error(std::string* error, const std::string& what) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errno);
    }
}

bool write_all(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string path_separator() {
    return "/";
}

bool replace_file(const std::string& target, std::string_view contents, std::string* error) {
    if (target.empty() || target.back() == '/') {
        errno = EISDIR;
        set_error(error, "no file name");
        return false;
    }
    // Replace the file a symbolic link points to, not the link.
    std::string path = target;
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (resolved != nullptr) {
            path = resolved;
            std::free(resolved);
        }
    }
    // A read-only directory refuses the file even to a privileged user.
    struct stat dst {};
    const std::string dir_path = directory_of(path);
    if (::stat(dir_path.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        errno = ENOENT;
        set_error(error, "directory does not exist");
        return false;
    }
    if ((dst.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        errno = EACCES;
        set_error(error, "directory is write-protected");
        return false;
    }
    // A write-protected file stays as it is, as it would with a plain overwrite.
    struct stat st {};
    mode_t mode = 0666;
    bool existed = false;
    if (::stat(path.c_str(), &st) == 0) {
        existed = true;
        if (!S_ISREG(st.st_mode)) {
            errno = EISDIR;
            set_error(error, "not a regular file");
            return false;
        }
        if (::access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            errno = EACCES;
            set_error(error, "file is write-protected");
            return false;
        }
        mode = st.st_mode & 07777;
    }

    std::string temp = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        set_error(error, "cannot create file");
        return false;
    }
    bool ok = write_all(fd, contents) && ::fsync(fd) == 0;
    if (ok && existed) {
        ok = ::fchmod(fd, mode) == 0;
    } else if (ok) {
        // A new file gets the usual permissions, not mkstemp's private 0600.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd, 0666 & ~mask) == 0;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    if (!ok) {
        set_error(error, "cannot write file");
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        set_error(error, "cannot replace file");
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(dir_path.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool read_file(const std::string& path, std::string& contents) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    contents.clear();
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        contents.append(buffer, n);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

} // namespace melo

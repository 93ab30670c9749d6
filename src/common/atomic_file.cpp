// Atomic file replacement on POSIX systems. The unnamed temporary file (O_TMPFILE) lives
// here and nowhere else.

#include "common/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace melo {
namespace {

void set_error(std::string* error, const std::string& what, int error_number) {
    if (error != nullptr) {
        *error = what + ": " + file_error_text(error_number);
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
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string directory_part(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Why an entry of this type is not replaced or read as a file.
std::string not_a_file_text(mode_t mode) {
    const char* kind = S_ISDIR(mode)    ? "ist ein Verzeichnis"
                       : S_ISFIFO(mode) ? "ist eine Pipe (FIFO)"
                       : S_ISSOCK(mode) ? "ist ein Socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "ist ein Gerät"
                                                        : "unbekannte Art";
    return std::string("keine gewöhnliche Datei: ") + kind;
}

// True when the resolved path `real` lies in `folder` or below it, once the folder's own
// links are resolved.
bool lies_inside(const std::string& real, const std::string& folder) {
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    std::string root = resolved;
    std::free(resolved);
    if (root.back() != '/') {
        root += '/';
    }
    return real.size() > root.size() && real.compare(0, root.size(), root) == 0;
}

// A name beside `path` that does not exist yet, for the moment between link and rename.
std::string temporary_name(const std::string& path) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[20];
    std::snprintf(suffix, sizeof suffix, ".tmp%012llx", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    return path + suffix;
}

// The process's file creation mask. Read from /proc where it can be: setting and restoring it
// would change it for every thread meanwhile (a conversion writes on a worker thread).
mode_t read_umask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[128];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) {
            return static_cast<mode_t>(mask);
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

mode_t process_umask() {
    static const mode_t mask = read_umask(); // the programs never change it
    return mask;
}

// The file's permissions: those of the file it replaces, or the usual ones for a new file.
mode_t target_mode(bool existed, const struct stat& st) {
    if (existed) {
        return st.st_mode & 07777;
    }
    return 0666 & ~process_umask();
}

// Writes, syncs and links an unnamed file into place. Returns 1 on success, 0 on a failure
// (errno set, nothing left behind), -1 when the file system has no unnamed files.
int replace_through_unnamed_file(const std::string& path, const std::string& dir, std::string_view contents,
                                 mode_t mode, bool existed, std::string* error) {
#ifdef O_TMPFILE
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT) {
            return -1;
        }
        set_error(error, "Datei kann nicht angelegt werden", errno);
        return 0;
    }
    if (!write_all(fd, contents) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        set_error(error, "Datei kann nicht geschrieben werden", e);
        return 0; // the unnamed file vanishes with its descriptor
    }
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    // A new file is linked under its own name at once; an existing one is replaced by a
    // rename from a name that exists only for that instant.
    std::string linked = existed ? temporary_name(path) : path;
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW);
    for (int attempt = 0; rc != 0 && errno == EEXIST && attempt < 8; ++attempt) {
        linked = temporary_name(path); // a file of the new name appeared meanwhile
        rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW);
    }
    const int link_error = errno;
    ::close(fd);
    if (rc != 0) {
        if (link_error == ENOENT) {
            return -1; // no /proc: take the named temporary file
        }
        set_error(error, "Datei kann nicht angelegt werden", link_error);
        return 0;
    }
    if (linked != path && ::rename(linked.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(linked.c_str());
        set_error(error, "Datei kann nicht ersetzt werden", e);
        return 0;
    }
    return 1;
#else
    (void)path, (void)dir, (void)contents, (void)mode, (void)existed, (void)error;
    return -1;
#endif
}

// The fallback where the file system has no unnamed files: a named temporary file.
bool replace_through_named_file(const std::string& path, std::string_view contents, mode_t mode,
                                std::string* error) {
    std::string temp = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        set_error(error, "Datei kann nicht angelegt werden", errno);
        return false;
    }
    bool ok = write_all(fd, contents) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        set_error(error, "Datei kann nicht geschrieben werden", e);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        e = errno;
        ::unlink(temp.c_str());
        set_error(error, "Datei kann nicht ersetzt werden", e);
        return false;
    }
    return true;
}

} // namespace

std::string path_separator() {
    return "/";
}

std::string file_error_text(int error_number) {
    switch (error_number) {
    case EACCES:
    case EPERM:
        return "keine Berechtigung";
    case ENOSPC:
    case EDQUOT:
        return "kein Speicherplatz mehr auf dem Datenträger";
    case EROFS:
        return "Dateisystem ist schreibgeschützt";
    case ENOENT:
    case ENOTDIR:
        return "Verzeichnis oder Datei existiert nicht";
    case EFBIG:
        return "Datei zu groß";
    case EISDIR:
        return "ist ein Verzeichnis";
    case EIO:
        return "Ein-/Ausgabefehler";
    default:
        return "Fehler Nr. " + std::to_string(error_number);
    }
}

bool directory_writable(const std::string& directory) {
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(directory.c_str(), W_OK | X_OK) == 0;
}

bool replace_file(const std::string& target, std::string_view contents, std::string* error, LinkRule links) {
    if (target.empty() || target.back() == '/') {
        if (error != nullptr) {
            *error = "kein Dateiname";
        }
        return false;
    }
    // Replace the file a symbolic link points to, not the link; a link out of its folder
    // is not followed.
    std::string path = target;
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (resolved != nullptr) {
            path = resolved;
            std::free(resolved);
            if (links == LinkRule::inside_folder && !lies_inside(path, directory_part(target))) {
                if (error != nullptr) {
                    *error = "ist ein symbolischer Link auf " + path +
                             " außerhalb des Ordners und wird nicht überschrieben";
                }
                return false;
            }
        }
    }
    const std::string dir = directory_part(path);
    struct stat dst {};
    if (::stat(dir.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        set_error(error, "Verzeichnis existiert nicht", ENOENT);
        return false;
    }
    if (!directory_writable(dir)) {
        set_error(error, "Verzeichnis ist schreibgeschützt", EACCES);
        return false;
    }
    // A write-protected file stays as it is, as it would with a plain overwrite.
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed) {
        if (!S_ISREG(st.st_mode)) {
            if (error != nullptr) {
                *error = not_a_file_text(st.st_mode);
            }
            return false;
        }
        if (::access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            set_error(error, "Datei ist schreibgeschützt", EACCES);
            return false;
        }
    }
    const mode_t mode = target_mode(existed, st);
    const int done = replace_through_unnamed_file(path, dir, contents, mode, existed, error);
    if (done == 0 || (done < 0 && !replace_through_named_file(path, contents, mode, error))) {
        return false;
    }
    // Make the new directory entry itself durable.
    const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

bool read_file(const std::string& path, std::string& contents, std::size_t limit, std::string* error) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        set_error(error, "Datei kann nicht geöffnet werden", errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        if (error != nullptr) {
            *error = not_a_file_text(st.st_mode);
        }
        ok = false;
    } else if (ok && static_cast<std::uint64_t>(st.st_size) > limit) {
        if (error != nullptr) {
            *error = "Datei zu groß (" + std::to_string(st.st_size) + " Bytes, höchstens " + std::to_string(limit) + ")";
        }
        ok = false;
    } else if (ok) {
        // Read what the file holds now, never more than the limit.
        contents.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (ok) {
            if (got == contents.size()) {
                if (contents.size() >= limit) {
                    // A file that grew past the limit while it was read is too large too.
                    char extra = 0;
                    if (::read(fd, &extra, 1) > 0) {
                        if (error != nullptr) {
                            *error = "Datei zu groß (mehr als " + std::to_string(limit) + " Bytes)";
                        }
                        ok = false;
                    }
                    break;
                }
                contents.resize(std::min(limit, contents.size() + 65536));
            }
            const ssize_t n = ::read(fd, contents.data() + got, contents.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                set_error(error, "Datei kann nicht gelesen werden", errno);
                ok = false;
            } else if (n == 0) {
                break;
            } else {
                got += static_cast<std::size_t>(n);
            }
        }
        contents.resize(ok ? got : 0);
    }
    ::close(fd);
    return ok;
}

} // namespace melo

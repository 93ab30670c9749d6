// Atomic replacement with POSIX calls: an unnamed temporary file (O_TMPFILE) where the file
// system has them, a named one where not.

#include "platform/directory_probe.h"
#include "platform/file_replace.h"
#include "platform/posix_support.h"
#include "platform/temporary_name.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/file.h>

namespace melo {
namespace {

bool fail(ReplaceFailure& failure, ReplaceStep step, SystemError error) {
    failure = {step, error, EntryKind::regular};
    return false;
}

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
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

std::string file_part(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

// Removes the temporary files of `name` in `dir` that killed writers left. A writer holds a
// lock on its temporary file for as long as the file has a name, so one whose lock can be
// taken has no writer any more.
void sweep_leftovers(const std::string& dir, const std::string& name) {
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        if (!is_temporary_name(entry->d_name, name)) {
            continue;
        }
        const std::string leftover = dir + "/" + entry->d_name;
        const int fd = ::open(leftover.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat held {};
        struct stat named {};
        // The name must still be the file locked: a writer that has just renamed it is done.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
            ::lstat(leftover.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            ::unlink(leftover.c_str());
        }
        ::close(fd);
    }
    ::closedir(folder);
}

// Writes, syncs and links an unnamed file into place. Returns 1 on success, 0 on a failure
// (nothing left behind), -1 when the file system has no unnamed files.
int replace_through_unnamed_file(const std::string& path, const std::string& dir,
                                 std::string_view contents, mode_t mode, bool existed,
                                 ReplaceFailure& failure) {
#ifdef O_TMPFILE
    const auto failed = [&failure](ReplaceStep step, SystemError error) {
        failure = {step, error, EntryKind::regular};
        return 0;
    };
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT) {
            return -1;
        }
        return failed(ReplaceStep::create, last_system_error());
    }
    if (!write_all(fd, contents) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0 ||
        ::flock(fd, LOCK_EX) != 0) {
        const SystemError e = last_system_error();
        ::close(fd); // the unnamed file vanishes with its descriptor
        return failed(ReplaceStep::write, e);
    }
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    // A new file is linked under its own name at once; an existing one is replaced by a
    // rename from a name that exists only for that instant.
    std::string linked = existed ? temporary_name(path, temporary_number()) : path;
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW);
    for (int attempt = 0; rc != 0 && errno == EEXIST && attempt < 8; ++attempt) {
        // A file of the new name appeared meanwhile, or the temporary name is taken.
        linked = temporary_name(path, temporary_number());
        rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW);
    }
    if (rc != 0) {
        const int link_error = errno;
        ::close(fd);
        // Without /proc the descriptor cannot be linked: the named temporary file instead.
        return link_error == ENOENT ? -1 : failed(ReplaceStep::create, errno_error(link_error));
    }
    const bool renamed = linked == path || ::rename(linked.c_str(), path.c_str()) == 0;
    const SystemError e = last_system_error();
    if (!renamed) {
        ::unlink(linked.c_str());
    }
    ::close(fd); // the lock ends only once the temporary name is gone
    return renamed ? 1 : failed(ReplaceStep::replace, e);
#else
    (void)path, (void)dir, (void)contents, (void)mode, (void)existed, (void)failure;
    return -1;
#endif
}

// Creates a named temporary file beside `path`, locked, with the permissions `mode`. It is
// created without permissions and gets them only once locked: another writer's sweep, which
// must open it to try its lock, cannot open it in between (unless that writer is root).
int create_locked_temporary(const std::string& path, mode_t mode, std::string& temp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        temp = temporary_name(path, temporary_number());
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0);
        if (fd >= 0 && (::flock(fd, LOCK_EX) != 0 || ::fchmod(fd, mode) != 0)) {
            const int e = errno;
            ::unlink(temp.c_str());
            ::close(fd);
            errno = e;
            return -1;
        }
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// The fallback where the file system has no unnamed files: a named temporary file, renamed
// over `path` while its writer still holds it locked.
bool replace_through_named_file(const std::string& path, std::string_view contents, mode_t mode,
                                ReplaceFailure& failure) {
    std::string temp;
    const int fd = create_locked_temporary(path, mode, temp);
    if (fd < 0) {
        return fail(failure, ReplaceStep::create, last_system_error());
    }
    const bool written = write_all(fd, contents) && ::fsync(fd) == 0;
    const bool renamed = written && ::rename(temp.c_str(), path.c_str()) == 0;
    const SystemError e = last_system_error();
    if (!renamed) {
        ::unlink(temp.c_str());
    }
    ::close(fd); // after fsync, closing has nothing left to report
    return renamed || fail(failure, written ? ReplaceStep::replace : ReplaceStep::write, e);
}

} // namespace

bool write_and_replace(const std::string& path, std::string_view contents,
                       ReplaceFailure& failure) {
    const std::string dir = directory_part(path);
    struct stat dst {};
    if (::stat(dir.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        return fail(failure, ReplaceStep::no_directory, errno_error(ENOENT));
    }
    if (!directory_writable(dir)) {
        return fail(failure, ReplaceStep::directory_readonly, errno_error(EACCES));
    }
    // A write-protected file stays as it is, as it would with a plain overwrite.
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode)) {
        failure = {ReplaceStep::not_a_file, {}, file_kind(st.st_mode)};
        return false;
    }
    if (existed &&
        (::access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return fail(failure, ReplaceStep::file_readonly, errno_error(EACCES));
    }
    sweep_leftovers(dir, file_part(path));
    // The permissions of the file it replaces, or the usual ones for a new file.
    const mode_t mode = existed ? (st.st_mode & 07777) : (0666 & ~process_umask());
    const int done = replace_through_unnamed_file(path, dir, contents, mode, existed, failure);
    if (done == 0 || (done < 0 && !replace_through_named_file(path, contents, mode, failure))) {
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

std::optional<std::string> link_destination(const std::string& path) {
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) {
        return std::nullopt;
    }
    return real_directory(path); // realpath resolves a file's name as it does a folder's
}

std::optional<std::string> real_directory(const std::string& directory) {
    char* resolved = ::realpath(directory.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::string real = resolved;
    std::free(resolved);
    return real;
}

} // namespace melo

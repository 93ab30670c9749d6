// Atomic file replacement, whole-file reads and file names: the one place that calls the
// operating system's file API. POSIX systems (with the unnamed temporary file, O_TMPFILE)
// first, Windows (wide-character API, MoveFileExW) below.

#include "common/atomic_file.h"

#ifndef _WIN32

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

#endif // !_WIN32

#ifdef _WIN32

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <random>
#include <string>
#include <windows.h>

namespace melo {
namespace {

void set_system_error(std::string* error, const std::string& what, DWORD code) {
    if (error != nullptr) {
        *error = what + ": " + system_error_text(code);
    }
}

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }
    bool close() {
        const bool ok = !valid() || CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

bool write_all(HANDLE h, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += written;
        left -= written;
    }
    return true;
}

// Marks an open file to vanish when its last handle closes, or takes that mark back.
bool set_delete_on_close(HANDLE h, bool on) {
    FILE_DISPOSITION_INFO dispose{static_cast<BOOLEAN>(on ? TRUE : FALSE)};
    return SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

constexpr std::size_t kTemporarySuffixDigits = 12;

// Removes the temporary files of `path` that writers killed in the instant before their mark
// or between taking it back and the rename left behind. A writer holds its file open from
// its creation to its rename, so only a file nobody holds open can be opened without sharing:
// those are the leftovers, and they vanish as that handle closes.
void sweep_leftovers(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L".tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    const std::wstring prefix = std::filesystem::path(path).filename().native() + L".tmp";
    do {
        const std::wstring name = found.cFileName;
        if (name.size() != prefix.size() + kTemporarySuffixDigits ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.find_first_not_of(L"0123456789abcdef", prefix.size()) != std::wstring::npos) {
            continue;
        }
        const Handle leftover(CreateFileW((dir / name).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A new file beside `path` for the bytes, under a name nobody else uses. It is marked to
// vanish with its handle, so a writer that is killed while it writes leaves nothing behind;
// the mark is taken back just before the file takes the target's place.
HANDLE create_temporary(const std::wstring& path, std::wstring& temp, bool* marked = nullptr) {
    sweep_leftovers(path);
    thread_local std::mt19937_64 random{std::random_device{}()};
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 8 && h == INVALID_HANDLE_VALUE; ++attempt) {
        wchar_t suffix[20];
        std::swprintf(suffix, 20, L".tmp%0*llx", static_cast<int>(kTemporarySuffixDigits),
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        temp = path + suffix;
        h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    const bool mark = h != INVALID_HANDLE_VALUE && set_delete_on_close(h, true);
    if (marked != nullptr) {
        *marked = mark;
    }
    return h;
}

} // namespace

std::wstring wide_text(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string utf8_text(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::filesystem::path native_path(std::string_view utf8) {
    return std::filesystem::path(wide_text(utf8));
}

std::string utf8_path(const std::filesystem::path& path) {
    return utf8_text(path.native());
}

std::string path_separator() {
    return "\\";
}

bool is_path_separator(char c) {
    return c == '\\' || c == '/';
}

std::string system_error_text(unsigned long code) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return "keine Berechtigung";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "kein Speicherplatz mehr auf dem Datenträger";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return "die Datei wird von einem anderen Programm benutzt";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return "Verzeichnis oder Datei existiert nicht";
    case ERROR_WRITE_PROTECT:
        return "Datenträger ist schreibgeschützt";
    case ERROR_FILE_TOO_LARGE:
        return "Datei zu groß";
    case ERROR_DIRECTORY:
        return "ist ein Verzeichnis";
    case ERROR_NOT_READY:
        return "Laufwerk ist nicht bereit";
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return "Ein-/Ausgabefehler";
    default:
        return "Windows-Fehler Nr. " + std::to_string(code);
    }
}

std::string file_error_text(int error_number) {
    switch (error_number) {
    case EACCES:
    case EPERM:
        return system_error_text(ERROR_ACCESS_DENIED);
    case ENOSPC:
        return system_error_text(ERROR_DISK_FULL);
    case ENOENT:
    case ENOTDIR:
        return system_error_text(ERROR_PATH_NOT_FOUND);
    case EFBIG:
        return system_error_text(ERROR_FILE_TOO_LARGE);
    case EISDIR:
        return system_error_text(ERROR_DIRECTORY);
    case EIO:
        return system_error_text(ERROR_GEN_FAILURE);
    default:
        return "Fehler Nr. " + std::to_string(error_number);
    }
}

bool directory_writable(const std::string& directory) {
    const std::wstring dir = native_path(directory).native();
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // Windows decides by access control lists, which only an attempt reads right: a file that
    // vanishes when it is closed.
    std::wstring probe;
    const Handle h(create_temporary(dir + L"\\.melo-probe", probe));
    return h.valid();
}

bool replace_file(const std::string& target, std::string_view contents, std::string* error, LinkRule) {
    // (Symbolic links are followed wherever they lead: links are an administrator's tool on
    // Windows, and Wine has none to test a folder rule with.)
    if (target.empty() || is_path_separator(target.back())) {
        if (error != nullptr) {
            *error = "kein Dateiname";
        }
        return false;
    }
    std::filesystem::path path = native_path(target);
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        // Replace the file a symbolic link points to, not the link.
        std::filesystem::path resolved = std::filesystem::canonical(path, ec);
        if (!ec) {
            path = std::move(resolved);
        }
    }
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(L".");
    const DWORD dir_attributes = GetFileAttributesW(dir.c_str());
    if (dir_attributes == INVALID_FILE_ATTRIBUTES || (dir_attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        set_system_error(error, "Verzeichnis existiert nicht", ERROR_PATH_NOT_FOUND);
        return false;
    }
    // A write-protected file stays as it is, as it would with a plain overwrite.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        set_system_error(error, "keine gewöhnliche Datei", ERROR_DIRECTORY);
        return false;
    }
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        set_system_error(error, "Datei ist schreibgeschützt", ERROR_ACCESS_DENIED);
        return false;
    }

    std::wstring temp;
    bool marked = false;
    Handle h(create_temporary(path.native(), temp, &marked));
    if (!h.valid()) {
        const DWORD e = GetLastError();
        set_system_error(error, e == ERROR_ACCESS_DENIED ? "Verzeichnis ist schreibgeschützt" : "Datei kann nicht angelegt werden", e);
        return false;
    }
    if (!write_all(h.get(), contents) || !FlushFileBuffers(h.get())) {
        const DWORD e = GetLastError();
        h.close(); // the marked file vanishes with its handle
        DeleteFileW(temp.c_str());
        set_system_error(error, "Datei kann nicht geschrieben werden", e);
        return false;
    }
    // One rename puts the new file in place: readers see the old file or the new one. (Not
    // ReplaceFileW: where it fails halfway it may leave a file of its own behind.) The mark is
    // taken back only now and the handle, which lets the file be renamed, stays open until
    // the rename is done, so the moment in which a kill leaves the file behind is a short one.
    if ((marked && !set_delete_on_close(h.get(), false)) ||
        !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD e = GetLastError();
        if (marked) {
            set_delete_on_close(h.get(), true);
        }
        h.close();
        DeleteFileW(temp.c_str());
        if (e == ERROR_ACCESS_DENIED && existed) {
            // Windows says "access denied" for a file that another program holds open; say
            // what the user can do something about.
            const Handle probe(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION) {
                e = ERROR_SHARING_VIOLATION;
            }
        }
        set_system_error(error, "Datei kann nicht ersetzt werden", e);
        return false;
    }
    if (!h.close()) {
        set_system_error(error, "Datei kann nicht geschrieben werden", GetLastError());
        return false;
    }
    return true;
}

bool read_file(const std::string& path, std::string& contents, std::size_t limit, std::string* error) {
    contents.clear();
    const std::wstring wide = native_path(path).native();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        set_system_error(error, "keine gewöhnliche Datei", ERROR_DIRECTORY);
        return false;
    }
    // Others may read, write or delete the file meanwhile, as they may on POSIX systems.
    Handle h(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.valid()) {
        set_system_error(error, "Datei kann nicht geöffnet werden", GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (GetFileType(h.get()) != FILE_TYPE_DISK || !GetFileSizeEx(h.get(), &size)) {
        set_system_error(error, "keine gewöhnliche Datei", ERROR_INVALID_FUNCTION);
        return false;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
        if (error != nullptr) {
            *error = "Datei zu groß (" + std::to_string(size.QuadPart) + " Bytes, höchstens " + std::to_string(limit) + ")";
        }
        return false;
    }
    // Read what the file holds now, never more than the limit.
    contents.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    for (;;) {
        if (got == contents.size()) {
            if (contents.size() >= limit) {
                // A file that grew past the limit while it was read is too large too.
                char extra = 0;
                DWORD n = 0;
                if (ReadFile(h.get(), &extra, 1, &n, nullptr) && n > 0) {
                    if (error != nullptr) {
                        *error = "Datei zu groß (mehr als " + std::to_string(limit) + " Bytes)";
                    }
                    contents.clear();
                    return false;
                }
                break;
            }
            contents.resize(std::min(limit, contents.size() + 65536));
        }
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(contents.size() - got, 1u << 30));
        if (!ReadFile(h.get(), contents.data() + got, want, &n, nullptr)) {
            set_system_error(error, "Datei kann nicht gelesen werden", GetLastError());
            contents.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    contents.resize(got);
    return true;
}

} // namespace melo

#else // POSIX: names are the program's own UTF-8 bytes.

namespace melo {

bool is_path_separator(char c) {
    return c == '/';
}

std::filesystem::path native_path(std::string_view utf8) {
    return std::filesystem::path(utf8);
}

std::string utf8_path(const std::filesystem::path& path) {
    return path.string();
}

} // namespace melo

#endif // _WIN32

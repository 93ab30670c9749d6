// The C runtime's standard error output (descriptor 2), which the libraries linked into the
// program write to, sent to a temporary file.

#include "platform/error_redirect.h"
#include "platform/temporary_name.h"
#include "platform/windows_support.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace melo {
namespace {

int g_capture_file = -1; // kept for the next capture; the file vanishes when the program ends

// A file in the user's temporary folder that vanishes with its last handle, as a descriptor.
int open_capture_file() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) {
        return -1;
    }
    const std::wstring name =
        wide_text(temporary_name(utf8_text(folder) + "melo-stderr", temporary_number()));
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
    }
    return fd;
}

} // namespace

ErrorRedirect::ErrorRedirect() {
    if (g_capture_file < 0) {
        g_capture_file = open_capture_file();
    }
    std::fflush(stderr);
    const int saved = g_capture_file >= 0 ? ::_dup(2) : -1;
    if (saved < 0 || ::_chsize_s(g_capture_file, 0) != 0 ||
        ::_lseeki64(g_capture_file, 0, SEEK_SET) != 0 || ::_dup2(g_capture_file, 2) != 0) {
        if (saved >= 0) {
            ::_close(saved);
        }
        return;
    }
    m_saved = saved;
}

std::string ErrorRedirect::finish() {
    if (m_saved < 0) {
        return {};
    }
    std::fflush(stderr);
    ::_dup2(m_saved, 2);
    ::_close(m_saved);
    m_saved = -1;
    const long long size = ::_lseeki64(g_capture_file, 0, SEEK_END);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    std::size_t got = 0;
    if (::_lseeki64(g_capture_file, 0, SEEK_SET) == 0) {
        while (got < text.size()) {
            const int n = ::_read(g_capture_file, text.data() + got,
                                  static_cast<unsigned>(text.size() - got));
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
    }
    text.resize(got);
    // The text-mode stream wrote "\r\n" for each line end; forward() writes them so again.
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lines += text[i];
        }
    }
    return lines;
}

void ErrorRedirect::forward(std::string_view text) {
    while (!text.empty()) {
        const int n = ::_write(2, text.data(), static_cast<unsigned>(text.size()));
        if (n <= 0) {
            return; // nowhere to go: the line is dropped, as a closed stderr drops it
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace melo

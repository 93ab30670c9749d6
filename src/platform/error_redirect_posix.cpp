#include "platform/error_redirect.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace melo {
namespace {

int g_capture_file = -1; // an unnamed temporary file, kept for the next capture

} // namespace

ErrorRedirect::ErrorRedirect() {
    if (g_capture_file < 0) {
        if (std::FILE* file = std::tmpfile()) {
            g_capture_file = ::dup(fileno(file));
            std::fclose(file);
        }
    }
    std::fflush(stderr);
    const int saved = g_capture_file >= 0 ? ::dup(2) : -1;
    if (saved < 0 || ::ftruncate(g_capture_file, 0) != 0 ||
        ::lseek(g_capture_file, 0, SEEK_SET) != 0 || ::dup2(g_capture_file, 2) < 0) {
        if (saved >= 0) {
            ::close(saved);
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
    ::dup2(m_saved, 2);
    ::close(m_saved);
    m_saved = -1;
    // Read back what was written (a few lines; a damaged file gives some per block read).
    std::string text(
        static_cast<std::size_t>(std::max<off_t>(0, ::lseek(g_capture_file, 0, SEEK_END))), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n =
            ::pread(g_capture_file, text.data() + got, text.size() - got, static_cast<off_t>(got));
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

void ErrorRedirect::forward(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(2, text.data(), text.size());
        if (n <= 0) {
            return; // nowhere to go: the line is dropped, as a closed stderr drops it
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace melo

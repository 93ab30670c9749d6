// The standard error output taken aside for a moment. The descriptor juggling lives here and
// nowhere else.

#include "common/error_output.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>

#ifdef _WIN32

namespace melo {

// The Windows build's libraries write nothing there that must be kept from a terminal.
std::vector<std::string> capture_error_output(const std::function<void()>& work,
                                              const std::function<bool(std::string_view line)>&) {
    work();
    return {};
}

} // namespace melo

#else

#include <unistd.h>

namespace melo {
namespace {

std::mutex g_capture_lock;
int g_capture_file = -1; // an unnamed temporary file, kept for the next capture

// Writes all of `text` to the real standard error output.
void forward(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(2, text.data(), text.size());
        if (n <= 0) {
            return; // nowhere to go: the line is dropped, as a closed stderr drops it
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

std::vector<std::string> capture_error_output(const std::function<void()>& work,
                                              const std::function<bool(std::string_view line)>& is_library_line) {
    const std::lock_guard<std::mutex> lock(g_capture_lock);
    if (g_capture_file < 0) {
        if (std::FILE* file = std::tmpfile()) {
            g_capture_file = ::dup(fileno(file));
            std::fclose(file);
        }
    }
    std::fflush(stderr);
    const int saved = g_capture_file >= 0 ? ::dup(2) : -1;
    if (saved < 0 || ::ftruncate(g_capture_file, 0) != 0 || ::lseek(g_capture_file, 0, SEEK_SET) != 0 ||
        ::dup2(g_capture_file, 2) < 0) {
        if (saved >= 0) {
            ::close(saved);
        }
        work(); // no file to take the lines: they reach the terminal as before
        return {};
    }
    {
        // The terminal comes back however `work` ends.
        struct Restore {
            int saved;
            ~Restore() {
                std::fflush(stderr);
                ::dup2(saved, 2);
                ::close(saved);
            }
        } restore{saved};
        work();
    }

    // Read back what was written (a few lines; a damaged file gives some per block read).
    std::string text(static_cast<std::size_t>(std::max<off_t>(0, ::lseek(g_capture_file, 0, SEEK_END))), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::pread(g_capture_file, text.data() + got, text.size() - got, static_cast<off_t>(got));
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    std::vector<std::string> claimed;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + start, end - start);
        const std::string_view bare = line.substr(0, line.find('\n'));
        if (is_library_line(bare)) {
            claimed.emplace_back(bare);
        } else {
            forward(line);
        }
        start = end;
    }
    return claimed;
}

} // namespace melo

#endif

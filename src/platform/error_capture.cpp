// The standard error output taken aside for a moment: which lines are the library's, and
// where the others go. The descriptor work is ErrorRedirect's, per platform.

#include "platform/error_capture.h"

#include "platform/error_redirect.h"

#include <mutex>

namespace melo {
namespace {

std::mutex g_capture_lock;

} // namespace

std::vector<std::string>
capture_error_output(const std::function<void()>& work,
                     const std::function<bool(std::string_view line)>& is_library_line) {
    const std::lock_guard<std::mutex> lock(g_capture_lock);
    std::string text;
    {
        ErrorRedirect redirect; // the terminal comes back however `work` ends
        if (!redirect.active()) {
            work(); // no file to take the lines: they reach the terminal as before
            return {};
        }
        work();
        text = redirect.finish();
    }
    std::vector<std::string> claimed;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + start, end - start);
        const std::string_view bare = line.substr(0, line.find('\n'));
        if (is_library_line(bare)) {
            claimed.emplace_back(bare);
        } else {
            ErrorRedirect::forward(line);
        }
        start = end;
    }
    return claimed;
}

} // namespace melo

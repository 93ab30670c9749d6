#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace melo {

// Runs `work` with the process's standard error output going to a file instead of the
// terminal, and returns the lines written meanwhile that `is_library_line` claims: a library
// that reports only there (the MP3 decoder tells of damaged frames that way) is heard by its
// caller and kept off the terminal. Other lines (another thread's) go on to the terminal
// afterwards. One capture runs at a time in the process; others wait for it. Where no file
// can take the lines, `work` runs all the same and nothing is claimed.
std::vector<std::string>
capture_error_output(const std::function<void()>& work,
                     const std::function<bool(std::string_view line)>& is_library_line);

} // namespace melo

#pragma once

#include <string>
#include <string_view>

namespace melo {

// The standard error output sent to a file for a while: what capture_error_output stands on.
// One redirection at a time (the caller serialises them).
class ErrorRedirect {
public:
    // Sends the standard error output to an emptied capture file; active() tells whether it
    // could.
    ErrorRedirect();
    ~ErrorRedirect() { finish(); }
    ErrorRedirect(const ErrorRedirect&) = delete;
    ErrorRedirect& operator=(const ErrorRedirect&) = delete;

    bool active() const { return m_saved >= 0; }
    // Gives the standard error output back and returns what was written to it meanwhile, with
    // "\n" line ends ("" when nothing was redirected, or on a second call).
    std::string finish();
    // Writes `text` to the standard error output.
    static void forward(std::string_view text);

private:
    int m_saved = -1; // the standard error output's own descriptor while redirected
};

} // namespace melo

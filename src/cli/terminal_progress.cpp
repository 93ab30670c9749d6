#include "cli/terminal_progress.h"

#include "platform/process.h"

#include <cstdio>
#include <string>

namespace melo::cli {

TerminalProgress::TerminalProgress() : m_terminal(error_output_is_terminal()) {}

void TerminalProgress::show(int permille) {
    if (!m_terminal || permille / 10 == m_percent) {
        return;
    }
    m_percent = permille / 10;
    const int filled = m_percent * 30 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d %%",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(30 - filled), ' ').c_str(), m_percent);
    m_shown = true;
}

void TerminalProgress::clear() {
    if (m_shown) {
        std::fprintf(stderr, "\r%40s\r", "");
        m_shown = false;
        m_percent = -1;
    }
}

} // namespace melo::cli

#pragma once

namespace melo::cli {

// A progress bar on stderr, drawn only when stderr is a terminal and redrawn only when its
// percentage changes.
class TerminalProgress {
public:
    TerminalProgress();
    ~TerminalProgress() { clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Shows the bar at `permille` (0 to 1000).
    void show(int permille);
    // Removes the bar, so a line can be printed; the next show() draws it again.
    void clear();

private:
    bool m_terminal;
    bool m_shown = false;
    int m_percent = -1;
};

} // namespace melo::cli

// Signal dispositions of the process; the one place that touches signals.

#include "common/process_signals.h"

#include <csignal>

namespace melo {

void ignore_file_size_signal() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace melo

#include "platform/process.h"

#include <csignal>
#include <unistd.h>

namespace melo {

void ignore_file_size_signal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> program_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool error_output_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace melo

// The process's set-up: signal dispositions, its arguments and its console. The one place
// that touches them.

#include "common/process_signals.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "common/atomic_file.h"
#endif

namespace melo {

void ignore_file_size_signal() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

#ifdef _WIN32

std::vector<std::string> program_arguments(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(utf8_text(wide[i]));
    }
    LocalFree(wide);
    return args;
}

#else

std::vector<std::string> program_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

#endif

} // namespace melo

#include "platform/process.h"
#include "platform/windows_support.h"

#include <cstdio>
#include <io.h>
#include <shellapi.h>

namespace melo {

void ignore_file_size_signal() {}

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

bool error_output_is_terminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

} // namespace melo

// melo-dsu: the command-line face of MELO Sound-Manager. It calls the same core as the
// window, so its files are byte for byte the window's.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/process_signals.h"
#include "common/version.h"

namespace {

const char* const kUsage =
    "Usage: melo-dsu COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  build PROJECT.DSP [--log] [--debug-log] [--verbose]\n"
    "      Runs the generation of the project's .DSU image and prints the log.\n"
    "      --log        also write the .LOG file\n"
    "      --debug-log  also write the .DBG file\n"
    "      --verbose    print the debug view's lines instead of the log view's\n"
    "  inspect WAVFILE [--header-only]\n"
    "      Decodes a WAV file and prints the fields of the inspection panel.\n"
    "  dump IMAGE.DSU\n"
    "      Lists the address table of an image and checks it.\n"
    "\n"
    "Options:\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 success, 1 a failed run, check or decode, 2 a usage error.\n";

} // namespace

int main(int argc, char** argv) {
    melo::ignore_file_size_signal();
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("melo-dsu%s\n", melo::versionfull().c_str());
            return 0;
        }
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return melo::cli::kUsageError;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "inspect") {
        return melo::cli::inspect(args);
    }
    if (command == "build") {
        return melo::cli::build(args);
    }
    if (command == "dump") {
        return melo::cli::dump(args);
    }
    std::fprintf(stderr, "melo-dsu: unbekannter Befehl '%s' (siehe melo-dsu --help)\n", command.c_str());
    return melo::cli::kUsageError;
}

#pragma once

#include <string>
#include <vector>

namespace melo {

// Makes a write beyond the process's file size limit fail with an error the writer reports,
// instead of ending the process (SIGXFSZ). Every program calls it once at its start.
// Windows has no such signal: there it does nothing.
void ignore_file_size_signal();

// The program's arguments after its name, as UTF-8 text. On Windows they come from the
// wide-character command line (the narrow `argv` holds the ANSI code page, which loses any
// name outside it), and the console is switched to UTF-8 for the program's output.
std::vector<std::string> program_arguments(int argc, char** argv);

} // namespace melo

#pragma once

#include <string>
#include <vector>

namespace melo {

// Makes a write beyond the process's file size limit fail with an error the writer reports,
// instead of ending the process (SIGXFSZ). Every program calls it once at its start.
// Windows has no such limit: there it does nothing.
void ignore_file_size_signal();

// The program's arguments after its name, as UTF-8 text. On Windows they come from the
// wide-character command line (the narrow `argv` holds the ANSI code page, which loses any
// name outside it), and the console is switched to UTF-8 for the program's output.
std::vector<std::string> program_arguments(int argc, char** argv);

// True when the standard error output is a terminal (a progress bar may be drawn there).
bool error_output_is_terminal();

} // namespace melo

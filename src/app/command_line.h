#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class Form1;
class Prompts;

// What the window's command line asks for: `melo-sound-manager [PROJECT.DSP]`,
// `--image FILE.DSU`, `--help`, `--version`.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QString project; // the project file to open instead of the stored one; "" for none
    QString image;   // the image whose sounds to show instead of the main window; "" for none
    QString error;   // the German reason of a usage error
};

// Reads the arguments after the program name. "--help" (or "-h") and "--version" win over
// everything else; otherwise at most one project path or one "--image FILE" is allowed ("--" ends the options, so a
// path may start with "-"). An unknown option or a second path is a usage error.
CommandLine parse_command_line(const QStringList& arguments);

// The arguments after the program name, as the C runtime passed them (before Qt has seen them).
QStringList program_arguments(int argc, char** argv);

// Prints the answer to "--help" or "--version" (stdout) or a usage error (stderr, only when
// `qtOptionsRemoved`: before Qt has taken its own options out, they would look unknown).
// Returns the exit status when the program ends here, nothing when the window is to start.
std::optional<int> answer_without_window(const CommandLine& command, bool qtOptionsRemoved);

// Opens the project file named on the command line exactly as the folder button opens a
// chosen one. A path that is no readable project file gets a German message and the project
// loaded at start-up stays. Returns false in that case.
bool open_command_line_project(Form1& window, Prompts& prompts, const QString& path);

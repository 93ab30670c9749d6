#pragma once

#include <string>
#include <vector>

namespace melo {

// Result of a file choice: what the user picked, judged by its name.
enum ChoiceCode : int {
    kNothingChosen = 0,    // cancelled, or an empty name
    kAccepted = 1,         // the full path contains one of the expected extension texts
    kWrongTypeDiffers = 2, // none of them, and the name's extension differs from the default
    kWrongTypeNoExt = 3,   // none of them, and no differing extension (e.g. no extension at all)
};

// True when `bare_name` has an extension and it is not `default_ext` (ignoring case); a name
// without an extension does not differ.
bool extension_differs(const std::string& bare_name, const std::string& default_ext);

// Classifies a chosen full path. The extension texts (".WAV", ".DSP" ...) are searched
// anywhere in the path without regard to case, so a ".wav" in a directory name counts too.
int classify_choice(const std::string& full_path, bool ext_differs,
                    const std::vector<std::string>& extension_texts);

// The three kinds of file a project names, each with its own name rule.
enum class FileKind {
    Project, // a project file: ".DSP", default extension "DSP"
    Base,    // the base sound file: ".DS3" or ".DSD", default extension "DS3"
    Part,    // a sound part: ".WAV", default extension "WAV"
};

// The default extension (without the dot) of a kind: what a dialog for it appends.
std::string default_extension(FileKind kind);

// Classifies a chosen full path by the rule of its kind; `ext_differs` is what the file dialog
// reported about the chosen extension.
int classify_file(FileKind kind, const std::string& full_path, bool ext_differs);

// The same for a path that came without a dialog (dropped, on the command line): whether the
// extension differs is judged from the name itself.
int classify_file(FileKind kind, const std::string& full_path);

// True when `name` can stand in a project or settings value: a line break never can, it would
// split the value's line.
bool fits_project_value(const std::string& name);

// The German reason why `name` cannot name a new file in a project folder, or "" when it can:
// not empty, no folder part, not "." or "..", no line break (no project could store it) and
// no other control character (no project could read it). The reason never repeats a name
// that holds such a character, so it reaches no terminal or message raw.
std::string new_file_name_problem(const std::string& name);

// True when `name` can name a new file in the project folder: new_file_name_problem has none.
bool plain_file_name(const std::string& name);

// The file name part of a path (after the last separator).
std::string bare_name_of(const std::string& path);

// The directory part of a path, without the separator in front of the name ("" for none).
std::string directory_of(const std::string& path);

// The path cut back to its last separator, which it keeps ("" when it has none).
std::string directory_with_separator(const std::string& path);

// True when the file can be opened for reading.
bool fileexists(const std::string& path);

} // namespace melo

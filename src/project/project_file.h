#pragma once

#include <array>
#include <string>

namespace melo {

// The thirteen file names of a project: for each of the four user sounds (index 0 to 3 =
// "Sound A (200)" to "Sound D (203)") its start, loop and end part, and the base sound file.
// "" or "(leer)" means no file.
struct ProjectFields {
    std::array<std::string, 4> useranf;
    std::array<std::string, 4> userloop;
    std::array<std::string, 4> userend;
    std::string dsdfilename;

    // The part's text: part 0 start, 1 loop, 2 end.
    std::string& part(int sound, int p);
    const std::string& part(int sound, int p) const;
};

inline constexpr const char* kProjectSection = "WAVs";

// The key of field `index` 0 to 12 in file order: "Sound1AnfWAV", "Sound1LoopWAV",
// "Sound1EndWAV", ..., "Sound4EndWAV", "DSDfilename".
std::string project_key(int index);

// The field belonging to key `index`.
std::string& project_field(ProjectFields& fields, int index);
const std::string& project_field(const ProjectFields& fields, int index);

inline constexpr int kProjectKeyCount = 13;

// How far a project file could be read.
enum class ProjectState {
    Loaded,     // read; a missing key gives ""
    Missing,    // no file of that name: empty fields (a new project)
    Unreadable, // cannot be read, larger than kIniFileLimit, or no text file: empty fields
    NoSection,  // a text file (perhaps empty) without the section "WAVs": empty fields
};

struct LoadedProject {
    ProjectFields fields;
    ProjectState state = ProjectState::Loaded;
    std::string error; // what is wrong with the file, in German; "" when Loaded
};

// Reads the thirteen keys of a project file. Every caller decides what a file that is
// missing, unreadable or without the section means for it; `error` names the fault.
LoadedProject load_project(const std::string& path);

// Writes the thirteen keys in their order, keeping any other content of the file, in one
// atomic replace. Returns false (file untouched) when the file cannot be written.
bool save_project(const std::string& path, const ProjectFields& fields, std::string* error = nullptr);

// True for a part text that names no file: "" or "(leer)", compared exactly.
bool is_empty_part(const std::string& name);

} // namespace melo

#include "project/project_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/file_errors.h"
#include "platform/paths.h"
#include "project/ini_file.h"

namespace melo {

std::string& ProjectFields::part(int sound, int p) {
    return p == 0 ? useranf[static_cast<std::size_t>(sound)]
                  : (p == 1 ? userloop[static_cast<std::size_t>(sound)] : userend[static_cast<std::size_t>(sound)]);
}

const std::string& ProjectFields::part(int sound, int p) const {
    return const_cast<ProjectFields&>(*this).part(sound, p);
}

std::string project_key(int index) {
    if (index == 12) {
        return "DSDfilename";
    }
    static const char* const kParts[3] = {"Anf", "Loop", "End"};
    return "Sound" + std::to_string(index / 3 + 1) + kParts[index % 3] + "WAV";
}

std::string& project_field(ProjectFields& fields, int index) {
    return index == 12 ? fields.dsdfilename : fields.part(index / 3, index % 3);
}

const std::string& project_field(const ProjectFields& fields, int index) {
    return project_field(const_cast<ProjectFields&>(fields), index);
}

LoadedProject load_project(const std::string& path) {
    LoadedProject project;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(native_path(path), ec))) {
        project.state = ProjectState::Missing;
        project.error = "Datei kann nicht geöffnet werden: " + file_error_text(ENOENT);
        return project;
    }
    std::string bytes;
    std::string error;
    const auto unreadable = [&](const std::string& why) {
        project.state = ProjectState::Unreadable;
        project.error = why;
        return project;
    };
    if (!read_file(path, bytes, kIniFileLimit, &error)) {
        return unreadable(error);
    }
    if (bytes.empty()) {
        project.state = ProjectState::NoSection;
        project.error = "Projektfile ist leer";
        return project;
    }
    const std::string_view start(bytes.data(), std::min<std::size_t>(bytes.size(), 2));
    if (start == "\xFF\xFE" || start == "\xFE\xFF") {
        return unreadable("Projektfile ist in UTF-16 geschrieben, erwartet wird Windows-1252 oder UTF-8");
    }
    IniDocument doc;
    doc.parse(bytes);
    if (!doc.has_section(kProjectSection)) {
        if (bytes.find('\0') != std::string::npos) {
            return unreadable("kein Textfile (enthält Nullbytes)");
        }
        project.state = ProjectState::NoSection;
        project.error = std::string("kein Abschnitt [") + kProjectSection + "] im Projektfile";
        return project;
    }
    for (int i = 0; i < kProjectKeyCount; ++i) {
        project_field(project.fields, i) = doc.get(kProjectSection, project_key(i), "");
    }
    return project;
}

bool save_project(const std::string& path, const ProjectFields& fields, std::string* error) {
    IniDocument doc;
    if (!doc.load_for_update(path, error)) {
        return false;
    }
    for (int i = 0; i < kProjectKeyCount; ++i) {
        if (!doc.set(kProjectSection, project_key(i), project_field(fields, i))) {
            if (error != nullptr) {
                *error = project_key(i) + ": " + kLineBreakError;
            }
            return false;
        }
    }
    return doc.save(path, error);
}

bool is_empty_part(const std::string& name) {
    return name.empty() || name == "(leer)";
}

} // namespace melo

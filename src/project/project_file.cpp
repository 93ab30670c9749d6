#include "project/project_file.h"

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

ProjectFields load_project(const std::string& path) {
    IniDocument doc;
    doc.load(path);
    ProjectFields fields;
    for (int i = 0; i < kProjectKeyCount; ++i) {
        project_field(fields, i) = doc.get(kProjectSection, project_key(i), "");
    }
    return fields;
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

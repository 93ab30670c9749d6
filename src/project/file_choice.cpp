#include "project/file_choice.h"

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "project/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace melo {
namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

bool extension_differs(const std::string& bare_name, const std::string& default_ext) {
    const auto dot = bare_name.find_last_of('.');
    if (dot == std::string::npos) {
        return false;
    }
    return upper(bare_name.substr(dot + 1)) != upper(default_ext);
}

int classify_choice(const std::string& full_path, bool ext_differs,
                    const std::vector<std::string>& extension_texts) {
    if (full_path.empty()) {
        return kNothingChosen;
    }
    const std::string path = upper(full_path);
    for (const std::string& ext : extension_texts) {
        if (path.find(upper(ext)) != std::string::npos) {
            return kAccepted;
        }
    }
    return ext_differs ? kWrongTypeDiffers : kWrongTypeNoExt;
}

// Where the last directory part of `path` ends, or npos.
std::size_t last_separator(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (is_path_separator(path[i - 1])) {
            return i - 1;
        }
    }
    return std::string::npos;
}

std::string default_extension(FileKind kind) {
    switch (kind) {
    case FileKind::Project:
        return "DSP";
    case FileKind::Base:
        return "DS3";
    case FileKind::Part:
        break;
    }
    return "WAV";
}

int classify_file(FileKind kind, const std::string& full_path, bool ext_differs) {
    switch (kind) {
    case FileKind::Project:
        return classify_choice(full_path, ext_differs, {".DSP"});
    case FileKind::Base:
        return classify_choice(full_path, ext_differs, {".DS3", ".DSD"});
    case FileKind::Part:
        break;
    }
    return classify_choice(full_path, ext_differs, {".WAV"});
}

int classify_file(FileKind kind, const std::string& full_path) {
    return classify_file(kind, full_path,
                         extension_differs(bare_name_of(full_path), default_extension(kind)));
}

bool fits_project_value(const std::string& name) {
    return !has_line_break(name);
}

std::string new_file_name_problem(const std::string& name) {
    if (name.empty()) {
        return "Der Dateiname ist leer.";
    }
    if (has_line_break(name)) {
        return "Der Dateiname enthält einen Zeilenumbruch, den kein Projekt speichern kann.";
    }
    if (has_control_character(name)) {
        return "Der Dateiname enthält ein Steuerzeichen, das kein Projekt lesen kann.";
    }
    if (std::any_of(name.begin(), name.end(), is_path_separator)) {
        return "„" + name + "“ nennt einen Ordner; gebraucht wird ein Dateiname ohne Ordner.";
    }
    if (name == "." || name == "..") {
        return "„" + name + "“ ist kein Dateiname.";
    }
    return {};
}

bool plain_file_name(const std::string& name) {
    return new_file_name_problem(name).empty();
}

std::string bare_name_of(const std::string& path) {
    const auto slash = last_separator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directory_of(const std::string& path) {
    const auto slash = last_separator(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string directory_with_separator(const std::string& path) {
    const auto slash = last_separator(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool fileexists(const std::string& path) {
    std::ifstream in(native_path(path), std::ios::binary);
    return in.is_open();
}

} // namespace melo

#include "project/project_path.h"

#include "common/captions.h"
#include "common/cp1252.h"
#include "platform/paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace melo {
namespace {

namespace fs = std::filesystem;

char32_t fold(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    // Latin Extended-A: upper and lower case alternate, upper first, except in two runs
    // where the lower case letter comes first.
    const bool odd_first = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c >= 0x100 && c <= 0x17F && c != 0x138 && c != 0x149 && c != 0x17F) {
        return (c % 2 == (odd_first ? 1u : 0u)) ? c + 1 : c;
    }
    return c;
}

bool exists_entry(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

// The one entry of `dir` whose name folds to the same text as `wanted`; empty for none or several.
std::string unique_case_match(const fs::path& dir, const std::string& wanted) {
    const std::string key = fold_case(wanted);
    std::string found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = utf8_path(it->path().filename());
        if (fold_case(entry) == key) {
            if (!found.empty()) {
                return {};
            }
            found = entry;
        }
    }
    return found;
}

bool lies_within(const fs::path& candidate, const fs::path& root) {
    auto c = candidate.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++c) {
        if (r->empty()) {
            continue; // a trailing separator of the root
        }
        if (c == candidate.end() || *c != *r) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string fold_case(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < name.size();) {
        if (next_utf8(name, i, cp)) {
            append_utf8(out, fold(cp));
        } else {
            out += name[i++]; // not a letter this folding knows: kept as it is
        }
    }
    return out;
}

ProjectFile resolve_project_file(const std::string& projfiledir, const std::string& name) {
    ProjectFile result;
    if (has_control_character(name)) {
        result.control_characters = true;
        return result;
    }
    // A backslash separates folders, unless an entry has the name as written (a Linux file
    // may hold a backslash in its name).
    std::string separated = name;
    if (!exists_entry(native_path(projfiledir) / native_path(name))) {
        std::replace(separated.begin(), separated.end(), '\\', '/');
    }
    const fs::path root = native_path(projfiledir);
    fs::path current = root;
    bool matching = true;
    for (const fs::path& component : native_path(separated).relative_path()) {
        const std::string part = utf8_path(component);
        if (part.empty() || part == ".") {
            continue;
        }
        fs::path next = current / component;
        if (matching && part != "..") {
            // An entry that exists keeps the folder's spelling (Windows finds it in any case);
            // else the one entry that differs only in case is it.
            const std::string match =
                exists_entry(next) ? stored_name(next) : unique_case_match(current, part);
            if (match.empty()) {
                matching = false; // the rest of the name is looked for as written
            } else {
                next = current / native_path(match);
            }
        }
        current = std::move(next);
    }
    result.path = utf8_path(current);

    std::error_code ec;
    fs::path real_root = fs::weakly_canonical(fs::absolute(root, ec), ec);
    if (ec) {
        real_root = fs::absolute(root, ec).lexically_normal();
    }
    fs::path real_file = fs::weakly_canonical(fs::absolute(current, ec), ec);
    if (ec) {
        real_file = fs::absolute(current, ec).lexically_normal();
    }
    // An empty name names no file (nothing was chosen), not the folder itself.
    result.outside =
        !name.empty() && (!lies_within(real_file, real_root) || real_file == real_root);
    return result;
}

std::vector<int> fields_naming(const ProjectFields& fields, const std::string& projfiledir,
                               const std::string& path) {
    std::vector<int> named;
    for (int index = 0; index < kProjectKeyCount; ++index) {
        const std::string& name = project_field(fields, index);
        if (is_empty_part(name)) {
            continue;
        }
        const ProjectFile file = resolve_project_file(projfiledir, name);
        std::error_code ec;
        if (!file.outside && !file.control_characters &&
            (file.path == path || fs::equivalent(native_path(file.path), native_path(path), ec))) {
            named.push_back(index);
        }
    }
    return named;
}

std::string fields_naming_text(const ProjectFields& fields, const std::string& projfiledir,
                               const std::string& path) {
    const std::vector<int> named = fields_naming(fields, projfiledir, path);
    std::string text;
    for (std::size_t i = 0; i < named.size(); ++i) {
        text += (i == 0 ? "das Projekt nutzt sie für " : (i + 1 == named.size() ? " und " : ", ")) +
                field_title(named[i]);
    }
    return text;
}

} // namespace melo

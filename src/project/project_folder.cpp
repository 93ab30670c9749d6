#include "project/project_folder.h"

#include "common/atomic_file.h"
#include "project/file_choice.h"
#include "project/project_path.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace melo {
namespace {

namespace fs = std::filesystem;

bool entry_exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(native_path(path), ec));
}

// "„a“", "„a“ und „b“", "„a“, „b“ und „c“".
std::string quoted_list(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? " und " : ", ";
        }
        text += "„" + names[i] + "“";
    }
    return text;
}

// What writing one file finds at its target.
struct Planned {
    FolderTarget target;
    std::optional<std::string> old; // the target's contents when it exists
    bool unchanged = false;         // it holds the new contents already
};

// The targets of `files` with their present contents; `error` set when one cannot be used.
std::vector<Planned> plan(const std::string& projfiledir, const std::vector<FolderFile>& files,
                          std::string& error) {
    std::vector<Planned> planned;
    for (const FolderFile& file : files) {
        if (file.name.empty()) {
            planned.push_back({FolderTarget{}, std::nullopt, true}); // no file: nothing to do
            continue;
        }
        Planned p{folder_target(projfiledir, file.name), std::nullopt, false};
        if (!p.target.problem.empty()) {
            error = p.target.problem;
            return {};
        }
        if (p.target.exists) {
            std::string contents;
            if (!read_file(p.target.path, contents, kReadLimit, &error)) {
                error = p.target.name + ": " + error;
                return {};
            }
            p.unchanged = contents == file.contents;
            p.old = std::move(contents);
        }
        planned.push_back(std::move(p));
    }
    return planned;
}

// Gives the files written so far their old contents back, or removes them when they were new.
void undo(const std::vector<Planned>& planned, const std::vector<bool>& written) {
    for (std::size_t j = 0; j < planned.size(); ++j) {
        if (!written[j]) {
            continue;
        }
        if (planned[j].old) {
            replace_file(planned[j].target.path, *planned[j].old);
        } else {
            std::error_code ec;
            fs::remove(native_path(planned[j].target.path), ec);
        }
    }
}

} // namespace

FolderTarget folder_target(const std::string& projfiledir, const std::string& name) {
    FolderTarget t;
    t.name = name;
    t.problem = new_file_name_problem(name);
    if (!t.problem.empty()) {
        return t;
    }
    const std::string as_written = utf8_path(native_path(projfiledir) / native_path(name));
    if (name.find('\\') != std::string::npos && !entry_exists(as_written)) {
        // Only where a backslash is no separator: a new file gets the name as written, which
        // is also the entry a project naming it reads once it exists.
        t.path = as_written;
        return t;
    }
    const ProjectFile found = resolve_project_file(projfiledir, name);
    if (found.outside) {
        t.problem = "„" + name + "“ führt aus dem Projektordner hinaus.";
        return t;
    }
    t.path = found.path;
    t.name = bare_name_of(found.path);
    t.exists = entry_exists(t.path);
    return t;
}

std::vector<std::string> differing_files(const std::string& projfiledir,
                                         const std::vector<FolderFile>& files) {
    std::vector<std::string> differing;
    for (const FolderFile& file : files) {
        const FolderTarget t = folder_target(projfiledir, file.name);
        std::string contents;
        if (!file.name.empty() && t.problem.empty() && t.exists &&
            !(read_file(t.path, contents, file.contents.size()) && contents == file.contents)) {
            differing.push_back(t.name);
        }
    }
    return differing;
}

FolderWrite write_into_folder(const std::string& projfiledir, const std::vector<FolderFile>& files,
                              Replace replace, const std::atomic<bool>* cancel,
                              const std::function<void(int)>& progress) {
    FolderWrite w;
    const std::vector<Planned> planned = plan(projfiledir, files, w.error);
    if (planned.size() != files.size()) {
        return w;
    }
    std::vector<std::string> different;
    for (const Planned& p : planned) {
        w.names.push_back(p.target.name);
        if (p.old && !p.unchanged) {
            different.push_back(p.target.name);
        }
    }
    if (replace == Replace::keep_different && !different.empty()) {
        w.outcome = FolderOutcome::kept_different;
        w.error = quoted_list(different) + " gibt es schon mit anderem Inhalt";
        return w;
    }
    std::vector<bool> written(planned.size(), false);
    for (std::size_t i = 0; i < planned.size(); ++i) {
        if (cancel != nullptr && cancel->load()) {
            undo(planned, written);
            w.outcome = FolderOutcome::cancelled;
            w.error = "Abgebrochen: keine Datei geschrieben.";
            return w;
        }
        if (!planned[i].unchanged) {
            if (!replace_file(planned[i].target.path, files[i].contents, &w.error)) {
                undo(planned, written);
                w.error = planned[i].target.name + ": " + w.error;
                return w;
            }
            written[i] = true;
        }
        if (progress) {
            progress(static_cast<int>((i + 1) * 1000 / planned.size()));
        }
    }
    w.outcome = FolderOutcome::written;
    return w;
}

} // namespace melo

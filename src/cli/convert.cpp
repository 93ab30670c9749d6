#include "cli/commands.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"
#include "project/project_folder.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace melo::cli {
namespace {

namespace fs = std::filesystem;

struct ConvertArgs {
    std::vector<std::string> inputs;
    std::optional<std::string> out;
    std::optional<std::string> into;
    bool force = false; // an existing output that --out does not name may be replaced
    PrepareOptions options;
};

// Prints a line with the control characters of file names shown, not sent to the terminal.
void say(std::FILE* to, const std::string& line) {
    std::fprintf(to, "%s\n", visible_controls(line).c_str());
}

bool usage_error(const std::string& text) {
    return cli::usage_error("convert", text);
}

bool parse(const std::vector<std::string>& args, ConvertArgs& c) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string name = a.substr(0, a.find('='));
        std::string value;
        if (name == "--out" || name == "--into") {
            if (!option_value("convert", args, i, name, value)) {
                return false;
            }
            if (value.empty()) {
                return usage_error("Option '" + name + "' braucht einen " +
                                   (name == "--out" ? "Dateinamen" : "Verzeichnisnamen"));
            }
            (name == "--out" ? c.out : c.into) = value;
        } else if (a == "--force") {
            c.force = true;
        } else if (!prepare_option_or_input("convert", args, i, c.options, c.inputs)) {
            return false;
        }
    }
    if (c.inputs.empty()) {
        return usage_error("mindestens eine Eingabedatei erwartet");
    }
    if (c.out && c.into) {
        return usage_error("entweder --out oder --into angeben");
    }
    if (c.out && c.inputs.size() > 1) {
        return usage_error("--out nimmt eine Eingabedatei; für mehrere --into");
    }
    if (const std::string bad = check_options(c.options); !bad.empty()) {
        return usage_error(bad);
    }
    std::error_code ec;
    if (c.into && !fs::is_directory(native_path(*c.into), ec)) {
        return usage_error("'" + *c.into + "' ist kein Verzeichnis");
    }
    return true;
}

// The output of `input`: --out, or its prepared name in --into or beside it, where an existing
// namesake that differs only in case is the file replaced (as the window's conversion does).
FolderTarget output_of(const ConvertArgs& c, const std::string& input) {
    if (c.out) {
        std::error_code ec;
        return {bare_name_of(*c.out),
                *c.out,
                fs::exists(fs::symlink_status(native_path(*c.out), ec)),
                {}};
    }
    std::string dir = c.into ? *c.into : directory_of(input);
    if (dir.empty()) {
        dir = ".";
    }
    return folder_target(dir, prepared_file_name(input, dir, c.options.rate));
}

// Why the output of one input is not written, or "": an output never replaces one of the
// call's inputs, and an existing file the user did not name with --out only with --force.
std::string refused_output(const ConvertArgs& c, const FolderTarget& output) {
    if (!output.problem.empty()) {
        return output.problem;
    }
    if (!output.exists) {
        return {};
    }
    std::error_code ec;
    for (const std::string& input : c.inputs) {
        if (fs::equivalent(native_path(input), native_path(output.path), ec)) {
            return "'" + output.path +
                   "' ist eine Eingabe dieses Aufrufs und wird nicht überschrieben";
        }
    }
    if (!c.out && !c.force) {
        return "'" + output.path + "' existiert schon (mit --force ersetzen)";
    }
    return {};
}

class BarObserver : public PrepareObserver {
public:
    void progress(int permille) override { bar.show(permille); }
    TerminalProgress bar;
};

} // namespace

int convert(const std::vector<std::string>& args) {
    ConvertArgs c;
    if (!parse(args, c)) {
        return kUsageError;
    }
    // Every input must be there before any is converted; two may not write one output.
    std::vector<FolderTarget> outputs;
    std::set<std::string> seen;
    for (const std::string& input : c.inputs) {
        std::error_code ec;
        if (!fs::is_regular_file(native_path(input), ec) || !fileexists(input)) {
            say(stderr, "melo-dsu convert: Eingabedatei '" + input + "' nicht lesbar");
            return kUsageError;
        }
        outputs.push_back(output_of(c, input));
        const std::string& path = outputs.back().path;
        if (!path.empty() &&
            !seen.insert(utf8_path(fs::weakly_canonical(native_path(path), ec))).second) {
            say(stderr, "melo-dsu convert: zwei Eingaben würden beide '" + path + "' schreiben");
            return kUsageError;
        }
    }

    bool failed = false;
    for (std::size_t i = 0; i < c.inputs.size(); ++i) {
        if (const std::string refused = refused_output(c, outputs[i]); !refused.empty()) {
            std::fflush(stdout);
            say(stderr, "melo-dsu convert: " + c.inputs[i] + ": " + refused);
            failed = true;
            continue;
        }
        BarObserver observer;
        SoundPreparation preparation;
        const PrepareResult r = preparation.run(c.inputs[i], outputs[i].path, c.options, observer);
        observer.bar.clear();
        if (r.source.rate > 0) {
            say(stdout, c.inputs[i] + ": " + describe_source(r.source));
        }
        if (r.code == PrepareCode::Ok) {
            say(stdout, "  -> " + outputs[i].path + ": " + describe_result(r, c.options));
        } else {
            std::fflush(stdout);
            say(stderr, "melo-dsu convert: " + c.inputs[i] + ": " + r.message);
            failed = true;
        }
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}

} // namespace melo::cli

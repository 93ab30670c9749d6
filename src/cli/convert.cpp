#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"

#include <charconv>
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
    say(stderr, "melo-dsu convert: " + text + " (siehe melo-dsu --help)");
    return false;
}

std::optional<double> parse_number(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || p != end) {
        return std::nullopt;
    }
    return value;
}

// Splits "--name=value" and "--name value"; `i` moves past a separate value.
bool option_value(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                  std::string& value) {
    const std::string& a = args[i];
    if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        return usage_error("Option '" + name + "' braucht einen Wert");
    }
    value = args[++i];
    return true;
}

bool parse(const std::vector<std::string>& args, ConvertArgs& c) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string name = a.substr(0, a.find('='));
        std::string value;
        if (name == "--out" || name == "--into") {
            if (!option_value(args, i, name, value)) {
                return false;
            }
            if (value.empty()) {
                return usage_error("Option '" + name + "' braucht einen " +
                                   (name == "--out" ? "Dateinamen" : "Verzeichnisnamen"));
            }
            (name == "--out" ? c.out : c.into) = value;
        } else if (a == "--force") {
            c.force = true;
        } else if (name == "--rate") {
            if (!option_value(args, i, name, value)) {
                return false;
            }
            const std::optional<double> hz = parse_number(value);
            if (!hz || !(std::fabs(*hz) < 1e9) || *hz != std::floor(*hz)) {
                return usage_error("'" + value + "' ist keine Abtastrate in Hz");
            }
            c.options.rate = static_cast<std::int32_t>(*hz);
        } else if (name == "--bits") {
            if (!option_value(args, i, name, value)) {
                return false;
            }
            if (value != "8" && value != "16") {
                return usage_error("--bits nimmt 8 oder 16, nicht '" + value + "'");
            }
            c.options.bits = value == "8" ? 8 : 16;
        } else if (name == "--dither") {
            if (!option_value(args, i, name, value)) {
                return false;
            }
            if (value != "none" && value != "tpdf") {
                return usage_error("--dither nimmt none oder tpdf, nicht '" + value + "'");
            }
            c.options.dither = value == "tpdf" ? Dither::Tpdf : Dither::None;
        } else if (name == "--loudness") {
            std::optional<double> lufs = kDefaultLoudnessLufs;
            if (a.size() > name.size() && !(lufs = parse_number(a.substr(name.size() + 1)))) {
                return usage_error("'" + a + "' braucht eine Lautheit in LUFS, etwa --loudness=-16");
            }
            c.options.loudness_lufs = lufs;
        } else if (name == "--normalize" || name == "--trim") {
            const bool normalize = name == "--normalize";
            std::optional<double> db = normalize ? kDefaultNormalizeDb : kDefaultTrimDb;
            if (a.size() > name.size() && !(db = parse_number(a.substr(name.size() + 1)))) {
                return usage_error("'" + a + "' braucht einen Pegel in dBFS, etwa " + name + "=-3");
            }
            (normalize ? c.options.normalize_db : c.options.trim_db) = db;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage_error("unbekannte Option '" + a + "'");
        } else {
            c.inputs.push_back(a);
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
    if (c.into && !fs::is_directory(*c.into, ec)) {
        return usage_error("'" + *c.into + "' ist kein Verzeichnis");
    }
    return true;
}

// The output path of `input`: --out, or its prepared name in --into or beside it.
std::string output_of(const ConvertArgs& c, const std::string& input) {
    if (c.out) {
        return *c.out;
    }
    std::string dir = c.into ? *c.into : directory_of(input);
    if (dir.empty()) {
        dir = ".";
    }
    return (fs::path(dir) / prepared_file_name(input, dir, c.options.rate)).string();
}

// Why the output of one input is not written, or "": an output never replaces one of the
// call's inputs, and an existing file the user did not name with --out only with --force.
std::string refused_output(const ConvertArgs& c, const std::string& output) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(output, ec))) {
        return {};
    }
    for (const std::string& input : c.inputs) {
        if (fs::equivalent(input, output, ec)) {
            return "'" + output + "' ist eine Eingabe dieses Aufrufs und wird nicht überschrieben";
        }
    }
    if (!c.out && !c.force) {
        return "'" + output + "' existiert schon (mit --force ersetzen)";
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
    std::vector<std::string> outputs;
    std::set<std::string> seen;
    for (const std::string& input : c.inputs) {
        std::error_code ec;
        if (!fs::is_regular_file(input, ec) || !fileexists(input)) {
            say(stderr, "melo-dsu convert: Eingabedatei '" + input + "' nicht lesbar");
            return kUsageError;
        }
        outputs.push_back(output_of(c, input));
        if (!seen.insert(fs::weakly_canonical(outputs.back(), ec).string()).second) {
            say(stderr, "melo-dsu convert: zwei Eingaben würden beide '" + outputs.back() + "' schreiben");
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
        const PrepareResult r = preparation.run(c.inputs[i], outputs[i], c.options, observer);
        observer.bar.clear();
        if (r.source.rate > 0) {
            say(stdout, c.inputs[i] + ": " + describe_source(r.source));
        }
        if (r.code == PrepareCode::Ok) {
            say(stdout, "  -> " + outputs[i] + ": " + describe_result(r, c.options));
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

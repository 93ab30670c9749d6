#include "cli/options.h"

#include "common/cp1252.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace melo::cli {

bool usage_error(const char* command, const std::string& text) {
    // A name in the text may hold control characters: shown, not sent to the terminal.
    std::fprintf(stderr, "melo-dsu %s: %s (siehe melo-dsu --help)\n", command,
                 visible_controls(text).c_str());
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

bool option_value(const char* command, const std::vector<std::string>& args, std::size_t& i,
                  const std::string& name, std::string& value) {
    const std::string& a = args[i];
    if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        return usage_error(command, "Option '" + name + "' braucht einen Wert");
    }
    value = args[++i];
    return true;
}

namespace {

enum class OptionMatch { Other, Taken, Bad };

// Takes a preparation option at args[i] into `options`. Other: no preparation option; Bad: a
// usage error was printed.
OptionMatch prepare_option(const char* command, const std::vector<std::string>& args,
                           std::size_t& i, PrepareOptions& options) {
    const std::string& a = args[i];
    const std::string name = a.substr(0, a.find('='));
    if (name == "--rate") {
        std::string value;
        if (!option_value(command, args, i, name, value)) {
            return OptionMatch::Bad;
        }
        const std::optional<double> hz = parse_number(value);
        if (!hz || !(std::fabs(*hz) < 1e9) || *hz != std::floor(*hz)) {
            usage_error(command, "'" + value + "' ist keine Abtastrate in Hz");
            return OptionMatch::Bad;
        }
        options.rate = static_cast<std::int32_t>(*hz);
        return OptionMatch::Taken;
    }
    if (name == "--bits" || name == "--dither") {
        std::string value;
        if (!option_value(command, args, i, name, value)) {
            return OptionMatch::Bad;
        }
        if (name == "--bits") {
            if (value != "8" && value != "16") {
                usage_error(command, "--bits nimmt 8 oder 16, nicht '" + value + "'");
                return OptionMatch::Bad;
            }
            options.bits = value == "8" ? 8 : 16;
        } else {
            if (value != "none" && value != "tpdf") {
                usage_error(command, "--dither nimmt none oder tpdf, nicht '" + value + "'");
                return OptionMatch::Bad;
            }
            options.dither = value == "tpdf" ? Dither::Tpdf : Dither::None;
        }
        return OptionMatch::Taken;
    }
    if (name == "--loudness") {
        std::optional<double> lufs = kDefaultLoudnessLufs;
        if (a.size() > name.size() && !(lufs = parse_number(a.substr(name.size() + 1)))) {
            usage_error(command, "'" + a + "' braucht eine Lautheit in LUFS, etwa --loudness=-16");
            return OptionMatch::Bad;
        }
        options.loudness_lufs = lufs;
        return OptionMatch::Taken;
    }
    if (name == "--normalize" || name == "--trim") {
        const bool normalize = name == "--normalize";
        std::optional<double> db = normalize ? kDefaultNormalizeDb : kDefaultTrimDb;
        if (a.size() > name.size() && !(db = parse_number(a.substr(name.size() + 1)))) {
            usage_error(command, "'" + a + "' braucht einen Pegel in dBFS, etwa " + name + "=-3");
            return OptionMatch::Bad;
        }
        (normalize ? options.normalize_db : options.trim_db) = db;
        return OptionMatch::Taken;
    }
    return OptionMatch::Other;
}

} // namespace

bool prepare_option_or_input(const char* command, const std::vector<std::string>& args,
                             std::size_t& i, PrepareOptions& options,
                             std::vector<std::string>& inputs) {
    const std::string& a = args[i];
    if (const OptionMatch m = prepare_option(command, args, i, options); m != OptionMatch::Other) {
        return m == OptionMatch::Taken;
    }
    if (a.size() > 1 && a[0] == '-') {
        return usage_error(command, "unbekannte Option '" + a + "'");
    }
    inputs.push_back(a);
    return true;
}

} // namespace melo::cli

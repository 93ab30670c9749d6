#include "cli/commands.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "loop/loop_finder.h"
#include "loop/loop_parts.h"
#include "platform/paths.h"
#include "project/file_choice.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace melo::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCommand = "loop";

struct Span {
    double from = 0.0;
    double to = 0.0;
};

struct LoopArgs {
    std::string input;
    std::optional<std::string> into;
    std::optional<std::string> name;
    std::optional<Span> range;
    std::optional<Span> points;
    bool exact = false;
    LoopSettings settings;
    PrepareOptions options;
};

bool usage_error(const std::string& text) {
    return cli::usage_error(kCommand, text);
}

// "A:B" in seconds, A < B.
std::optional<Span> parse_span(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<double> from = parse_number(text.substr(0, colon));
    const std::optional<double> to = parse_number(text.substr(colon + 1));
    if (!from || !to || !(*from >= 0.0 && *from < *to && *to < 1e6)) {
        return std::nullopt;
    }
    return Span{*from, *to};
}

bool parse(const std::vector<std::string>& args, LoopArgs& c) {
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string name = a.substr(0, a.find('='));
        std::string value;
        if (name == "--into" || name == "--name") {
            if (!option_value(kCommand, args, i, name, value)) {
                return false;
            }
            (name == "--into" ? c.into : c.name) = value;
        } else if (name == "--range" || name == "--loop") {
            if (!option_value(kCommand, args, i, name, value)) {
                return false;
            }
            const std::optional<Span> span = parse_span(value);
            if (!span) {
                return usage_error("'" + value + "' ist kein Bereich A:B in Sekunden mit A < B");
            }
            (name == "--range" ? c.range : c.points) = span;
        } else if (name == "--min" || name == "--max" || name == "--crossfade" ||
                   name == "--candidates") {
            if (!option_value(kCommand, args, i, name, value)) {
                return false;
            }
            const std::optional<double> v = parse_number(value);
            if (!v) {
                return usage_error("'" + value + "' ist keine Zahl (" + name + ")");
            }
            if (name == "--min") {
                c.settings.min_seconds = *v;
            } else if (name == "--max") {
                c.settings.max_seconds = *v;
            } else if (name == "--crossfade") {
                c.settings.crossfade_ms = *v;
            } else if (*v != std::floor(*v) || std::fabs(*v) > 1e6) {
                return usage_error("'" + value + "' ist keine ganze Zahl (--candidates)");
            } else {
                c.settings.candidates = static_cast<int>(*v);
            }
        } else if (a == "--exact") {
            c.exact = true;
        } else if (!prepare_option_or_input(kCommand, args, i, c.options, inputs)) {
            return false;
        }
    }
    if (inputs.size() != 1) {
        return usage_error("genau eine Eingabedatei erwartet");
    }
    c.input = inputs.front();
    if (!c.into) {
        return usage_error("--into DIR fehlt: wohin die drei Teile kommen");
    }
    std::error_code ec;
    if (!fs::is_directory(native_path(*c.into), ec)) {
        return usage_error("'" + *c.into + "' ist kein Verzeichnis");
    }
    if (!c.name) {
        c.name = utf8_path(native_path(c.input).stem());
    }
    if (c.name->empty() || c.name->find_first_of("/\\") != std::string::npos) {
        return usage_error("--name nimmt einen Dateinamen ohne Verzeichnis");
    }
    if (c.exact && !c.points) {
        return usage_error("--exact gilt nur mit --loop");
    }
    if (c.points && (c.range || c.settings.max_seconds || c.settings.min_seconds != kDefaultMinLoopSeconds ||
                     c.settings.candidates != kDefaultLoopCandidates)) {
        return usage_error("--loop schließt --range, --min, --max und --candidates aus");
    }
    if (const std::string bad = check_options(c.options); !bad.empty()) {
        return usage_error(bad);
    }
    c.settings.rate = c.options.rate;
    if (const std::string bad = check_loop_settings(c.settings, INT64_MAX); !bad.empty()) {
        return usage_error(bad);
    }
    if (!fs::is_regular_file(native_path(c.input), ec) || !fileexists(c.input)) {
        std::fprintf(stderr, "melo-dsu loop: Eingabedatei '%s' nicht lesbar\n", c.input.c_str());
        return false;
    }
    return true;
}

// One bar over both steps: the preparation fills its first part, the search the rest.
class Bar : public PrepareObserver, public LoopObserver {
public:
    void progress(int permille) override { bar.show(m_from + permille * (m_to - m_from) / 1000); }
    void phase(int from, int to) {
        m_from = from;
        m_to = to;
    }
    TerminalProgress bar;

private:
    int m_from = 0;
    int m_to = 1000;
};

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string seconds(std::int64_t samples, std::int32_t rate) {
    return fixed(static_cast<double>(samples) / rate, 3) + " s";
}

std::string points_text(const LoopCandidate& c, std::int32_t rate) {
    return std::to_string(c.a) + " bis " + std::to_string(c.b) + " (" + seconds(c.a, rate) +
           " bis " + seconds(c.b, rate) + "), Länge " + std::to_string(c.length()) + " Samples (" +
           seconds(c.length(), rate) + ")";
}

std::string seam_text(const LoopCandidate& c) {
    return "Sprung " + fixed(c.seam.step, 1) + " (typisch " + fixed(c.seam.typical_step, 1) +
           ", 95 % bis " + fixed(c.seam.step_p95, 1) + ", in 8-bit-Werten), Korrelation " +
           fixed(c.seam.correlation, 4) + ", Pegelunterschied " + fixed(c.seam.level_db, 1) +
           " dB, Bewertung " + fixed(c.score * 100.0, 1) + " %";
}

void print_part(const std::string& path, const std::vector<float>& part, std::int32_t rate) {
    std::printf("  -> %s: %zu Samples (%s)\n", path.c_str(), part.size(),
                seconds(static_cast<std::int64_t>(part.size()), rate).c_str());
}

int failed(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "melo-dsu loop: %s\n", text.c_str());
    return 1;
}

} // namespace

int loop(const std::vector<std::string>& args) {
    LoopArgs c;
    if (!parse(args, c)) {
        return kUsageError;
    }
    Bar bar;
    bar.phase(0, 400);
    SoundPreparation preparation;
    PreparedSound sound;
    const PrepareResult prepared = preparation.prepare(c.input, c.options, bar, sound);
    bar.bar.clear();
    if (prepared.source.rate > 0) {
        std::printf("%s: %s\n", c.input.c_str(), describe_source(prepared.source).c_str());
    }
    if (prepared.code != PrepareCode::Ok) {
        return failed(c.input + ": " + prepared.message);
    }
    std::printf("  vorbereitet: %s\n", describe_result(prepared, c.options).c_str());
    const std::vector<float> x = signal_of_frames(sound.bits, sound.frames);
    const auto n = static_cast<std::int64_t>(x.size());
    const std::int32_t rate = sound.rate;
    const std::int64_t crossfade = crossfade_samples(c.settings.crossfade_ms, rate);

    LoopCandidate chosen;
    std::string note;
    if (c.points) {
        const std::int64_t a = std::llround(c.points->from * rate);
        const std::int64_t b = std::llround(c.points->to * rate);
        if (!(a > 0 && a < b && b < n)) {
            return failed("Schleife " + fixed(c.points->from, 3) + " s bis " + fixed(c.points->to, 3) +
                          " s liegt nicht innerhalb der Aufnahme (0 s bis " + seconds(n, rate) +
                          "); Anfang und Ende brauchen je mindestens ein Sample");
        }
        chosen = c.exact ? evaluate_loop(x, a, b, crossfade, rate)
                         : snap_loop(x, a, b, kLoopSnapMs, crossfade, rate);
        std::printf("Schleife (%s): %s\n  Naht: %s\n",
                    c.exact ? "genau wie angegeben" : "auf die beste Naht in 5 ms gerückt",
                    points_text(chosen, rate).c_str(), seam_text(chosen).c_str());
        if (chosen.score < kRepeatingScore && crossfade == 0) {
            note = "die Stellen passen nur zu " + std::to_string(std::lround(chosen.score * 100.0)) +
                   " % zueinander; die Naht kann hörbar sein";
        }
    } else {
        if (c.range) {
            c.settings.range = SampleSpan{std::llround(c.range->from * rate), std::llround(c.range->to * rate)};
        }
        bar.phase(400, 1000);
        LoopFinder finder;
        const LoopResult r = finder.find(x, c.settings, bar);
        bar.bar.clear();
        if (r.code != LoopCode::Ok && r.code != LoopCode::NoRepetition) {
            return failed(r.message);
        }
        std::printf("Suchbereich: %lld bis %lld (%s bis %s)\n", static_cast<long long>(r.range.from),
                    static_cast<long long>(r.range.to), seconds(r.range.from, rate).c_str(),
                    seconds(r.range.to, rate).c_str());
        chosen = r.candidates.front();
        std::printf("Schleife: %s\n  Naht: %s\n", points_text(chosen, rate).c_str(),
                    seam_text(chosen).c_str());
        if (r.candidates.size() > 1) {
            std::printf("Weitere Vorschläge:\n");
            for (std::size_t i = 1; i < r.candidates.size(); ++i) {
                std::printf("  %zu: %s\n     %s\n", i + 1, points_text(r.candidates[i], rate).c_str(),
                            seam_text(r.candidates[i]).c_str());
            }
        }
        if (r.code == LoopCode::NoRepetition) {
            // Without a crossfade a loop of such a sound would jump at every pass.
            if (crossfade == 0) {
                return failed(r.message + " Nichts geschrieben; mit --crossfade MS entsteht "
                                          "trotzdem eine Schleife ohne Sprung.");
            }
            note = r.message;
        }
    }

    const std::int64_t fade = usable_crossfade(chosen.a, chosen.b, crossfade);
    if (crossfade > 0) {
        std::printf("Überblendung: %s ms (%lld Samples)%s\n",
                    fixed(static_cast<double>(fade) * 1000.0 / rate, 1).c_str(),
                    static_cast<long long>(fade),
                    fade < crossfade ? ", gekürzt auf das Material vor dem Loop" : "");
    }
    const LoopParts parts = cut_loop(x, chosen.a, chosen.b, fade);
    std::string error;
    if (!write_loop_parts(*c.into, *c.name, parts, rate, sound.bits, error)) {
        return failed("nichts geschrieben: " + error);
    }
    const std::array<std::string, 3> names = loop_part_names(*c.name);
    print_part(utf8_path(native_path(*c.into) / native_path(names[0])), parts.start, rate);
    print_part(utf8_path(native_path(*c.into) / native_path(names[1])), parts.loop, rate);
    print_part(utf8_path(native_path(*c.into) / native_path(names[2])), parts.end, rate);
    if (!note.empty()) {
        std::printf("Hinweis: %s\n", note.c_str());
    }
    std::fflush(stdout);
    return 0;
}

} // namespace melo::cli

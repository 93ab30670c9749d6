#include "cli/commands.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/number_format.h"
#include "loop/loop_finder.h"
#include "loop/loop_parts.h"
#include "project/file_choice.h"
#include "project/project_folder.h"

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
    bool force = false; // an existing part with other contents may be replaced
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

enum class Taken { no, yes, bad };

// Takes an option of the loop command itself at args[i] into `c`.
Taken loop_option(const std::vector<std::string>& args, std::size_t& i, LoopArgs& c) {
    const std::string& a = args[i];
    const std::string name = a.substr(0, a.find('='));
    std::string value;
    if (a == "--exact" || a == "--force") {
        (a == "--exact" ? c.exact : c.force) = true;
        return Taken::yes;
    }
    if (name != "--into" && name != "--name" && name != "--range" && name != "--loop" &&
        name != "--min" && name != "--max" && name != "--crossfade" && name != "--candidates") {
        return Taken::no;
    }
    if (!option_value(kCommand, args, i, name, value)) {
        return Taken::bad;
    }
    if (name == "--into" || name == "--name") {
        (name == "--into" ? c.into : c.name) = value;
        return Taken::yes;
    }
    if (name == "--range" || name == "--loop") {
        const std::optional<Span> span = parse_span(value);
        if (!span) {
            usage_error("'" + value + "' ist kein Bereich A:B in Sekunden mit A < B");
            return Taken::bad;
        }
        (name == "--range" ? c.range : c.points) = span;
        return Taken::yes;
    }
    const std::optional<double> v = parse_number(value);
    if (!v || (name == "--candidates" && (*v != std::floor(*v) || std::fabs(*v) > 1e6))) {
        usage_error("'" + value + "' ist keine " + (name == "--candidates" ? "ganze " : "") +
                    "Zahl (" + name + ")");
        return Taken::bad;
    }
    if (name == "--min") {
        c.settings.min_seconds = *v;
    } else if (name == "--max") {
        c.settings.max_seconds = *v;
    } else if (name == "--crossfade") {
        c.settings.crossfade_ms = *v;
    } else {
        c.settings.candidates = static_cast<int>(*v);
    }
    return Taken::yes;
}

// The checks of the whole command line, once every argument is taken.
bool check(LoopArgs& c) {
    if (!c.into) {
        return usage_error("--into DIR fehlt: wohin die drei Teile kommen");
    }
    std::error_code ec;
    if (!fs::is_directory(native_path(*c.into), ec)) {
        return usage_error("'" + *c.into + "' ist kein Verzeichnis");
    }
    if (c.name) {
        if (const std::string bad = new_file_name_problem(*c.name); !bad.empty()) {
            return usage_error("--name: " + bad);
        }
    } else {
        c.name = utf8_path(native_path(c.input).stem());
        if (const std::string bad = new_file_name_problem(*c.name); !bad.empty()) {
            return usage_error("der Name der Eingabedatei taugt nicht für die Teile (" + bad +
                               "); bitte --name STEM angeben");
        }
    }
    if (c.exact && !c.points) {
        return usage_error("--exact gilt nur mit --loop");
    }
    if (c.points &&
        (c.range || c.settings.max_seconds || c.settings.min_seconds != kDefaultMinLoopSeconds ||
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
    return true;
}

bool parse(const std::vector<std::string>& args, LoopArgs& c) {
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Taken taken = loop_option(args, i, c);
        if (taken == Taken::bad ||
            (taken == Taken::no &&
             !prepare_option_or_input(kCommand, args, i, c.options, inputs))) {
            return false;
        }
    }
    if (inputs.size() != 1) {
        return usage_error("genau eine Eingabedatei erwartet");
    }
    c.input = inputs.front();
    if (!check(c)) {
        return false;
    }
    std::error_code ec;
    if (!fs::is_regular_file(native_path(c.input), ec) || !fileexists(c.input)) {
        std::fprintf(stderr, "melo-dsu loop: Eingabedatei '%s' nicht lesbar\n",
                     visible_controls(c.input).c_str());
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

std::string seconds(std::int64_t samples, std::int32_t rate) {
    return seconds_text(static_cast<double>(samples) / rate);
}

std::string points_text(const LoopCandidate& c, std::int32_t rate) {
    return std::to_string(c.a) + " bis " + std::to_string(c.b) + " (" + seconds(c.a, rate) +
           " bis " + seconds(c.b, rate) + "), Länge " + std::to_string(c.length()) + " Samples (" +
           seconds(c.length(), rate) + ")";
}

std::string seam_text(const LoopCandidate& c) {
    std::string text = "Sprung " + format_fixed(c.seam.step, 1) + " (typisch " +
                       format_fixed(c.seam.typical_step, 1) + ", 95 % bis " +
                       format_fixed(c.seam.step_p95, 1) + ", in 8-bit-Werten), Korrelation " +
                       format_fixed(c.seam.correlation, 4) + ", Pegelunterschied " +
                       format_fixed(c.seam.level_db, 1) + " dB, Bewertung " +
                       format_fixed(c.score * 100.0, 1) + " %";
    if (c.likeness) {
        text += ", klingt wie " + std::to_string(std::lround(*c.likeness * 100.0)) +
                " % des Suchbereichs";
    }
    return text;
}

// The line of one part written into `dir` as `name`, or of one left out for having no samples.
void print_part(const std::string& dir, const std::string& name, const std::vector<float>& part,
                std::int32_t rate, const char* none) {
    if (name.empty()) {
        std::printf("  -> %s\n", none);
        return;
    }
    std::printf("  -> %s: %zu Samples (%s)\n",
                visible_controls(utf8_path(native_path(dir) / native_path(name))).c_str(),
                part.size(), seconds(static_cast<std::int64_t>(part.size()), rate).c_str());
}

int failed(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "melo-dsu loop: %s\n", visible_controls(text).c_str());
    return 1;
}

// What the loop command goes on with: the prepared recording and the loop chosen in it.
struct Cut {
    std::vector<float> x;
    std::int32_t rate = 0;
    int bits = 8;
    std::int64_t crossfade = 0; // asked for, in samples
    LoopCandidate chosen;
    std::string note; // printed after the parts: why the loop may be heard
};

// The user's own points, moved to the best seam nearby unless --exact. Returns -1 to go on,
// else the exit status: a loop outside the recording is a usage error.
int user_loop(const LoopArgs& c, Cut& cut) {
    const auto n = static_cast<std::int64_t>(cut.x.size());
    const std::int64_t a = std::llround(c.points->from * cut.rate);
    std::int64_t b = std::llround(c.points->to * cut.rate);
    // The end as printed with three decimals (half a millisecond at most) is the recording's end.
    if (b > n && b - n <= std::llround(0.0005 * cut.rate)) {
        b = n;
    }
    if (!(a >= 0 && a < b && b <= n)) {
        usage_error(
            "--loop " + format_fixed(c.points->from, 3) + ":" + format_fixed(c.points->to, 3) +
            " liegt nicht innerhalb der Aufnahme (0.000 s bis " + seconds(n, cut.rate) + ")");
        return kUsageError;
    }
    // A loop from the very start or to the very end has no room to move.
    const bool stay = c.exact || a == 0 || b == n;
    cut.chosen = stay ? evaluate_loop(cut.x, a, b, cut.crossfade, cut.rate)
                      : snap_loop(cut.x, a, b, kLoopSnapMs, cut.crossfade, cut.rate);
    std::printf("Schleife (%s): %s\n  Naht: %s\n",
                stay ? "genau wie angegeben" : "auf die beste Naht in 5 ms gerückt",
                points_text(cut.chosen, cut.rate).c_str(), seam_text(cut.chosen).c_str());
    if (cut.chosen.score < kRepeatingScore && cut.crossfade == 0) {
        cut.note = "die Stellen passen nur zu " +
                   std::to_string(std::lround(cut.chosen.score * 100.0)) +
                   " % zueinander; die Naht kann hörbar sein";
    }
    return -1;
}

// The search's best loop. Returns -1 to go on, else the exit status.
int searched_loop(LoopArgs& c, Cut& cut, Bar& bar) {
    if (c.range) {
        c.settings.range = SampleSpan{std::llround(c.range->from * cut.rate),
                                      std::llround(c.range->to * cut.rate)};
    }
    bar.phase(400, 1000);
    LoopFinder finder;
    const LoopResult r = finder.find(cut.x, c.settings, bar);
    bar.bar.clear();
    if (r.code == LoopCode::BadSettings) {
        usage_error(r.message);
        return kUsageError;
    }
    if (r.code != LoopCode::Ok && r.code != LoopCode::NoRepetition) {
        return failed(r.message);
    }
    std::printf("Suchbereich: %lld bis %lld (%s bis %s)\n", static_cast<long long>(r.range.from),
                static_cast<long long>(r.range.to), seconds(r.range.from, cut.rate).c_str(),
                seconds(r.range.to, cut.rate).c_str());
    cut.chosen = r.candidates.front();
    std::printf("Schleife: %s\n  Naht: %s\n", points_text(cut.chosen, cut.rate).c_str(),
                seam_text(cut.chosen).c_str());
    if (r.candidates.size() > 1) {
        std::printf("Weitere Vorschläge:\n");
        for (std::size_t i = 1; i < r.candidates.size(); ++i) {
            std::printf("  %zu: %s\n     %s\n", i + 1,
                        points_text(r.candidates[i], cut.rate).c_str(),
                        seam_text(r.candidates[i]).c_str());
        }
    }
    if (r.code == LoopCode::NoRepetition) {
        // Without a crossfade a loop of such a sound would jump at every pass.
        if (cut.crossfade == 0) {
            return failed(r.message +
                          " Nichts geschrieben; mit --crossfade MS entsteht trotzdem eine "
                          "Schleife ohne Sprung.");
        }
        cut.note = r.message;
    }
    return -1;
}

// Cuts the recording at the chosen loop and writes the three parts. Returns the exit status.
int write_parts(const LoopArgs& c, const Cut& cut) {
    const std::int64_t fade = usable_crossfade(cut.chosen.a, cut.chosen.b, cut.crossfade);
    if (cut.crossfade > 0) {
        std::printf("Überblendung: %s ms (%lld Samples)%s\n",
                    format_fixed(static_cast<double>(fade) * 1000.0 / cut.rate, 1).c_str(),
                    static_cast<long long>(fade),
                    fade < cut.crossfade ? ", gekürzt auf das Material vor dem Loop" : "");
    }
    const LoopParts parts = cut_loop(cut.x, cut.chosen.a, cut.chosen.b, fade);
    const FolderWrite written =
        write_into_folder(*c.into, loop_part_files(*c.name, parts, cut.rate, cut.bits),
                          c.force ? Replace::allowed : Replace::keep_different);
    if (written.outcome == FolderOutcome::kept_different) {
        return failed("nichts geschrieben: " + written.error + " (mit --force ersetzen)");
    }
    if (written.outcome != FolderOutcome::written) {
        return failed("nichts geschrieben: " + written.error);
    }
    print_part(*c.into, written.names[0], parts.start, cut.rate,
               "kein Anfang: die Schleife beginnt mit der Aufnahme");
    print_part(*c.into, written.names[1], parts.loop, cut.rate, "");
    print_part(*c.into, written.names[2], parts.end, cut.rate,
               "kein Ende: die Schleife reicht bis ans Ende der Aufnahme");
    if (!cut.note.empty()) {
        std::printf("Hinweis: %s\n", cut.note.c_str());
    }
    std::fflush(stdout);
    return 0;
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
        std::printf("%s: %s\n", visible_controls(c.input).c_str(),
                    describe_source(prepared.source).c_str());
    }
    if (prepared.code != PrepareCode::Ok) {
        return failed(c.input + ": " + prepared.message);
    }
    std::printf("  vorbereitet: %s\n", describe_result(prepared, c.options).c_str());
    Cut cut;
    cut.x = signal_of_frames(sound.bits, sound.frames);
    cut.rate = sound.rate;
    cut.bits = sound.bits;
    cut.crossfade = crossfade_samples(c.settings.crossfade_ms, cut.rate);
    const int status = c.points ? user_loop(c, cut) : searched_loop(c, cut, bar);
    return status >= 0 ? status : write_parts(c, cut);
}

} // namespace melo::cli

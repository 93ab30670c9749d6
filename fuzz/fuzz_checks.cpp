#include "fuzz_checks.h"

#include "common/cp1252.h"
#include "flash/image_dump.h"
#include "flash/waveform_model.h"
#include "loop/loop_finder.h"
#include "loop/loop_parts.h"
#include "prepare/audio_reader.h"
#include "project/ini_file.h"
#include "project/project_path.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace melo::fuzz {
namespace {

namespace fs = std::filesystem;

void require(bool promise) {
    if (!promise) {
        std::abort();
    }
}

struct RisingProgress : DecodeProgress {
    int last = -1;
    void decode_progress(int permille, const DecodedSound&) override {
        require(permille >= 0 && permille <= 1000 && permille > last);
        last = permille;
    }
};

// A project folder with every kind of entry a hostile or careless project meets, made once
// per process and removed at its end.
class PathFixture {
public:
    PathFixture() {
        std::random_device seed;
        m_root = fs::temp_directory_path() / ("melo-fuzz-paths-" + std::to_string(seed()));
        const fs::path proj = m_root / "proj";
        fs::create_directories(proj / "sub");
        fs::create_directories(proj / "Sub2");
        fs::create_directories(m_root / "outside");
        for (const fs::path& file :
             {m_root / "outside/secret.wav", proj / "a.wav", proj / "Motor.WAV", proj / "motor.wav",
              proj / "Größe.wav", proj / "sub/x.wav", proj / "Sub2/Y.wav"}) {
            std::ofstream(file) << "RIFF";
        }
        std::error_code ec; // a system without symbolic links keeps the plain entries
        fs::create_symlink("sub/x.wav", proj / "in.wav", ec);
        fs::create_symlink("../outside/secret.wav", proj / "out.wav", ec);
        fs::create_symlink(m_root / "outside/secret.wav", proj / "abs.wav", ec);
        fs::create_symlink("../outside/secret.wav", proj / "CASE_OUT.wav", ec);
        fs::create_directory_symlink("../outside", proj / "outdir", ec);
        fs::create_directory_symlink(".", proj / "self", ec);
        fs::create_directory_symlink("..", proj / "up", ec);
        fs::create_symlink("loop", proj / "loop", ec);
        fs::create_symlink("loop_b", proj / "loop_a", ec);
        fs::create_symlink("loop_a", proj / "loop_b", ec);
        m_project = fs::canonical(proj).string();
    }
    ~PathFixture() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    const std::string& project() const { return m_project; }

private:
    fs::path m_root;
    std::string m_project;
};

// Little-endian 16-bit value at `at`, 0 past the end.
unsigned u16(std::string_view bytes, std::size_t at) {
    return at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[at]) |
                                       static_cast<unsigned char>(bytes[at + 1]) << 8
                                 : 0u;
}

// What one input of the loop search check asks for.
struct LoopSearchInput {
    std::vector<float> signal;
    LoopSettings settings;
    std::int64_t a = 0; // the user's own points, for evaluate_loop and snap_loop
    std::int64_t b = 0;
    double snap_ms = 0.0;
};

// The input's layout: byte 0 flags (1 a range, 2 a longest loop, 4 16-bit samples, 8 the
// samples repeated, 16 another rate); 1-2 the rate; 3-4 the shortest loop; 5-6 the longest;
// 7-8 the crossfade; 9 the number of candidates; 10-13 the range, 14-17 the user's points (as
// shares of the signal, so both in and out of it); 18 the repetitions; 19 how far the points
// snap (0 to 5 ms: the time a snap takes grows with its square); then the samples.
LoopSearchInput loop_search_input(std::string_view bytes) {
    constexpr std::size_t kHeader = 20;
    constexpr std::size_t kMostSamples = 40000; // three seconds: every input ends quickly
    const unsigned flags = bytes.empty() ? 0u : static_cast<unsigned char>(bytes[0]);
    LoopSearchInput in;
    LoopSettings& s = in.settings;
    if ((flags & 16u) != 0) {
        s.rate = static_cast<std::int32_t>(1000 + u16(bytes, 1) * 3); // 1000 to 197605 Hz
    }
    s.min_seconds = 0.005 + u16(bytes, 3) / 65535.0 * 2.0;
    if ((flags & 2u) != 0) {
        s.max_seconds = s.min_seconds + u16(bytes, 5) / 65535.0 * 4.0 - 0.5;
    }
    s.crossfade_ms = u16(bytes, 7) % 2100;
    s.candidates = bytes.size() > 9 ? static_cast<unsigned char>(bytes[9]) % 52 : 5;
    const std::string_view frames =
        bytes.size() > kHeader ? bytes.substr(kHeader) : std::string_view();
    const std::vector<float> pattern = signal_of_frames((flags & 4u) != 0 ? 16 : 8, frames);
    const std::size_t times =
        (flags & 8u) != 0 && bytes.size() > 18 ? 1 + static_cast<unsigned char>(bytes[18]) : 1;
    for (std::size_t t = 0; t < times && in.signal.size() + pattern.size() <= kMostSamples; ++t) {
        in.signal.insert(in.signal.end(), pattern.begin(), pattern.end());
    }
    const auto n = static_cast<std::int64_t>(in.signal.size());
    const auto share = [&](std::size_t at) {
        return static_cast<std::int64_t>(u16(bytes, at)) * (n + 2) / 65535 - 1;
    };
    if ((flags & 1u) != 0) {
        s.range = SampleSpan{share(10), share(12)};
    }
    in.a = share(14);
    in.b = share(16);
    in.snap_ms = bytes.size() > 19 ? static_cast<unsigned char>(bytes[19]) / 51.0 : 0.0;
    return in;
}

// A loop [a, b) inside a signal of n samples with sound figures.
void require_loop(const LoopCandidate& c, std::int64_t n) {
    require(0 <= c.a && c.a < c.b && c.b <= n);
    require(c.score >= 0.0 && c.score <= 1.0);
    require(std::isfinite(c.seam.step) && std::isfinite(c.seam.correlation) &&
            std::isfinite(c.seam.level_db));
    require(!c.likeness || (*c.likeness >= 0.0 && *c.likeness <= 1.0));
}

struct LoopProgress : LoopObserver {
    int last = -1;
    void progress(int permille) override {
        require(permille >= 0 && permille <= 1000 && permille > last);
        last = permille;
    }
};

// The user's own points: evaluated or snapped, a loop inside the signal or no loop at all,
// and the parts they cut put end to end are the signal.
void check_user_points(const LoopSearchInput& in) {
    const auto n = static_cast<std::int64_t>(in.signal.size());
    const std::int32_t rate = in.settings.rate;
    const std::int64_t crossfade = crossfade_samples(in.settings.crossfade_ms, rate);
    for (const LoopCandidate& c : {evaluate_loop(in.signal, in.a, in.b, crossfade, rate),
                                   snap_loop(in.signal, in.a, in.b, in.snap_ms, crossfade, rate)}) {
        if (c.score > 0.0 || (0 <= c.a && c.a < c.b && c.b <= n)) {
            require_loop(c, n);
        }
    }
    const LoopParts parts = cut_loop(in.signal, in.a, in.b, 0);
    require(parts.start.size() + parts.loop.size() + parts.end.size() == in.signal.size());
    const LoopParts faded = cut_loop(in.signal, in.a, in.b, crossfade);
    require(faded.start.size() + faded.loop.size() + faded.end.size() == in.signal.size());
}

} // namespace

void check_loop_search(std::string_view bytes) {
    const LoopSearchInput in = loop_search_input(bytes);
    const auto n = static_cast<std::int64_t>(in.signal.size());
    const LoopSettings& s = in.settings;
    LoopFinder finder;
    LoopProgress progress;
    const LoopResult r = finder.find(in.signal, s, progress);
    require(r.code != LoopCode::Failed && r.code != LoopCode::NoMemory &&
            r.code != LoopCode::Cancelled);
    require((r.code == LoopCode::Ok) == r.message.empty());
    if (r.code == LoopCode::Ok || r.code == LoopCode::NoRepetition) {
        require(!r.candidates.empty() &&
                r.candidates.size() <= static_cast<std::size_t>(s.candidates));
        // The lengths as the search rounds them: milliseconds at the rate.
        const auto samples = [&](double seconds) {
            return std::llround(seconds * 1000.0 * s.rate / 1000.0);
        };
        const std::int64_t shortest = std::max<std::int64_t>(1, samples(s.min_seconds));
        for (const LoopCandidate& c : r.candidates) {
            require_loop(c, n);
            require(c.a >= r.range.from && c.b <= r.range.to && c.length() >= shortest);
            require(!s.max_seconds ||
                    c.length() <= std::max<std::int64_t>(shortest, samples(*s.max_seconds)));
        }
        const LoopCandidate& best = r.candidates.front();
        const bool honest = best.score >= kRepeatingScore &&
                            best.likeness.value_or(0.0) >= kSteadyShare && best.repeats;
        require(honest == (r.code == LoopCode::Ok));
        require(progress.last == 1000);
    } else {
        require(r.candidates.empty());
    }
    check_user_points(in);
}

void check_decoder(std::string_view bytes) {
    static DecodedSound sound; // the 8 MiB buffer, allocated once
    for (bool alles : {false, true}) {
        MemorySource source(bytes);
        RisingProgress progress;
        const std::uint8_t code = decode_sound(source, "fuzz.wav", alles, sound, &progress);
        require(sound.wavend >= 0 && sound.wavend <= kMaxSamples);
        if (code == 0 && alles) {
            for (std::int32_t i = 1; i <= sound.wavend; ++i) {
                const std::uint8_t s = sound.wavdata[static_cast<std::size_t>(i)];
                require(s != 0 && s != 255);
            }
        }
        require(!wavdecoderesult_text(code, sound).empty());
    }
}

void check_ini(std::string_view bytes) {
    IniDocument doc;
    doc.parse(bytes);
    require(file_text_to_utf8(doc.bytes()) == file_text_to_utf8(bytes));
    (void)doc.get("WAVs", "Sound1AnfWAV", "d");
    (void)doc.get("VARS", "debug", "0");
    doc.set("WAVs", "DSDfilename", "basis.DS3");
    doc.set("vars", "Log", "1");
    require(doc.get("wavs", "dsdfilename", "") == "basis.DS3" && doc.get("VARS", "log", "") == "1");
    IniDocument again;
    again.parse(doc.bytes());
    require(again.get("WAVs", "DSDfilename", "") == "basis.DS3");
}

void check_image(std::string_view bytes) {
    const std::string image(bytes);
    const ImageDump dump = dump_image(image);
    require(dump.size == static_cast<std::int64_t>(image.size()) && dump.slots.size() <= 12);
    for (const SlotDump& slot : dump.slots) {
        require(slot.slot >= 1 && slot.slot <= 12 && slot.samples >= 0 && slot.marker >= -1 &&
                slot.marker <= 255);
    }
    const ImageRows rows = image_rows(image);
    for (const WaveformRow& row : rows.rows) {
        for (const WaveformPart& part : row.parts) {
            if (part.samples.empty()) {
                continue;
            }
            require(part.address >= 0 &&
                    part.address + part.count() <= static_cast<std::int64_t>(image.size()));
            const SampleRange all = part.range(0, part.count());
            const auto [lo, hi] = std::minmax_element(part.samples.begin(), part.samples.end());
            require(all.lo == *lo && all.hi == *hi);
            // A stretch in the middle, as a pixel column asks for it.
            const std::int64_t a = part.count() / 3;
            const std::int64_t b = part.count() - part.count() / 4;
            const SampleRange mid = part.range(a, b);
            require(a >= b || (mid.lo >= all.lo && mid.hi <= all.hi && !mid.empty()));
            const SeamCloseUp seam = loop_seam(part, 16);
            require(seam.before.size() <= 16 && seam.after.size() <= 16);
        }
        require(row.length() >= 0);
    }
}

void check_project_path(std::string_view bytes) {
    static const PathFixture fixture;
    const std::string name(bytes.substr(0, 4096));
    const ProjectFile file = resolve_project_file(fixture.project(), name);
    if (has_control_character(name)) {
        require(file.control_characters && file.path.empty());
        return;
    }
    require(!file.control_characters);
    if (file.outside || name.empty()) {
        return; // refused, or no name: no file at all
    }
    std::error_code ec;
    const fs::path real = fs::canonical(file.path, ec);
    if (!ec) {
        // A name that is not refused and names something there lies inside the folder (the
        // comparison by path elements holds for either separator).
        const fs::path inside = real.lexically_relative(fixture.project());
        require(!inside.empty() && inside != "." && *inside.begin() != "..");
    }
}

void check_audio_reader(std::string_view bytes) {
    AudioReader reader;
    std::string error;
    if (reader.open_memory(bytes, error) != PrepareCode::Ok) {
        require(!error.empty());
        return;
    }
    const SourceInfo& info = reader.info();
    require(info.rate > 0 && info.channels > 0 && !info.format.empty());
    std::vector<float> mono(4096);
    // A header may declare hours of samples: two million are plenty to meet every decoder path.
    while (reader.frames_read() < 2'000'000) {
        const std::size_t n = reader.read_mono(mono.data(), mono.size());
        if (n == 0) {
            break;
        }
        require(n <= mono.size());
        for (std::size_t i = 0; i < n; ++i) {
            require(std::isfinite(mono[i]));
        }
    }
    (void)reader.damage();
    require(reader.complaints() >= 0);
}

} // namespace melo::fuzz

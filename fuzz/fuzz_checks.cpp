#include "fuzz_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/cp1252.h"
#include "flash/image_dump.h"
#include "flash/waveform_model.h"
#include "prepare/audio_reader.h"
#include "project/ini_file.h"
#include "project/project_path.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

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
    void progress(int permille) override {
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
        for (const fs::path& file : {m_root / "outside/secret.wav", proj / "a.wav", proj / "Motor.WAV",
                                     proj / "motor.wav", proj / "Größe.wav", proj / "sub/x.wav", proj / "Sub2/Y.wav"}) {
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

} // namespace

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
        require(slot.slot >= 1 && slot.slot <= 12 && slot.samples >= 0 && slot.marker >= -1 && slot.marker <= 255);
    }
    const ImageRows rows = image_rows(image);
    for (const WaveformRow& row : rows.rows) {
        for (const WaveformPart& part : row.parts) {
            if (part.samples.empty()) {
                continue;
            }
            require(part.address >= 0 && part.address + part.count() <= static_cast<std::int64_t>(image.size()));
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
        // A name that is not refused and names something there lies inside the folder.
        const std::string inside = real.string();
        require(inside.size() > fixture.project().size() + 1 &&
                inside.compare(0, fixture.project().size() + 1, fixture.project() + "/") == 0);
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

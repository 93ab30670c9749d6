// Writes the two demo projects into the given directory (normally "examples"):
//   demo/           a base sound file and twelve WAV parts; the last one, kompressor_aus.wav, is
//                   prepared by melo_prepare from a 44.1 kHz stereo source in demo-quellen/
//   demo-warnings/  a small project whose parts have other sample rates than 13021 Hz
// Every byte is computed here, deterministically, so the committed files can be made again:
//   make_demo examples

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "prepare/sound_preparation.h"
#include "wav/wav_writer.h"

namespace {

bool write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

// A PCM WAV file whose samples (-1 to 1, per frame and channel) come from `signal(t, channel)`.
std::string wav(int rate, int channels, int bits, double seconds, const std::function<double(double, int)>& signal) {
    std::string data;
    const int frames = static_cast<int>(std::lround(rate * seconds));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            const double v = std::max(-1.0, std::min(1.0, signal(t, c)));
            if (bits == 8) {
                data += static_cast<char>(std::lround(128 + v * 127));
            } else {
                melo::append_sample16(data, static_cast<std::int16_t>(std::lround(v * 32767)));
            }
        }
    }
    return melo::pcm_wav(rate, channels, bits, data);
}

double fade(double t, double length) {
    return std::min({1.0, t / 0.01, (length - t) / 0.01});
}

// The base sound file: 170 bytes of our own header, the address table (filled by every run),
// then two short base sounds as unsigned 8-bit samples, each closed by a marker byte.
std::string base_file() {
    std::string bytes = "MELO Sound-Manager Demo-Basis 1.0";
    bytes.resize(170, '\0');
    bytes.append(36, '\xFF');
    for (int sound = 0; sound < 2; ++sound) {
        const double hz = sound == 0 ? 520.0 : 780.0;
        for (int i = 0; i < 1900; ++i) {
            const double v = std::sin(2 * M_PI * hz * i / 13021.0) * std::exp(-i / 900.0);
            bytes += static_cast<char>(std::lround(128 + v * 120));
        }
        bytes += '\0';
    }
    return bytes;
}

std::string project(const std::vector<std::string>& parts, const std::string& base) {
    static const char* const kKinds[3] = {"Anf", "Loop", "End"};
    std::string text = "[WAVs]\r\n";
    for (int i = 0; i < 12; ++i) {
        text += "Sound" + std::to_string(i / 3 + 1) + kKinds[i % 3] + "WAV=" + parts[static_cast<std::size_t>(i)] + "\r\n";
    }
    return text + "DSDfilename=" + base + "\r\n";
}

bool make_demo(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const double pi2 = 2 * M_PI;
    struct Part {
        const char* name;
        int channels;
        int bits;
        double seconds;
        std::function<double(double, int)> signal;
    };
    const std::vector<Part> parts = {
        // Sound A: a motor that starts, runs and stops.
        {"motor_an.wav", 1, 8, 0.40, [&](double t, int) { return 0.7 * std::sin(pi2 * (60 + 200 * t) * t) * fade(t, 0.40); }},
        {"motor_lauf.wav", 1, 16, 0.25, [&](double t, int) { return 0.6 * std::sin(pi2 * 140 * t) + 0.2 * std::sin(pi2 * 280 * t); }},
        {"motor_aus.wav", 2, 16, 0.35, [&](double t, int c) { return (0.7 - 0.2 * c) * std::sin(pi2 * (140 - 150 * t) * t) * fade(t, 0.35); }},
        // Sound B: a two-tone horn.
        {"horn_an.wav", 1, 8, 0.10, [&](double t, int) { return 0.8 * std::sin(pi2 * 370 * t) * std::min(1.0, t / 0.05); }},
        {"horn_lauf.wav", 2, 8, 0.30, [&](double t, int) { return 0.5 * std::sin(pi2 * 370 * t) + 0.3 * std::sin(pi2 * 466 * t); }},
        {"horn_aus.wav", 1, 16, 0.15, [&](double t, int) { return 0.8 * std::sin(pi2 * 370 * t) * (1 - t / 0.15); }},
        // Sound C: a bell.
        {"glocke_an.wav", 1, 16, 0.05, [&](double t, int) { return 0.9 * std::sin(pi2 * 880 * t) * fade(t, 0.05); }},
        {"glocke_lauf.wav", 1, 16, 0.50, [&](double t, int) { return std::sin(pi2 * 880 * t) * std::exp(-6 * t) * 0.9; }},
        {"glocke_aus.wav", 1, 8, 0.30, [&](double t, int) { return std::sin(pi2 * 660 * t) * std::exp(-8 * t) * 0.8; }},
        // Sound D: a compressor; its end part is left empty.
        {"kompressor_an.wav", 1, 8, 0.20, [&](double t, int) { return 0.6 * std::sin(pi2 * 90 * t) * std::sin(pi2 * 3 * t); }},
        {"kompressor_lauf.wav", 2, 16, 0.30, [&](double t, int c) { return 0.5 * std::sin(pi2 * (90 + c) * t) * (0.6 + 0.4 * std::sin(pi2 * 10 * t)); }},
    };
    std::vector<std::string> names;
    for (const Part& p : parts) {
        if (!write(dir / p.name, wav(13021, p.channels, p.bits, p.seconds, p.signal))) {
            return false;
        }
        names.emplace_back(p.name);
    }
    // Sound D's end part comes as users' sounds do: recorded at 44.1 kHz in stereo, quiet,
    // with silence around it. The preparation mixes, resamples, trims, matches its loudness
    // and writes 8-bit samples.
    const std::filesystem::path sources = dir.parent_path() / "demo-quellen";
    std::filesystem::create_directories(sources);
    const std::filesystem::path source = sources / "kompressor_aus_44k.wav";
    const auto release = [&](double t, int c) {
        const double s = t - 0.08;
        if (s < 0 || s > 0.45) {
            return 0.0;
        }
        const double hiss = std::sin(pi2 * 2100 * s + 3 * std::sin(pi2 * 37 * s)) * 0.3;
        return (0.25 + 0.05 * c) * (std::sin(pi2 * (90 - 60 * s) * s) + hiss) * std::exp(-7 * s) *
               std::min(1.0, s / 0.01);
    };
    melo::ProgressObserver quiet;
    // As the conversion window makes parts: the module's own 8-bit samples, rounded, at the
    // usual loudness, so the image takes them byte for byte.
    melo::PrepareOptions options;
    options.loudness_lufs = melo::kDefaultLoudnessLufs;
    options.trim_db = melo::kDefaultTrimDb;
    if (!write(source, wav(44100, 2, 16, 0.65, release)) ||
        melo::SoundPreparation()
                .run(source.string(), (dir / "kompressor_aus.wav").string(), options, quiet)
                .code != melo::PrepareCode::Ok) {
        return false;
    }
    names.emplace_back("kompressor_aus.wav");
    return write(dir / "demo.DS3", base_file()) && write(dir / "demo.DSP", project(names, "demo.DS3"));
}

bool make_warnings_demo(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const double pi2 = 2 * M_PI;
    // Recorded at other rates: the run warns and uses the samples as they are.
    return write(dir / "pfiff_22k.wav", wav(22050, 1, 16, 0.2, [&](double t, int) { return 0.7 * std::sin(pi2 * 1200 * t); })) &&
           write(dir / "zischen_44k.wav", wav(44100, 2, 16, 0.1, [&](double t, int) { return 0.5 * std::sin(pi2 * 3000 * t * t); })) &&
           write(dir / "basis.DSD", base_file()) &&
           write(dir / "warnungen.DSP",
                 project({"pfiff_22k.wav", "zischen_44k.wav", "", "", "(leer)", "", "", "", "", "", "", ""}, "basis.DSD"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo EXAMPLES_DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    return make_demo(root / "demo") && make_warnings_demo(root / "demo-warnings") ? 0 : 1;
}

// Synthesizes the three result sounds of a generation run into the given directory:
//   ok.wav    a rising three-note chime (success)
//   warn.wav  two equal mid tones (success with warnings)
//   nok.wav   a falling, buzzing two-tone (failure)
// 16-bit mono, 22050 Hz. Run by the build; the files are not kept in the repository.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "wav/wav_writer.h"

namespace {

constexpr int kRate = 22050;

struct Note {
    double hz;
    double seconds;
    bool buzz; // a square-ish tone instead of a sine with overtones
};

std::vector<double> render(const std::vector<Note>& notes) {
    std::vector<double> samples;
    for (const Note& n : notes) {
        const int count = static_cast<int>(n.seconds * kRate);
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double phase = 2 * std::numbers::pi * n.hz * t;
            double v = n.buzz ? std::tanh(4 * std::sin(phase)) * 0.7
                              : std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.1 * std::sin(3 * phase);
            // Short attack, exponential decay, so the notes stand apart without clicks.
            const double attack = std::min(1.0, t / 0.005);
            const double release = std::min(1.0, (n.seconds - t) / 0.01);
            v *= attack * release * std::exp(-3.0 * t / n.seconds);
            samples.push_back(v * 0.55);
        }
    }
    return samples;
}

bool write_wav(const std::string& path, const std::vector<double>& samples) {
    std::string data;
    for (double s : samples) {
        const double clamped = std::max(-1.0, std::min(1.0, s));
        melo::append_sample16(data, static_cast<std::int16_t>(std::lround(clamped * 32767)));
    }
    std::ofstream out(path, std::ios::binary);
    out << melo::pcm_wav(kRate, 1, 16, data);
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_result_sounds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = write_wav(dir + "/ok.wav", render({{523.25, 0.12, false}, {659.25, 0.12, false}, {783.99, 0.3, false}})) &&
                    write_wav(dir + "/warn.wav", render({{440.0, 0.2, false}, {0, 0.08, false}, {440.0, 0.25, false}})) &&
                    write_wav(dir + "/nok.wav", render({{220.0, 0.25, true}, {146.83, 0.45, true}}));
    return ok ? 0 : 1;
}

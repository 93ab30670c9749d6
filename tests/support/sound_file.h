#pragma once

// Writes audio files of any format libsndfile writes, so tests make their own FLAC, Ogg, MP3
// and float inputs.

#include <cmath>
#include <functional>
#include <sndfile.h>
#include <string>
#include <vector>

namespace sndtest {

// Writes `seconds` of `signal(t, channel)` (-1 to 1) as `format` (SF_FORMAT_* container and
// encoding). Returns false when libsndfile cannot write that format.
inline bool write_sound(const std::string& path, int format, int rate, int channels, double seconds,
                        const std::function<double(double, int)>& signal) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto frames = static_cast<std::size_t>(std::lround(rate * seconds));
    std::vector<double> data(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            data[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                signal(static_cast<double>(i) / rate, c);
        }
    }
    const bool ok = sf_writef_double(file, data.data(), static_cast<sf_count_t>(frames)) ==
                    static_cast<sf_count_t>(frames);
    return sf_close(file) == 0 && ok;
}

inline std::function<double(double, int)> sine(double hz, double amplitude) {
    return [=](double t, int) { return amplitude * std::sin(2 * M_PI * hz * t); };
}

} // namespace sndtest

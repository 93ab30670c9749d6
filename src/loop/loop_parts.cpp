#include "loop/loop_parts.h"

#include "common/captions.h"
#include "common/module_constants.h"
#include "wav/wav_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace melo {
namespace {

std::size_t at(std::int64_t i) {
    return static_cast<std::size_t>(i);
}

} // namespace

std::int64_t usable_crossfade(std::int64_t a, std::int64_t b, std::int64_t crossfade) {
    return std::max<std::int64_t>(0, std::min({crossfade, a, b - a}));
}

LoopParts cut_loop(std::span<const float> x, std::int64_t a, std::int64_t b,
                   std::int64_t crossfade) {
    const auto n = static_cast<std::int64_t>(x.size());
    a = std::clamp<std::int64_t>(a, 0, n);
    b = std::clamp<std::int64_t>(b, a, n);
    LoopParts parts;
    parts.start.assign(x.begin(), x.begin() + a);
    parts.loop.assign(x.begin() + a, x.begin() + b);
    parts.end.assign(x.begin() + b, x.end());
    const std::int64_t c = usable_crossfade(a, b, crossfade);
    if (c == 0) {
        return parts;
    }
    // The gains keep the power of the blend for the correlation the two stretches have: linear
    // for the same waveform, equal power for unrelated noise.
    double uv = 0.0;
    double uu = 0.0;
    double vv = 0.0;
    for (std::int64_t i = 0; i < c; ++i) {
        const double u = x[at(b - c + i)];
        const double v = x[at(a - c + i)];
        uv += u * v;
        uu += u * u;
        vv += v * v;
    }
    const double rho = uu > 0.0 && vv > 0.0 ? std::clamp(uv / std::sqrt(uu * vv), 0.0, 1.0) : 1.0;
    const auto blend = [rho](double from, double to, double t) {
        const double g_from = 1.0 - t;
        const double norm = std::sqrt(g_from * g_from + t * t + 2.0 * rho * g_from * t);
        return static_cast<float>((g_from * from + t * to) / norm);
    };
    // The loop's end runs into the material before a: its last sample is x[a - 1].
    for (std::int64_t i = 0; i < c; ++i) {
        const double t = static_cast<double>(i + 1) / static_cast<double>(c);
        parts.loop[at(b - a - c + i)] = blend(x[at(b - c + i)], x[at(a - c + i)], t);
    }
    // After the loop the sound carries on as after a, so the end part runs from there into
    // the material after b.
    for (std::int64_t i = 0; i < c && b + i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(c);
        parts.end[at(i)] = blend(x[at(a + i)], x[at(b + i)], t);
    }
    return parts;
}

std::vector<float> signal_of_frames(int bits, std::string_view frames) {
    std::vector<float> signal;
    if (bits == 8) {
        signal.reserve(frames.size());
        for (const char c : frames) {
            signal.push_back(static_cast<float>(static_cast<unsigned char>(c) - 128) / 128.0f);
        }
        return signal;
    }
    signal.reserve(frames.size() / 2);
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
        const auto v = static_cast<std::int16_t>(static_cast<unsigned char>(frames[i]) |
                                                 static_cast<unsigned char>(frames[i + 1]) << 8);
        signal.push_back(static_cast<float>(v) / 32768.0f);
    }
    return signal;
}

std::string frames_of_signal(int bits, std::span<const float> signal) {
    std::string frames;
    if (bits == 8) {
        frames.reserve(signal.size());
        for (const float x : signal) {
            const double v = std::round(static_cast<double>(x) * 128.0 + 128.0);
            frames.push_back(static_cast<char>(
                static_cast<unsigned char>(std::clamp<double>(v, kMinSample, kMaxSample))));
        }
        return frames;
    }
    frames.reserve(signal.size() * 2);
    for (const float x : signal) {
        const double v = std::round(static_cast<double>(x) * 32768.0);
        append_sample16(frames, static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
    }
    return frames;
}

std::array<std::string, 3> loop_part_names(const std::string& stem) {
    std::array<std::string, 3> names;
    for (int part = 0; part < 3; ++part) {
        std::string title = part_title(part);
        std::transform(title.begin(), title.end(), title.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names[static_cast<std::size_t>(part)] = stem + "_" + title + ".wav";
    }
    return names;
}

std::vector<FolderFile> loop_part_files(const std::string& stem, const LoopParts& parts,
                                        std::int32_t rate, int bits) {
    const std::array<std::string, 3> names = loop_part_names(stem);
    std::vector<FolderFile> files;
    std::size_t i = 0;
    for (const std::vector<float>* part : {&parts.start, &parts.loop, &parts.end}) {
        if (part->empty()) {
            files.push_back({});
        } else {
            files.push_back({names[i], pcm_wav(rate, 1, bits, frames_of_signal(bits, *part))});
        }
        ++i;
    }
    return files;
}

} // namespace melo

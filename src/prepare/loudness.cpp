#include "prepare/loudness.h"

#include "common/module_constants.h"
#include "common/number_format.h"
#include "prepare/audio_reader.h"
#include "prepare/quantizer.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>

namespace melo {

struct LoudnessMeter::State {
    ebur128_state* st = nullptr;
    ~State() {
        if (st != nullptr) {
            ebur128_destroy(&st);
        }
    }
};

LoudnessMeter::LoudnessMeter(int channels, std::int32_t rate, bool true_peak)
    : m_state(std::make_unique<State>()), m_channels(channels) {
    if (channels > 0 && rate > 0) {
        m_state->st = ebur128_init(
            static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
            EBUR128_MODE_I | (true_peak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK));
    }
}

LoudnessMeter::~LoudnessMeter() = default;

bool LoudnessMeter::valid() const {
    return m_state->st != nullptr;
}

void LoudnessMeter::add(const float* interleaved, std::size_t frames) {
    if (valid() && frames > 0) {
        ebur128_add_frames_float(m_state->st, interleaved, frames);
    }
}

Loudness LoudnessMeter::result() const {
    Loudness l;
    if (!valid()) {
        return l;
    }
    double lufs = 0.0;
    if (ebur128_loudness_global(m_state->st, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs)) {
        l.integrated_lufs = lufs;
    }
    for (int c = 0; c < m_channels; ++c) {
        double peak = 0.0;
        if ((m_state->st->mode & EBUR128_MODE_TRUE_PEAK) == EBUR128_MODE_TRUE_PEAK &&
            ebur128_true_peak(m_state->st, static_cast<unsigned>(c), &peak) == EBUR128_SUCCESS) {
            l.true_peak = std::max(l.true_peak, peak);
        }
        if (ebur128_sample_peak(m_state->st, static_cast<unsigned>(c), &peak) == EBUR128_SUCCESS) {
            l.sample_peak = std::max(l.sample_peak, peak);
        }
    }
    return l;
}

Loudness measure_loudness(const float* mono, std::size_t n, std::int32_t rate, bool true_peak) {
    LoudnessMeter meter(1, rate, true_peak);
    meter.add(mono, n);
    return meter.result();
}

std::optional<double> module_loudness(const std::vector<std::uint8_t>& samples) {
    LoudnessMeter meter(1, kTargetFreq, false);
    std::vector<float> block;
    constexpr std::size_t kBlock = 65536;
    for (std::size_t at = 0; at < samples.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, samples.size() - at);
        block.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            block[i] = static_cast<float>((samples[at + i] - 128.0) / kEightBitFullScale);
        }
        meter.add(block.data(), n);
    }
    return meter.result().integrated_lufs;
}

bool measure_file_loudness(const std::string& path, Loudness& loudness, std::string& error) {
    AudioReader reader;
    if (reader.open(path, error) != PrepareCode::Ok) {
        return false;
    }
    LoudnessMeter meter(reader.info().channels, reader.info().rate);
    if (!meter.valid()) {
        error = "Lautheit bei " + std::to_string(reader.info().rate) + " Hz nicht messbar";
        return false;
    }
    std::size_t n = 0;
    for (const float* block = reader.read_frames(16384, n); n > 0;
         block = reader.read_frames(16384, n)) {
        meter.add(block, n);
    }
    if (error = reader.damage(); !error.empty()) {
        return false;
    }
    loudness = meter.result();
    return true;
}

LoudnessGain loudness_gain(const Loudness& measured, double target_lufs, double peak_limit) {
    LoudnessGain g;
    if (!measured.integrated_lufs) {
        return g;
    }
    g.gain_db = target_lufs - *measured.integrated_lufs;
    if (measured.sample_peak > 0.0) {
        const double room_db = 20.0 * std::log10(peak_limit / measured.sample_peak);
        if (g.gain_db > room_db) {
            g.gain_db = room_db;
            g.limited = true;
        }
    }
    g.reached_lufs = *measured.integrated_lufs + g.gain_db;
    return g;
}

namespace {

std::string decibels(double value) {
    return format_one_decimal(value);
}

} // namespace

std::string lufs_text(const std::optional<double>& lufs, char decimal_separator) {
    return lufs ? format_one_decimal(*lufs, decimal_separator) + " LUFS" : "– LUFS";
}

std::string loudness_text(const Loudness& l) {
    const std::string peak =
        l.true_peak > 0.0 ? decibels(20.0 * std::log10(l.true_peak)) + " dBTP" : "-inf dBTP";
    if (!l.integrated_lufs) {
        return "Lautheit nicht messbar (zu kurz oder zu leise), True Peak " + peak;
    }
    return "Lautheit " + lufs_text(l.integrated_lufs) + ", True Peak " + peak;
}

} // namespace melo

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace melo {

// Bounds and default of the loudness target.
inline constexpr double kDefaultLoudnessLufs = -16.0;
inline constexpr double kMinLoudnessLufs = -40.0;
inline constexpr double kMaxLoudnessLufs = -5.0;

// What a loudness measurement found. Integrated loudness after ITU-R BS.1770 / EBU R128 with
// its gates; a signal shorter than one 400 ms block, or all below the absolute gate, has none.
struct Loudness {
    std::optional<double> integrated_lufs;
    double true_peak = 0.0;   // full scale 1, from four times oversampling
    double sample_peak = 0.0; // full scale 1
};

// Measures the loudness of interleaved float samples (full scale 1) fed block by block, with
// libebur128.
class LoudnessMeter {
public:
    // A meter for `channels` channels at `rate` Hz, with the true peak (four times oversampled,
    // which costs most of the time) when `true_peak`; valid() is false when the library refuses.
    LoudnessMeter(int channels, std::int32_t rate, bool true_peak = true);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool valid() const;
    void add(const float* interleaved, std::size_t frames);
    Loudness result() const;

private:
    struct State; // libebur128's, kept out of this header
    std::unique_ptr<State> m_state;
    int m_channels = 0;
};

// The loudness of `n` mono samples at `rate`; its true peak only when `true_peak`.
Loudness measure_loudness(const float* mono, std::size_t n, std::int32_t rate,
                          bool true_peak = true);

// The integrated loudness of the module's 8-bit samples (1..254 around 128) at its rate, as a
// part of an image plays; none when the part is too short or silent.
std::optional<double> module_loudness(const std::vector<std::uint8_t>& samples);

// The loudness of the audio file `path`, all its channels weighted as BS.1770 says. Returns
// false with the German reason in `error` when the file cannot be read as audio.
bool measure_file_loudness(const std::string& path, Loudness& loudness, std::string& error);

// The gain that brings `measured` to `target_lufs`, limited so that its sample peak stays at
// or below `peak_limit` (full scale 1).
struct LoudnessGain {
    double gain_db = 0.0;
    double reached_lufs = 0.0;
    bool limited = false; // the peak limited the gain: `reached_lufs` lies below the target
};
LoudnessGain loudness_gain(const Loudness& measured, double target_lufs, double peak_limit);

// "Lautheit -16,0 LUFS, True Peak -1,2 dBTP", or with "Lautheit nicht messbar (zu kurz oder
// zu leise)" when there is no integrated loudness.
std::string loudness_text(const Loudness& loudness);

// "-16.0 LUFS", or "– LUFS" when there is none: the short form for a part's header.
std::string lufs_text(const std::optional<double>& lufs, char decimal_separator = '.');

} // namespace melo

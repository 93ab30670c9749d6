#pragma once

#include "common/module_constants.h"
#include "prepare/loudness.h"
#include "prepare/prepare_types.h"
#include "prepare/quantizer.h"
#include "wav/wav_decoder.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace melo {

// Bounds and defaults of the preparation's settings.
inline constexpr std::int32_t kMinPrepareRate = 1000;
inline constexpr std::int32_t kMaxPrepareRate = 192000;
inline constexpr double kDefaultNormalizeDb = -1.0;
inline constexpr double kMinNormalizeDb = -60.0;
inline constexpr double kDefaultTrimDb = -48.0; // half a step of the module's 8-bit samples
inline constexpr double kMinTrimDb = -120.0;
// The most samples a prepared file may hold: one fewer than fills the decoder's buffer.
inline constexpr std::int64_t kMaxPreparedSamples = kMaxSamples - 1;

// The dither of 8-bit output when none is asked for: rounding alone (see Dither).
inline constexpr Dither kDefaultDither = Dither::None;

// What a preparation does besides mixing to mono and converting the sample rate.
struct PrepareOptions {
    std::int32_t rate = kTargetFreq;    // the output's sample rate
    int bits = 8;                       // 8: the module's samples (1..254); 16: a master to keep
    Dither dither = kDefaultDither;     // of 8-bit output
    std::optional<double> normalize_db; // peak level in dBFS (kMinNormalizeDb to 0), or none
    std::optional<double> loudness_lufs; // integrated loudness (kMinLoudnessLufs to
                                         // kMaxLoudnessLufs), or none; not with normalize_db
    std::optional<double> trim_db;      // silence threshold in dBFS (kMinTrimDb to 0), or none
};

struct PrepareResult {
    PrepareCode code = PrepareCode::Ok;
    std::string message; // German, for every code but Ok
    SourceInfo source;
    std::int64_t samples = 0;       // written to the output
    double gain_db = 0.0;           // applied by normalizing or loudness matching
    bool silent = false;            // normalizing found nothing but silence and left it
    std::optional<double> loudness_measured; // loudness matching: the input's loudness (LUFS),
    std::optional<double> loudness_reached;  // the output's, none when it was not measurable,
    bool loudness_limited = false;           // and whether the peak held it below the target
    std::int64_t trimmed_front = 0; // samples of silence cut at the start (output rate)
    std::int64_t trimmed_back = 0;  // and at the end
    std::int64_t clipped = 0;       // samples beyond full scale, limited to it
    std::int64_t stream_errors = 0; // damaged data the decoder concealed and read past
};

// Told of the preparation's progress; called on the thread that runs it.
class PrepareObserver {
public:
    virtual ~PrepareObserver() = default;
    // The per-mille share of the input read so far, each time it changes.
    virtual void progress(int permille) { (void)permille; }
};

// A prepared sound held in memory: the mono sample frames run() writes into its file.
struct PreparedSound {
    std::int32_t rate = 0;
    int bits = 0;       // 8 (unsigned) or 16 (signed, little-endian)
    std::string frames; // the data chunk's bytes
};

// Turns any audio file the reader knows into a canonical mono PCM WAV, unsigned 8-bit samples
// within 1..254 that the generation run takes byte for byte (or 16-bit): the mean of the
// channels, converted to the output rate with very high quality, optionally trimmed of
// leading and trailing silence and normalized to a peak level or matched to a loudness. The input
// is read in blocks, and the output is held only up to the decoder's limit, so memory stays bounded
// for any input length. The output file is replaced atomically, and only on success.
class SoundPreparation {
public:
    // Converts `input` into `output` (which may be the input itself). Returns the result with
    // a German message for every failure; a failed or cancelled run leaves no output.
    PrepareResult run(const std::string& input, const std::string& output,
                      const PrepareOptions& options, PrepareObserver& observer);
    // Prepares `input` as run() does, but into `sound` instead of a file.
    PrepareResult prepare(const std::string& input, const PrepareOptions& options,
                          PrepareObserver& observer, PreparedSound& sound);
    // Makes the running (or just starting) run stop at its next block with Cancelled; the
    // run clears it when it ends, so a run started later runs in full. Safe from any thread.
    void cancel() { m_cancel.store(true); }

private:
    // convert() with the cancel cleared at its end and every exception turned into a result.
    PrepareResult guarded_convert(const std::string& input, const PrepareOptions& options,
                                  PrepareObserver& observer, std::string& out);
    // The conversion: appends the output's sample bytes to `out`.
    PrepareResult convert(const std::string& input, const PrepareOptions& options,
                          PrepareObserver& observer, std::string& out);

    std::atomic<bool> m_cancel{false};
};

// Reads what the file header says about `path`. Returns false with the German reason in
// `error` (and the code in `code`, when given) when the file cannot be read as audio.
bool probe_sound(const std::string& path, SourceInfo& info, std::string& error,
                 PrepareCode* code = nullptr);

// True when the generation run takes `path` as it is: a header-only decode gives code 0
// (8/16-bit PCM, mono or stereo) and the sample rate is `rate`.
bool ready_for_module(const std::string& path, std::int32_t rate = kTargetFreq);

// The output file name for `input_path` at `rate`: its stem with ".wav", or the stem, "_",
// the rate and ".wav" where the first would be the input file itself in `target_dir`.
std::string prepared_file_name(const std::string& input_path, const std::string& target_dir,
                               std::int32_t rate);

// "FLAC, 16 bit PCM, 44100 Hz, 2 Kanäle, 0m 3.00s": what the file is.
std::string describe_source(const SourceInfo& info);

// "13021 Hz, 1 Kanal, 8 bit, 39063 Samples (0m 3.00s); aus 2 Kanälen gemischt; ...": what a
// successful run wrote and did.
std::string describe_result(const PrepareResult& result, const PrepareOptions& options);

// The German reason why `options` cannot be used, or "" when they can.
std::string check_options(const PrepareOptions& options);

} // namespace melo

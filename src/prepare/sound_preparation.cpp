#include "prepare/sound_preparation.h"

#include "common/atomic_file.h"
#include "common/number_format.h"
#include "common/progress.h"
#include "prepare/audio_reader.h"
#include "prepare/output_level.h"
#include "wav/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <soxr.h>
#include <vector>

namespace melo {
namespace {

constexpr std::size_t kBlockFrames = 16384;

PrepareResult failure(PrepareResult r, PrepareCode code, std::string message) {
    r.code = code;
    r.message = std::move(message);
    return r;
}

std::string too_long_text(std::int32_t rate) {
    return "zu lang: ein Teil hat höchstens " + std::to_string(kMaxPreparedSamples) + " Samples (" +
           play_time_text(static_cast<double>(kMaxPreparedSamples) / rate) + " bei " +
           std::to_string(rate) + " Hz)";
}

std::string db_text(double db) {
    return format_one_decimal(db);
}

// Collects the converted samples: drops leading silence, keeps the rest up to the decoder's
// limit and cuts trailing silence. The samples since the last sound above the threshold are
// held back (cut, unless sound follows); the kept ones go on at once into the quantizer when
// the output level is fixed in advance, else they stay in samples() for the level to be
// planned over the whole part. So a conversion at the input's own level holds no signal
// beyond a pause that is not over yet.
class Collector {
public:
    // `quantizer` (with `out`, where its bytes go) takes the kept samples, or nullptr.
    // `expected`: how many samples the input will give, to hold them without regrowing.
    Collector(std::optional<double> trim_db, Quantizer* quantizer, std::string& out,
              std::size_t expected)
        : m_quantizer(quantizer), m_out(out) {
        if (trim_db) {
            m_threshold = static_cast<float>(std::pow(10.0, *trim_db / 20.0));
        }
        m_samples.reserve(expected); // only touched as far as it is filled
    }

    // Takes `n` samples; false once the part has become too long.
    bool take(const float* x, std::size_t n) {
        std::size_t i = 0;
        if (!m_started) {
            while (i < n && !loud(x[i])) {
                ++i;
            }
            m_front += static_cast<std::int64_t>(i);
            m_started = i < n;
        }
        const auto room = static_cast<std::size_t>(kMaxPreparedSamples - m_kept) - held();
        const std::size_t end = i + std::min(n - i, room);
        std::size_t last = end; // behind the last loud sample up to the limit
        while (last > i && !loud(x[last - 1])) {
            --last;
        }
        if (last > i) {
            keep_through(x + i, last - i);
        }
        m_samples.insert(m_samples.end(), x + last, x + end);
        for (std::size_t k = end; k < n; ++k) {
            if (loud(x[k])) {
                return false;
            }
            ++m_dropped; // silence beyond the limit: it can only be trailing silence
        }
        return true;
    }

    // The end of the input: cuts what is held back. `front` and `back` receive how many
    // samples were cut before the first sound and behind the last.
    void finish(std::int64_t& front, std::int64_t& back) {
        front = m_front;
        back = static_cast<std::int64_t>(held()) + m_dropped;
        m_samples.resize(m_samples.size() - held());
    }

    // How many samples were kept.
    std::int64_t kept() const { return m_kept; }
    // The kept samples, when no quantizer took them.
    std::vector<float>& samples() { return m_samples; }

private:
    bool loud(float x) const { return std::fabs(x) >= m_threshold; }
    std::size_t held() const { return m_samples.size() - m_kept_here; }

    // The held samples and `n` more are kept.
    void keep_through(const float* x, std::size_t n) {
        m_kept += static_cast<std::int64_t>(held() + n);
        if (m_quantizer != nullptr) {
            m_quantizer->add(m_samples.data(), m_samples.size(), m_out);
            m_quantizer->add(x, n, m_out);
            m_samples.clear();
        } else {
            m_samples.insert(m_samples.end(), x, x + n);
            m_kept_here = m_samples.size();
        }
    }

    float m_threshold = 0.0f; // 0 without trimming: every sample counts as sound
    Quantizer* m_quantizer;
    std::string& m_out;
    std::vector<float> m_samples; // the kept ones no quantizer took, then the held ones
    std::size_t m_kept_here = 0;  // of them kept
    std::int64_t m_kept = 0;
    bool m_started = false;
    std::int64_t m_front = 0;
    std::int64_t m_dropped = 0;
};

// Output samples per input sample.
double ratio(std::int32_t from, std::int32_t to) {
    return static_cast<double>(to) / from;
}

// The resampling step: libsoxr at very high quality, its output handed on to the collector.
// The input goes in pieces small enough that their output fits one fixed buffer, so memory
// stays the same whatever the ratio of the rates (a file that declares 1 Hz, converted to
// 192 kHz, makes 192,000 samples of each one).
class Resampler {
public:
    Resampler(std::int32_t from, std::int32_t to) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        m_soxr.reset(soxr_create(from, to, 1, &error, &io, &quality, nullptr));
        if (error != nullptr) {
            m_soxr.reset();
        }
        m_out.resize(kOutFrames);
        m_piece = std::clamp<std::size_t>(static_cast<std::size_t>(kOutFrames / 2 / ratio(from, to)), 1, kBlockFrames);
    }
    bool ok() const { return m_soxr != nullptr; }

    // Converts `n` samples into `collector`. Returns false once the part has become too long.
    bool feed(const float* in, std::size_t n, Collector& collector) {
        while (n > 0) {
            std::size_t used = 0;
            std::size_t made = 0;
            soxr_process(m_soxr.get(), in, std::min(n, m_piece), &used, m_out.data(), m_out.size(), &made);
            if (!collector.take(m_out.data(), made)) {
                return false;
            }
            in += used;
            n -= used;
            // What the piece made beyond one buffer waits in the filter: take it now.
            if (made == m_out.size() && !drain(in, collector)) {
                return false;
            }
        }
        return true;
    }

    // The end of the input: flushes what the filter holds into `collector` and frees the
    // filter, whose tables at a large ratio are as big as the part itself. Returns false
    // once the part has become too long.
    bool finish(Collector& collector) {
        const bool ok = drain(nullptr, collector);
        m_soxr.reset();
        std::vector<float>().swap(m_out);
        return ok;
    }

private:
    static constexpr std::size_t kOutFrames = 65536; // 256 KiB of output at a time

    // Takes what the filter holds until it gives no more; with `in` nullptr it is the end of
    // the input and the filter flushes its tail.
    bool drain(const float* in, Collector& collector) {
        std::size_t made = 0;
        do {
            std::size_t used = 0;
            soxr_process(m_soxr.get(), in, 0, &used, m_out.data(), m_out.size(), &made);
            if (!collector.take(m_out.data(), made)) {
                return false;
            }
        } while (made > 0 && (in == nullptr || made == m_out.size()));
        return true;
    }

    std::unique_ptr<soxr, decltype(&soxr_delete)> m_soxr{nullptr, &soxr_delete};
    std::vector<float> m_out;
    std::size_t m_piece = 1; // input samples per call
};

// The samples the resampler will make of the whole input, when its length is known, up to
// the most a part may have.
std::size_t expected_samples(const SourceInfo& source, std::int32_t rate) {
    if (source.frames < 0) {
        return 0;
    }
    const double samples =
        std::ceil(static_cast<double>(source.frames) * ratio(source.rate, rate)) + 16;
    return static_cast<std::size_t>(std::min(samples, static_cast<double>(kMaxPreparedSamples)));
}

// What the loudness matching did: the loudness reached, and why it is not the target.
std::string loudness_result_text(const PrepareResult& r, double target) {
    if (r.silent) {
        return "nur Stille, Lautheit nicht angeglichen";
    }
    if (!r.loudness_reached || !r.loudness_measured) {
        return "Lautheit nicht messbar (kürzer als 0,4 s oder zu leise), Pegel unverändert";
    }
    std::string text = "Lautheit " + lufs_text(r.loudness_measured) + " -> " + lufs_text(r.loudness_reached) +
                       " (" + (r.gain_db >= 0 ? "+" : "") + format_one_decimal(r.gain_db) + " dB)";
    if (r.loudness_limited) {
        text += ", durch den Spitzenpegel begrenzt statt " + lufs_text(target);
    }
    return text;
}

// Why a run collected no samples.
std::string empty_text(const AudioReader& reader, const PrepareOptions& options) {
    if (reader.frames_read() == 0) {
        return "Datei enthält keine Samples";
    }
    return options.trim_db ? "Datei enthält nur Stille unter " + db_text(*options.trim_db) + " dBFS"
                           : "Datei ergibt bei dieser Abtastrate keine Samples";
}

// The reading and mixing step, with resampling block by block: reads the input to its end
// into `collector`. Returns Ok, Cancelled once `cancel` is set, or TooLong.
PrepareCode read_and_resample(AudioReader& reader, Resampler& resampler, Collector& collector,
                              PrepareObserver& observer, const std::atomic<bool>& cancel) {
    std::vector<float> mono(kBlockFrames);
    const std::int64_t total = reader.info().frames;
    int shown = -1;
    while (true) {
        if (cancel.load()) {
            return PrepareCode::Cancelled;
        }
        const std::size_t n = reader.read_mono(mono.data(), mono.size());
        if (n == 0) {
            break;
        }
        if (!resampler.feed(mono.data(), n, collector)) {
            return PrepareCode::TooLong;
        }
        if (total > 0) {
            const int permille = std::min(1000, permille_of(reader.frames_read(), total));
            if (permille != shown) {
                shown = permille;
                observer.progress(permille);
            }
        }
    }
    return resampler.finish(collector) ? PrepareCode::Ok : PrepareCode::TooLong;
}

// Why an input is not converted before it is read, or Ok: a file that says it is too long
// (without trimming), or a rate below the lowest output rate, which is no recording but a
// broken header (a WAV that declares 1 Hz): converting it would make a whole part of each few
// samples, and libsoxr's filter would hold as much.
PrepareCode refused_source(const SourceInfo& source, const PrepareOptions& options,
                           std::string& error) {
    if (!options.trim_db && source.frames >= 0 &&
        static_cast<double>(source.frames) * ratio(source.rate, options.rate) >
            kMaxPreparedSamples + 2) {
        error = too_long_text(options.rate);
        return PrepareCode::TooLong;
    }
    if (source.rate < kMinPrepareRate) {
        error = "Abtastrate " + std::to_string(source.rate) +
                " Hz wird nicht unterstützt (mindestens " + std::to_string(kMinPrepareRate) +
                " Hz)";
        return PrepareCode::UnknownFormat;
    }
    return PrepareCode::Ok;
}

// Copies what the level step did into the result.
void take_level(PrepareResult& r, const OutputLevel& level) {
    r.silent = level.silent;
    r.gain_db = level.gain_db;
    r.loudness_measured = level.measured_lufs;
    r.loudness_reached = level.reached_lufs;
    r.loudness_limited = level.limited;
}

} // namespace

std::string check_options(const PrepareOptions& o) {
    if (!(o.rate >= kMinPrepareRate && o.rate <= kMaxPrepareRate)) {
        return "Abtastrate " + std::to_string(o.rate) + " Hz liegt nicht zwischen " +
               std::to_string(kMinPrepareRate) + " und " + std::to_string(kMaxPrepareRate) + " Hz";
    }
    if (o.normalize_db && !(*o.normalize_db >= kMinNormalizeDb && *o.normalize_db <= 0.0)) {
        return "Normalisierpegel liegt nicht zwischen " + db_text(kMinNormalizeDb) + " und 0 dBFS";
    }
    if (o.trim_db && !(*o.trim_db >= kMinTrimDb && *o.trim_db <= 0.0)) {
        return "Stilleschwelle liegt nicht zwischen " + db_text(kMinTrimDb) + " und 0 dBFS";
    }
    if (o.bits != 8 && o.bits != 16) {
        return std::to_string(o.bits) + " bit: nur 8 oder 16 bit möglich";
    }
    if (o.loudness_lufs &&
        !(*o.loudness_lufs >= kMinLoudnessLufs && *o.loudness_lufs <= kMaxLoudnessLufs)) {
        return "Lautheit liegt nicht zwischen " + db_text(kMinLoudnessLufs) + " und " +
               db_text(kMaxLoudnessLufs) + " LUFS";
    }
    if (o.loudness_lufs && o.normalize_db) {
        return "entweder auf einen Spitzenpegel normalisieren oder die Lautheit angleichen";
    }
    return {};
}

PrepareResult SoundPreparation::run(const std::string& input, const std::string& output,
                                    const PrepareOptions& options, PrepareObserver& observer) {
    // The file is made in one string: the samples go in behind the header's place.
    std::string file(kWavHeaderBytes, '\0');
    PrepareResult r = guarded_convert(input, options, observer, file);
    if (r.code != PrepareCode::Ok) {
        return r;
    }
    file.replace(0, kWavHeaderBytes,
                 pcm_wav_header(options.rate, 1, options.bits, file.size() - kWavHeaderBytes));
    if (std::string error; !replace_file(output, file, &error)) {
        return failure(r, PrepareCode::WriteFailed, "Zieldatei: " + error);
    }
    return r;
}

PrepareResult SoundPreparation::prepare(const std::string& input, const PrepareOptions& options,
                                        PrepareObserver& observer, PreparedSound& sound) {
    sound = PreparedSound();
    const PrepareResult r = guarded_convert(input, options, observer, sound.frames);
    if (r.code == PrepareCode::Ok) {
        sound.rate = options.rate;
        sound.bits = options.bits;
    } else {
        sound = PreparedSound();
    }
    return r;
}

PrepareResult SoundPreparation::guarded_convert(const std::string& input,
                                                const PrepareOptions& options,
                                                PrepareObserver& observer, std::string& out) {
    // A cancel ends the run it meets, also one whose worker has not reached its first block
    // yet, and is cleared when that run ends, so it never reaches the next one.
    struct ClearCancel {
        std::atomic<bool>& flag;
        ~ClearCancel() { flag.store(false); }
    } clear_cancel{m_cancel};
    // Nothing may leave a conversion: it runs on the window's worker thread too, where an
    // exception would end the program. The output is written only at the very end, so a
    // conversion that ends here leaves none.
    try {
        return convert(input, options, observer, out);
    } catch (const std::bad_alloc&) {
        return failure({}, PrepareCode::NoMemory, "Der Arbeitsspeicher reicht für diese Umwandlung nicht aus");
    } catch (...) {
        return failure({}, PrepareCode::Failed, "Die Umwandlung ist an einem inneren Fehler gescheitert");
    }
}

PrepareResult SoundPreparation::convert(const std::string& input, const PrepareOptions& options,
                                        PrepareObserver& observer, std::string& out) {
    PrepareResult r;
    if (std::string bad = check_options(options); !bad.empty()) {
        return failure(r, PrepareCode::BadOptions, bad);
    }
    AudioReader reader;
    std::string error;
    if (const PrepareCode code = reader.open(input, error); code != PrepareCode::Ok) {
        return failure(r, code, error);
    }
    r.source = reader.info();
    if (const PrepareCode code = refused_source(r.source, options, error);
        code != PrepareCode::Ok) {
        return failure(r, code, error);
    }
    Resampler resampler(r.source.rate, options.rate);
    if (!resampler.ok()) {
        return failure(r, PrepareCode::UnknownFormat,
                       "Abtastrate " + std::to_string(r.source.rate) +
                           " Hz kann nicht umgerechnet werden");
    }
    // At the input's own level the samples are quantized as they come; a level planned over
    // the whole part (normalizing, loudness) needs them all first.
    const bool planned = options.normalize_db || options.loudness_lufs;
    OutputLevel level =
        plan_output_level(nullptr, 0, options.rate, options.bits, std::nullopt, std::nullopt);
    Quantizer quantizer(options.bits, level.steps, options.dither, options.rate);
    const std::size_t expected = expected_samples(r.source, options.rate);
    Collector collector(options.trim_db, planned ? nullptr : &quantizer, out, expected);
    if (!planned) {
        out.reserve(out.size() + expected * static_cast<std::size_t>(options.bits / 8));
    }
    if (const PrepareCode code =
            read_and_resample(reader, resampler, collector, observer, m_cancel);
        code != PrepareCode::Ok) {
        return failure(r, code, code == PrepareCode::Cancelled ? "Umwandlung abgebrochen" : too_long_text(options.rate));
    }
    r.stream_errors = reader.complaints();
    if (std::string damage = reader.damage(); !damage.empty()) {
        return failure(r, PrepareCode::Damaged, damage);
    }
    collector.finish(r.trimmed_front, r.trimmed_back);
    if (collector.kept() == 0) {
        return failure(r, PrepareCode::Empty, empty_text(reader, options));
    }
    if (planned) {
        std::vector<float>& samples = collector.samples();
        level = plan_output_level(samples.data(), samples.size(), options.rate, options.bits,
                                  options.normalize_db, options.loudness_lufs);
        quantizer = Quantizer(options.bits, level.steps, options.dither, options.rate);
        quantizer.add(samples.data(), samples.size(), out);
        std::vector<float>().swap(samples);
    }
    r.clipped = quantizer.finish(out);
    r.samples = collector.kept();
    take_level(r, level);
    observer.progress(1000);
    return r;
}

bool probe_sound(const std::string& path, SourceInfo& info, std::string& error, PrepareCode* code) {
    AudioReader reader;
    const PrepareCode c = reader.open(path, error);
    if (code != nullptr) {
        *code = c;
    }
    info = reader.info();
    return c == PrepareCode::Ok;
}

bool ready_for_module(const std::string& path, std::int32_t rate) {
    DecodedSound sound;
    return decode_sound(path, false, sound) == kDecodeOk && sound.wavfreq == rate;
}

std::string prepared_file_name(const std::string& input_path, const std::string& target_dir,
                               std::int32_t rate) {
    namespace fs = std::filesystem;
    const std::string stem = utf8_path(native_path(input_path).stem());
    std::error_code ec;
    if (fs::equivalent(native_path(input_path), native_path(target_dir) / native_path(stem + ".wav"), ec)) {
        return stem + "_" + std::to_string(rate) + ".wav";
    }
    return stem + ".wav";
}

std::string describe_source(const SourceInfo& info) {
    std::string text = info.format + ", " + std::to_string(info.rate) + " Hz, " +
                       std::to_string(info.channels) +
                       (info.channels == 1 ? " Kanal, " : " Kanäle, ");
    if (info.frames < 0 || info.rate <= 0) {
        return text + "Länge unbekannt";
    }
    return text + play_time_text(static_cast<double>(info.frames) / info.rate);
}

std::string describe_result(const PrepareResult& r, const PrepareOptions& o) {
    std::string text = std::to_string(o.rate) + " Hz, 1 Kanal, " + std::to_string(o.bits) + " bit" +
                       (o.bits == 8 && o.dither == Dither::Tpdf ? " mit TPDF-Dither, " : ", ") +
                       std::to_string(r.samples) + " Samples (" +
                       play_time_text(static_cast<double>(r.samples) / o.rate) + ")";
    if (r.source.channels > 1) {
        text += "; aus " + std::to_string(r.source.channels) + " Kanälen gemischt";
    }
    if (r.source.rate != o.rate) {
        text += "; von " + std::to_string(r.source.rate) + " Hz umgerechnet";
    }
    if (o.trim_db) {
        text += "; Stille unter " + db_text(*o.trim_db) +
                " dBFS entfernt: " + play_time_text(static_cast<double>(r.trimmed_front) / o.rate) +
                " am Anfang, " + play_time_text(static_cast<double>(r.trimmed_back) / o.rate) +
                " am Ende";
    }
    if (o.normalize_db) {
        text += r.silent ? "; nur Stille, nicht normalisiert"
                         : "; auf " + db_text(*o.normalize_db) + " dBFS normalisiert (" +
                               (r.gain_db >= 0 ? "+" : "") + db_text(r.gain_db) + " dB)";
    }
    if (o.loudness_lufs) {
        text += "; " + loudness_result_text(r, *o.loudness_lufs);
    }
    if (r.clipped > 0) {
        text += "; " + std::to_string(r.clipped) + " Samples auf Vollaussteuerung begrenzt";
    }
    if (r.stream_errors > 0) {
        text += "; Warnung: beim Lesen " + std::to_string(r.stream_errors) + " Fehler im Datenstrom";
    }
    return text;
}

} // namespace melo

#include "prepare/sound_preparation.h"

#include "common/atomic_file.h"
#include "common/number_format.h"
#include "common/progress.h"
#include "prepare/audio_reader.h"
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
// limit and remembers where the last sound above the threshold ended, so trailing silence
// can be cut without holding more than a part may have.
class Collector {
public:
    Collector(std::optional<double> trim_db, std::size_t expected) {
        if (trim_db) {
            m_threshold = static_cast<float>(std::pow(10.0, *trim_db / 20.0));
        }
        m_samples.reserve(std::min<std::size_t>(expected, kMaxPreparedSamples));
    }

    // Takes `n` samples; false once the part has become too long.
    bool take(const float* x, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const bool loud = std::fabs(x[i]) >= m_threshold;
            if (!m_started) {
                if (!loud) {
                    ++m_front;
                    continue;
                }
                m_started = true;
            }
            if (m_samples.size() < static_cast<std::size_t>(kMaxPreparedSamples)) {
                m_samples.push_back(x[i]);
                if (loud) {
                    m_loud_end = m_samples.size();
                }
            } else if (loud) {
                return false;
            } else {
                ++m_dropped; // silence beyond the limit: it can only be trailing silence
            }
        }
        return true;
    }

    // The samples up to the last loud one; `back` receives how many were cut behind it.
    std::vector<float>& finish(std::int64_t& front, std::int64_t& back) {
        front = m_front;
        back = static_cast<std::int64_t>(m_samples.size() - m_loud_end) + m_dropped;
        m_samples.resize(m_loud_end);
        return m_samples;
    }

private:
    float m_threshold = 0.0f; // 0 without trimming: every sample counts as sound
    std::vector<float> m_samples;
    bool m_started = false;
    std::size_t m_loud_end = 0;
    std::int64_t m_front = 0;
    std::int64_t m_dropped = 0;
};

using Resampler = std::unique_ptr<soxr, decltype(&soxr_delete)>;

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
    return {};
}

PrepareResult SoundPreparation::run(const std::string& input, const std::string& output,
                                    const PrepareOptions& options, PrepareObserver& observer) {
    // Nothing may leave a conversion: it runs on the window's worker thread too, where an
    // exception would end the program. The output is written only at the very end, so a
    // conversion that ends here leaves none.
    try {
        return convert(input, output, options, observer);
    } catch (...) {
        PrepareResult r;
        r.code = PrepareCode::NoMemory;
        r.message = "Der Arbeitsspeicher reicht für diese Umwandlung nicht aus";
        return r;
    }
}

PrepareResult SoundPreparation::convert(const std::string& input, const std::string& output,
                                        const PrepareOptions& options, PrepareObserver& observer) {
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
    const double ratio = static_cast<double>(options.rate) / r.source.rate;
    const std::int64_t total = r.source.frames;
    const auto expected =
        total >= 0 ? static_cast<std::size_t>(std::ceil(static_cast<double>(total) * ratio)) + 16
                   : 0;
    // Without trimming, a file that says it is too long is refused before it is read.
    if (!options.trim_db && total >= 0 &&
        static_cast<double>(total) * ratio > kMaxPreparedSamples + 2) {
        return failure(r, PrepareCode::TooLong, too_long_text(options.rate));
    }

    soxr_error_t soxr_error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    Resampler resampler(
        soxr_create(r.source.rate, options.rate, 1, &soxr_error, &io, &quality, nullptr),
        &soxr_delete);
    if (soxr_error != nullptr || !resampler) {
        return failure(r, PrepareCode::UnknownFormat,
                       "Abtastrate " + std::to_string(r.source.rate) +
                           " Hz kann nicht umgerechnet werden");
    }

    Collector collector(options.trim_db, expected);
    std::vector<float> mono(kBlockFrames);
    std::vector<float> converted(static_cast<std::size_t>(kBlockFrames * ratio) + 64);
    // Feeds a block (nullptr: the end of the input) through the resampler into the collector.
    auto resample = [&](const float* in, std::size_t n) {
        do {
            std::size_t used = 0;
            std::size_t made = 0;
            soxr_process(resampler.get(), in, n, &used, converted.data(), converted.size(), &made);
            if (!collector.take(converted.data(), made)) {
                return false;
            }
            if (in == nullptr && made == 0) {
                return true; // flushed
            }
            if (in != nullptr) {
                in += used;
                n -= used;
                if (n == 0 && made < converted.size()) {
                    return true;
                }
            }
        } while (true);
    };

    int shown = -1;
    while (true) {
        if (m_cancel.load()) {
            return failure(r, PrepareCode::Cancelled, "Umwandlung abgebrochen");
        }
        const std::size_t n = reader.read_mono(mono.data(), mono.size());
        if (n == 0) {
            break;
        }
        if (!resample(mono.data(), n)) {
            return failure(r, PrepareCode::TooLong, too_long_text(options.rate));
        }
        if (total > 0) {
            const int permille = std::min(1000, permille_of(reader.frames_read(), total));
            if (permille != shown) {
                shown = permille;
                observer.progress(permille);
            }
        }
    }
    if (!resample(nullptr, 0)) {
        return failure(r, PrepareCode::TooLong, too_long_text(options.rate));
    }
    if (std::string damage = reader.damage(); !damage.empty()) {
        return failure(r, PrepareCode::Damaged, damage);
    }
    std::vector<float>& samples = collector.finish(r.trimmed_front, r.trimmed_back);
    if (samples.empty()) {
        std::string why = "Datei enthält keine Samples";
        if (reader.frames_read() > 0) {
            why = options.trim_db ? "Datei enthält nur Stille unter " + db_text(*options.trim_db) + " dBFS"
                                  : "Datei ergibt bei dieser Abtastrate keine Samples";
        }
        return failure(r, PrepareCode::Empty, why);
    }

    // Full scale is 32768, so a 16-bit input at the output rate comes out unchanged; a
    // normalized peak aims at 32767 at 0 dBFS, so it never needs limiting.
    double scale = 32768.0;
    if (options.normalize_db) {
        float peak = 0.0f;
        for (float x : samples) {
            peak = std::max(peak, std::fabs(x));
        }
        r.silent = peak == 0.0f;
        if (!r.silent) {
            scale = std::pow(10.0, *options.normalize_db / 20.0) * 32767.0 / peak;
            r.gain_db = 20.0 * std::log10(scale / 32768.0);
        }
    }
    std::string frames;
    frames.reserve(samples.size() * 2);
    for (float x : samples) {
        const double v = static_cast<double>(x) * scale;
        if (v >= 32767.5 || v < -32768.5) {
            ++r.clipped;
        }
        append_sample16(frames,
                        static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))));
    }
    r.samples = static_cast<std::int64_t>(samples.size());
    std::vector<float>().swap(samples);
    observer.progress(1000);
    if (!replace_file(output, pcm_wav(options.rate, 1, 16, frames), &error)) {
        return failure(r, PrepareCode::WriteFailed, "Zieldatei: " + error);
    }
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
    std::string text = std::to_string(o.rate) + " Hz, 1 Kanal, 16 bit, " +
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
    if (r.clipped > 0) {
        text += "; " + std::to_string(r.clipped) + " Samples auf Vollaussteuerung begrenzt";
    }
    return text;
}

} // namespace melo

// Sound preparation on inputs that libsndfile writes here: formats, signal quality, mixing,
// normalizing, trimming, and the failures that must leave no output behind.

#include "common/atomic_file.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"
#include "sound_file.h"
#include "temp_dir.h"
#include "wav/wav_writer.h"
#include "wav_builder.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace melo;

namespace {

struct Prepared {
    PrepareResult result;
    std::vector<double> samples; // full scale 1 (128 steps of 8 bits, 32768 of 16 bits)
};

// Converts `in` to `out` and reads the output's samples behind its 44-byte header.
Prepared prepare(const std::string& in, const std::string& out, PrepareOptions options = {}) {
    PrepareObserver quiet;
    Prepared p{SoundPreparation().run(in, out, options, quiet), {}};
    std::string bytes;
    if (p.result.code == PrepareCode::Ok && read_file(out, bytes) && bytes.size() >= 44 && bytes[34] == 8) {
        for (std::size_t i = 44; i < bytes.size(); ++i) {
            p.samples.push_back((static_cast<std::uint8_t>(bytes[i]) - 128.0) / 128.0);
        }
    } else if (p.result.code == PrepareCode::Ok) {
        for (std::size_t i = 44; i + 1 < bytes.size(); i += 2) {
            const auto v = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                     static_cast<std::uint8_t>(bytes[i + 1]) << 8);
            p.samples.push_back(v / 32768.0);
        }
    }
    return p;
}

double db(double ratio) {
    return 20 * std::log10(ratio);
}

// The amplitude of the sine of `hz` that fits the middle of `x` best (least squares over
// sine, cosine and offset), and the ratio of its power to that of the rest (SINAD) in dB.
std::pair<double, double> sine_fit(const std::vector<double>& x, double hz, int rate) {
    const std::size_t from = x.size() / 10;
    const std::size_t to = x.size() - from;
    std::array<std::array<double, 4>, 3> m{}; // normal equations, right-hand side last
    for (std::size_t i = from; i < to; ++i) {
        const double w = 2 * M_PI * hz * static_cast<double>(i) / rate;
        const std::array<double, 3> b = {std::sin(w), std::cos(w), 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                m[r][c] += b[r] * b[c];
            }
            m[r][3] += b[r] * x[i];
        }
    }
    for (int p = 0; p < 3; ++p) { // Gauss-Jordan; the matrix is well conditioned
        for (int r = 0; r < 3; ++r) {
            if (r != p) {
                const double f = m[r][p] / m[p][p];
                for (int c = 0; c < 4; ++c) {
                    m[r][c] -= f * m[p][c];
                }
            }
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
    double signal = 0;
    double rest = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double w = 2 * M_PI * hz * static_cast<double>(i) / rate;
        const double fit = a * std::sin(w) + b * std::cos(w) + c;
        signal += fit * fit;
        rest += (x[i] - fit) * (x[i] - fit);
    }
    return {std::hypot(a, b), 10 * std::log10(signal / rest)};
}

} // namespace

TEST(Prepare, EveryInputKindBecomesWhatTheDecoderTakes) {
    TempDir dir;
    struct Input {
        const char* name;
        int format;
        int rate;
        int channels;
    };
    const Input inputs[] = {
        {"stereo16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
        {"deep24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1},
        {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 32000, 4},
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1},
        {"a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 44100, 2},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2},
        {"a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
        {"a.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
        {"a.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2},
    };
    for (const Input& in : inputs) {
        SCOPED_TRACE(in.name);
        ASSERT_TRUE(sndtest::write_sound(dir.path(in.name), in.format, in.rate, in.channels, 0.5,
                                         sndtest::sine(440, 0.5)));
        const Prepared p = prepare(dir.path(in.name), dir.path("out.wav"));
        ASSERT_EQ(p.result.code, PrepareCode::Ok) << p.result.message;
        EXPECT_EQ(p.result.source.rate, in.rate);
        EXPECT_EQ(p.result.source.channels, in.channels);
        DecodedSound sound;
        EXPECT_EQ(decode_sound(dir.path("out.wav"), true, sound), kDecodeOk);
        EXPECT_EQ(sound.wavfreq, 13021);
        EXPECT_EQ(sound.wavchannels, 1);
        EXPECT_EQ(sound.wavbits, 8); // the module's own samples: the run copies them as they are
        EXPECT_NEAR(sound.wavend, 0.5 * 13021, 0.5 * 13021 * 0.01);
        EXPECT_NEAR(sine_fit(p.samples, 440, 13021).first, 0.5,
                    0.5 * 0.12); // within 1 dB, also lossy
    }
}

TEST(Prepare, SineKeepsItsFrequencyAndPurityAndMixesTheChannels) {
    TempDir dir;
    // Left 0.8, right 0.4: the mean is 0.6, the first channel alone would be 0.8.
    ASSERT_TRUE(sndtest::write_sound(
        dir.path("k1.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.0,
        [](double t, int c) { return (c == 0 ? 0.8 : 0.4) * std::sin(2 * M_PI * 1000 * t); }));
    // 16 bits, so the resampler's own purity shows.
    const Prepared p = prepare(dir.path("k1.wav"), dir.path("out.wav"), {.bits = 16});
    ASSERT_EQ(p.result.code, PrepareCode::Ok);
    const auto [amplitude, sinad] = sine_fit(p.samples, 1000, 13021);
    EXPECT_NEAR(db(amplitude / 0.6), 0.0, 0.01);
    EXPECT_GE(sinad, 85.0);
    std::printf("1 kHz sine at 44.1 kHz: SINAD %.1f dB\n", sinad);

    // 9 kHz lies above the new Nyquist frequency (6510.5 Hz): nothing of it may come through.
    ASSERT_TRUE(sndtest::write_sound(dir.path("k9.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2,
                                     1.0, sndtest::sine(9000, 0.8)));
    const Prepared alias = prepare(dir.path("k9.wav"), dir.path("out.wav"), {.bits = 16});
    ASSERT_EQ(alias.result.code, PrepareCode::Ok);
    double power = 0;
    for (std::size_t i = alias.samples.size() / 10; i < alias.samples.size() * 9 / 10; ++i) {
        power += alias.samples[i] * alias.samples[i];
    }
    // Every sample 0 means more than the 16-bit output can show (about 98 dB) down.
    const double down =
        power == 0 ? -98.0
                   : db(std::sqrt(power / (alias.samples.size() * 0.8)) / (0.8 / std::sqrt(2.0)));
    EXPECT_LE(down, -80.0);
    std::printf("9 kHz sine at 44.1 kHz: %s%.1f dB after conversion\n", power == 0 ? "below " : "",
                down);
}

TEST(Prepare, NormalizeHitsItsLevelAndTrimCutsSilence) {
    TempDir dir;
    // 0.3 s of silence, 0.5 s of a -20 dBFS tone, 0.4 s of silence.
    ASSERT_TRUE(sndtest::write_sound(dir.path("quiet.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
                                     44100, 1, 1.2, [](double t, int) {
                                         return t >= 0.3 && t < 0.8
                                                    ? 0.1 * std::sin(2 * M_PI * 500 * t)
                                                    : 0.0;
                                     }));
    for (const double level : {-1.0, -6.0, 0.0}) {
        const Prepared p =
            prepare(dir.path("quiet.flac"), dir.path("out.wav"), {.bits = 16, .normalize_db = level});
        ASSERT_EQ(p.result.code, PrepareCode::Ok);
        double peak = 0;
        for (double v : p.samples) {
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_NEAR(db(peak), level, 0.1);
        EXPECT_EQ(p.result.clipped, 0);
        std::printf("normalize to %.1f dBFS: peak %.3f dBFS\n", level, db(peak));
        // In 8 bits the peak aims at the module's range: 0 dBFS is 126 steps around 128.
        const Prepared b = prepare(dir.path("quiet.flac"), dir.path("out.wav"), {.normalize_db = level});
        peak = 0;
        for (double v : b.samples) {
            peak = std::max(peak, std::fabs(v) * 128);
        }
        EXPECT_NEAR(peak, 126 * std::pow(10.0, level / 20), 0.5);
        EXPECT_EQ(b.result.clipped, 0);
    }
    const Prepared t = prepare(dir.path("quiet.flac"), dir.path("out.wav"), {.trim_db = -48.0});
    ASSERT_EQ(t.result.code, PrepareCode::Ok);
    EXPECT_NEAR(static_cast<double>(t.result.trimmed_front), 0.3 * 13021, 20);
    EXPECT_NEAR(static_cast<double>(t.result.trimmed_back), 0.4 * 13021, 20);
    EXPECT_NEAR(static_cast<double>(t.samples.size()), 0.5 * 13021, 40);

    // Nothing but silence: no output at all rather than an empty part.
    ASSERT_TRUE(sndtest::write_sound(dir.path("silent.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                     44100, 1, 0.2, [](double, int) { return 0.001; }));
    const Prepared s = prepare(dir.path("silent.wav"), dir.path("none.wav"), {.trim_db = -48.0});
    EXPECT_EQ(s.result.code, PrepareCode::Empty);
    EXPECT_EQ(s.result.message, "Datei enthält nur Stille unter -48.0 dBFS");
    EXPECT_FALSE(fileexists(dir.path("none.wav")));

    // Near-silence is silence to normalizing too: it is not raised by a hundred decibels.
    ASSERT_TRUE(sndtest::write_sound(dir.path("faint.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, 0.2,
                                     sndtest::sine(500, 1e-6)));
    const Prepared f = prepare(dir.path("faint.wav"), dir.path("faint_out.wav"), {.normalize_db = -1.0});
    ASSERT_EQ(f.result.code, PrepareCode::Ok);
    EXPECT_TRUE(f.result.silent);
    EXPECT_EQ(f.result.gain_db, 0.0);
    EXPECT_LE(*std::max_element(f.samples.begin(), f.samples.end()), 1.0 / 32768);
}

TEST(Prepare, SixteenBitFilesGiveTheSamplesOfTheirFloatCopies) {
    // 16-bit files are read as integers, the others as floats: the same samples stored both
    // ways come out byte for byte the same, over the whole 16-bit range, from 1 to 3 channels.
    TempDir dir;
    std::uint32_t seed = 7;
    for (const int channels : {1, 2, 3}) {
        std::string pcm;
        std::vector<double> values;
        for (int i = 0; i < 44100 * channels; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const auto s =
                static_cast<std::int16_t>(i < 64 ? (i % 2 == 0 ? -32768 : 32767) : seed >> 16);
            append_sample16(pcm, s);
            values.push_back(s / 32768.0);
        }
        wavb::write_file(dir.path("int.wav"), pcm_wav(44100, channels, 16, pcm));
        ASSERT_TRUE(sndtest::write_sound(
            dir.path("float.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, channels, 1.0,
            [&](double t, int c) {
                return values[static_cast<std::size_t>(std::lround(t * 44100) * channels + c)];
            }));
        for (const int bits : {8, 16}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(bits) + " bit");
            const Prepared a = prepare(dir.path("int.wav"), dir.path("a.wav"), {.bits = bits});
            const Prepared b = prepare(dir.path("float.wav"), dir.path("b.wav"), {.bits = bits});
            ASSERT_EQ(a.result.code, PrepareCode::Ok);
            EXPECT_EQ(a.samples, b.samples);
            EXPECT_EQ(a.result.clipped, b.result.clipped);
        }
    }
}

TEST(Prepare, TrimKeepsPausesAndCutsAlikeWithOrWithoutALevelStep) {
    // Silence longer than a block of reading before, between and behind two tones.
    TempDir dir;
    ASSERT_TRUE(sndtest::write_sound(
        dir.path("gaps.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 2.4, [](double t, int) {
            const bool tone = (t >= 0.6 && t < 0.9) || (t >= 1.4 && t < 1.7);
            return tone ? 0.5 * std::sin(2 * M_PI * 440 * t) : 0.0;
        }));
    // The level step holds the samples until their peak is known; without it they go out
    // as they come. Both cut at the same places.
    const Prepared plain =
        prepare(dir.path("gaps.wav"), dir.path("out.wav"), {.bits = 16, .trim_db = -48.0});
    const Prepared level = prepare(dir.path("gaps.wav"), dir.path("out.wav"),
                                   {.bits = 16, .normalize_db = -1.0, .trim_db = -48.0});
    ASSERT_EQ(plain.result.code, PrepareCode::Ok);
    ASSERT_EQ(level.result.code, PrepareCode::Ok);
    EXPECT_NEAR(static_cast<double>(plain.result.trimmed_front), 0.6 * 13021, 20);
    EXPECT_NEAR(static_cast<double>(plain.result.trimmed_back), 0.7 * 13021, 20);
    EXPECT_NEAR(static_cast<double>(plain.samples.size()), 1.1 * 13021, 40);
    EXPECT_EQ(level.result.trimmed_front, plain.result.trimmed_front);
    EXPECT_EQ(level.result.trimmed_back, plain.result.trimmed_back);
    EXPECT_EQ(level.samples.size(), plain.samples.size());
    // The pause between the tones stays, silent.
    const auto pause = static_cast<std::size_t>(0.55 * 13021);
    EXPECT_EQ(plain.samples[pause], 0.0);
    EXPECT_EQ(level.samples[pause], 0.0);
}

TEST(Prepare, BrokenInputsGiveAMessageAndNoOutput) {
    TempDir dir;
    ASSERT_TRUE(sndtest::write_sound(dir.path("whole.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                     44100, 2, 1.0, sndtest::sine(440, 0.5)));
    ASSERT_TRUE(sndtest::write_sound(dir.path("whole.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100,
                                     2, 1.0, sndtest::sine(440, 0.5)));
    std::string flac;
    std::string wav;
    ASSERT_TRUE(read_file(dir.path("whole.flac"), flac) && read_file(dir.path("whole.wav"), wav));
    wavb::write_file(dir.path("cut.flac"), flac.substr(0, flac.size() / 2));
    wavb::write_file(dir.path("cut.wav"), wav.substr(0, wav.size() / 2));
    std::string damaged = flac;
    for (std::size_t i = flac.size() / 3; i < flac.size() / 3 + 400; ++i) {
        damaged[i] = static_cast<char>(i * 37);
    }
    wavb::write_file(dir.path("damaged.flac"), damaged);
    wavb::write_file(dir.path("notes.wav"), "Dies ist keine Audiodatei.\n");
    wavb::write_file(dir.path("empty.wav"), "");
    wavb::write_file(dir.path("nosamples.wav"),
                     wavb::wav({.channels = 2, .rate = 44100, .bits = 16}, ""));
#ifndef _WIN32 // Windows has no FIFOs in folders: there the name is a missing file
    ASSERT_EQ(::mkfifo(dir.path("fifo.wav").c_str(), 0600), 0);
#endif
    std::filesystem::create_directory(dir.path("folder.wav"));
    const std::vector<std::string> before = dir.entries();

    const std::pair<const char*, PrepareCode> cases[] = {
        {"missing.wav", PrepareCode::Unreadable}, {"fifo.wav", PrepareCode::Unreadable},
        {"folder.wav", PrepareCode::Unreadable},  {"notes.wav", PrepareCode::UnknownFormat},
        {"empty.wav", PrepareCode::Empty},        {"nosamples.wav", PrepareCode::Empty},
        {"cut.flac", PrepareCode::Damaged},       {"cut.wav", PrepareCode::Damaged},
        {"damaged.flac", PrepareCode::Damaged},
    };
    for (const auto& [name, code] : cases) {
        SCOPED_TRACE(name);
        const Prepared p = prepare(dir.path(name), dir.path("out.wav"));
        EXPECT_EQ(p.result.code, code);
        EXPECT_FALSE(p.result.message.empty());
        EXPECT_EQ(dir.entries(), before);
    }
    EXPECT_EQ(prepare(dir.path("missing.wav"), dir.path("out.wav")).result.message,
              "Datei kann nicht geöffnet werden: Verzeichnis oder Datei existiert nicht");

    // The output cannot be written: its directory is missing. And a bad setting.
    const Prepared unwritable = prepare(dir.path("whole.wav"), dir.path("gone/out.wav"));
    EXPECT_EQ(unwritable.result.code, PrepareCode::WriteFailed);
    EXPECT_EQ(unwritable.result.message,
              "Zieldatei: Verzeichnis existiert nicht: Verzeichnis oder Datei existiert nicht");
    EXPECT_EQ(prepare(dir.path("whole.wav"), dir.path("out.wav"), {.rate = 500}).result.code,
              PrepareCode::BadOptions);
    // A header that declares 1 Hz would make a whole part of each few samples.
    wavb::write_file(dir.path("one_hz.wav"), wavb::wav({.rate = 1}, std::string(200, '\x90')));
    const Prepared one_hz = prepare(dir.path("one_hz.wav"), dir.path("out.wav"));
    EXPECT_EQ(one_hz.result.code, PrepareCode::UnknownFormat);
    EXPECT_EQ(one_hz.result.message, "Abtastrate 1 Hz wird nicht unterstützt (mindestens 1000 Hz)");
    std::filesystem::remove(dir.path("one_hz.wav"));
    EXPECT_EQ(dir.entries(), before);
}

TEST(Prepare, TooLongForAPartAndCancelLeaveNoOutput) {
    TempDir dir;
    // More than 8,388,607 samples at the output rate would fill the decoder's buffer (its code 99).
    // At 13000 Hz the file says so in its header and is refused before it is read; trimming
    // reads it, as its silence could shorten it.
    wavb::write_file(dir.path("long.wav"),
                     wavb::wav({.rate = 13000}, std::string(kMaxSamples, '\x90')));
    const Prepared early = prepare(dir.path("long.wav"), dir.path("out.wav"));
    EXPECT_EQ(early.result.code, PrepareCode::TooLong);
    EXPECT_EQ(early.result.message,
              "zu lang: ein Teil hat höchstens 8388607 Samples (10m 44.23s bei 13021 Hz)");
    EXPECT_EQ(prepare(dir.path("long.wav"), dir.path("out.wav"), {.trim_db = -48.0}).result.code,
              PrepareCode::TooLong);
    EXPECT_FALSE(fileexists(dir.path("out.wav")));

    // The progress report stops it: the run ends at its next block.
    struct Canceller : PrepareObserver {
        SoundPreparation* preparation = nullptr;
        void progress(int) override { preparation->cancel(); }
    } canceller;
    SoundPreparation preparation;
    canceller.preparation = &preparation;
    const PrepareResult r =
        preparation.run(dir.path("long.wav"), dir.path("out.wav"), {.trim_db = -48.0}, canceller);
    EXPECT_EQ(r.code, PrepareCode::Cancelled);
    EXPECT_EQ(r.message, "Umwandlung abgebrochen");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});

    // A cancel that comes before the worker has begun ends that run, and only that run.
    SoundPreparation early_cancel;
    early_cancel.cancel();
    PrepareObserver quiet;
    EXPECT_EQ(early_cancel.run(dir.path("long.wav"), dir.path("out.wav"), {.trim_db = -48.0}, quiet).code,
              PrepareCode::Cancelled);
    EXPECT_NE(early_cancel.run(dir.path("long.wav"), dir.path("out.wav"), {.trim_db = -48.0}, quiet).code,
              PrepareCode::Cancelled);
}

TEST(Prepare, ModuleReadyFilesAndOutputNames) {
    TempDir dir;
    wavb::write_file(dir.path("ready.wav"),
                     wavb::wav({.channels = 2, .bits = 16}, std::string(8, '\0')));
    wavb::write_file(dir.path("fast.wav"), wavb::wav({.rate = 44100}, std::string(441, '\xA0')));
    ASSERT_TRUE(sndtest::write_sound(dir.path("deep.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 13021,
                                     1, 0.1, sndtest::sine(440, 0.5)));
    EXPECT_TRUE(ready_for_module(dir.path("ready.wav")));
    EXPECT_FALSE(ready_for_module(dir.path("fast.wav")));
    EXPECT_FALSE(ready_for_module(dir.path("deep.wav")));
    EXPECT_FALSE(ready_for_module(dir.path("missing.wav")));

    EXPECT_EQ(prepared_file_name(dir.path("horn.flac"), dir.root(), 13021), "horn.wav");
    EXPECT_EQ(prepared_file_name(dir.path("fast.wav"), dir.root(), 13021), "fast_13021.wav");
    EXPECT_EQ(prepared_file_name(dir.path("fast.wav"), dir.path("other"), 13021), "fast.wav");

    // A file converted onto itself: it is read whole before it is replaced.
    const Prepared self = prepare(dir.path("fast.wav"), dir.path("fast.wav"));
    ASSERT_EQ(self.result.code, PrepareCode::Ok);
    EXPECT_TRUE(ready_for_module(dir.path("fast.wav")));
    EXPECT_EQ(describe_source(self.result.source),
              "WAV, 8 bit PCM ohne Vorzeichen, 44100 Hz, 1 Kanal, 0m 0.01s");
}

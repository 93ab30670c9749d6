#include "common/atomic_file.h"
#include "melo_dsu.h"
#include "sound_file.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <cmath>
#include <cstdio>
#include <ebur128.h>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

TEST(CliConvert, ConvertsFilesThatTheRunTakesWithoutAWarning) {
    TempDir dir;
    fs::copy(fs::path(MELO_SOURCE_DIR) / "examples/demo", dir.path("demo"),
             fs::copy_options::recursive);
    fs::create_directory(dir.path("in"));
    ASSERT_TRUE(sndtest::write_sound(dir.path("in/motor_lauf.flac"),
                                     SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 0.5,
                                     sndtest::sine(140, 0.5)));
    ASSERT_TRUE(sndtest::write_sound(dir.path("in/horn_an.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                                     48000, 1, 0.2, sndtest::sine(370, 0.1)));
    const ProcessResult r =
        melo_dsu({"convert", dir.path("in/motor_lauf.flac"), dir.path("in/horn_an.wav"), "--into",
                  dir.path("demo"), "--normalize", "--trim=-60", "--force"},
                 dir);
    ASSERT_EQ(r.status, 0) << r.err;
    // The outputs' names as the tool joins them to the folder, with the platform's separator.
    const auto into_demo = [&dir](const char* name) {
        return (fs::path(dir.path("demo")) / name).string();
    };
    EXPECT_EQ(
        r.out,
        dir.path("in/motor_lauf.flac") + ": FLAC, 16 bit PCM, 44100 Hz, 2 Kanäle, 0m 0.50s\n  -> " +
            into_demo("motor_lauf.wav") +
            ": 13021 Hz, 1 Kanal, 8 bit, 6511 Samples (0m 0.50s); aus 2 Kanälen gemischt; von "
            "44100 "
            "Hz umgerechnet; Stille unter -60.0 dBFS entfernt: 0m 0.00s am Anfang, 0m 0.00s am "
            "Ende; "
            "auf -1.0 dBFS normalisiert (+4.9 dB)\n" +
            dir.path("in/horn_an.wav") + ": WAV, 24 bit PCM, 48000 Hz, 1 Kanal, 0m 0.20s\n  -> " +
            into_demo("horn_an.wav") +
            ": 13021 Hz, 1 Kanal, 8 bit, 2604 Samples (0m 0.19s); von 48000 Hz umgerechnet; "
            "Stille "
            "unter -60.0 dBFS entfernt: 0m 0.00s am Anfang, 0m 0.00s am Ende; auf -1.0 dBFS "
            "normalisiert (+18.9 dB)\n");
    const ProcessResult run = melo_dsu({"build", dir.path("demo/demo.DSP")}, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Warnung"), std::string::npos) << run.out;
    // The image holds the prepared 8-bit samples byte for byte, each part closed by its marker.
    std::string image;
    ASSERT_TRUE(melo::read_file(dir.path("demo/demo.DSU"), image));
    for (const char* part : {"demo/motor_lauf.wav", "demo/horn_an.wav"}) {
        std::string wav;
        ASSERT_TRUE(melo::read_file(dir.path(part), wav));
        EXPECT_NE(image.find(wav.substr(44)), std::string::npos) << part;
    }

    // Without --out or --into the output lies beside its input, and never replaces it.
    ASSERT_TRUE(sndtest::write_sound(dir.path("in/x.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100,
                                     1, 0.1, sndtest::sine(440, 0.5)));
    EXPECT_EQ(melo_dsu({"convert", dir.path("in/x.wav"), "--rate", "22050"}, dir).status, 0);
    EXPECT_TRUE(fs::exists(dir.path("in/x_22050.wav")));
}

TEST(CliConvert, FailuresAndUsageErrors) {
    TempDir dir;
    wavb::write_file(dir.path("notes.ogg"), "Dies ist keine Audiodatei.\n");
    wavb::write_file(dir.path("ok.wav"), wavb::wav({.rate = 44100}, std::string(4410, '\x90')));
    const ProcessResult bad = melo_dsu({"convert", dir.path("notes.ogg"), dir.path("ok.wav")}, dir);
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err,
              "melo-dsu convert: " + dir.path("notes.ogg") + ": unbekanntes Dateiformat\n");
    EXPECT_FALSE(fs::exists(dir.path("notes.wav")));
    EXPECT_TRUE(fs::exists(dir.path("ok_13021.wav"))); // the next file is converted all the same

#ifdef _WIN32
    // Refused there too; what Windows reports for its device names is no "device" (under Wine
    // NUL is "keine Berechtigung").
    const ProcessResult device = melo_dsu({"convert", dir.path("ok.wav"), "--out", "NUL"}, dir);
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.err.find(": Zieldatei: "), std::string::npos) << device.err;
#else
    const ProcessResult device = melo_dsu({"convert", dir.path("ok.wav"), "--out", "/dev/null"}, dir);
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.err.find(": keine gewöhnliche Datei: ist ein Gerät"), std::string::npos) << device.err;
#endif

    const std::vector<std::vector<std::string>> usage = {
        {"convert", dir.path("ok.wav"), "--out", ""},
        {"convert", dir.path("ok.wav"), "--into="},
        {"convert"},
        {"convert", dir.path("missing.wav")},
        {"convert", dir.path("ok.wav"), "--fast"},
        {"convert", dir.path("ok.wav"), "--rate", "abc"},
        {"convert", dir.path("ok.wav"), "--rate", "500"},
        {"convert", dir.path("ok.wav"), "--normalize=laut"},
        {"convert", dir.path("ok.wav"), "--bits", "12"},
        {"convert", dir.path("ok.wav"), "--dither", "rect"},
        {"convert", dir.path("ok.wav"), "--loudness=-60"},
        {"convert", dir.path("ok.wav"), "--loudness", "--normalize"},
        {"convert", dir.path("ok.wav"), "--out"},
        {"convert", dir.path("ok.wav"), dir.path("ok_13021.wav"), "--out", dir.path("a.wav")},
        {"convert", dir.path("ok.wav"), "--out", dir.path("a.wav"), "--into", dir.root()},
        {"convert", dir.path("ok.wav"), "--into", dir.path("nowhere")},
    };
    for (const auto& args : usage) {
        const ProcessResult u = melo_dsu(args, dir);
        EXPECT_EQ(u.status, 2) << args.back();
        EXPECT_FALSE(u.err.empty());
    }
    EXPECT_EQ(melo_dsu({"convert", dir.path("ok.wav"), "--rate", "500"}, dir).err,
              "melo-dsu convert: Abtastrate 500 Hz liegt nicht zwischen 1000 und 192000 Hz (siehe "
              "melo-dsu --help)\n");
    EXPECT_NE(
        melo_dsu({"convert", "--help"}, dir).out.find("convert IN... [--out FILE | --into DIR]"),
        std::string::npos);
}

TEST(CliConvert, NoInputAndNoUnnamedFileIsReplaced) {
    TempDir dir;
    const std::string original = wavb::wav({.rate = 44100}, std::string(88200, '\x90'));
    wavb::write_file(dir.path("song.wav"), original);
    ASSERT_TRUE(sndtest::write_sound(dir.path("song.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1,
                                     0.1, sndtest::sine(440, 0.5)));
    const auto song = [&] {
        std::string bytes;
        melo::read_file(dir.path("song.wav"), bytes);
        return bytes;
    };
    // song.flac would become song.wav, the other input: in either order, and even with --force.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"convert", dir.path("song.flac"), dir.path("song.wav")},
             {"convert", dir.path("song.wav"), dir.path("song.flac"), "--force"},
             {"convert", dir.path("song.wav"), "--out", dir.path("song.wav")}}) {
        const ProcessResult r = melo_dsu(args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("'" + dir.path("song.wav") + "' ist eine Eingabe dieses Aufrufs und wird nicht "
                             "überschrieben"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(song(), original);
    }
    EXPECT_TRUE(fs::exists(dir.path("song_13021.wav"))); // the other input went on

    // An existing file beside the input is kept unless --force says otherwise.
    fs::rename(dir.path("song.wav"), dir.path("take.wav"));
    wavb::write_file(dir.path("song.wav"), "my own recording");
    const ProcessResult kept = melo_dsu({"convert", dir.path("song.flac")}, dir);
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("existiert schon (mit --force ersetzen)"), std::string::npos);
    EXPECT_EQ(song(), "my own recording");
    EXPECT_EQ(melo_dsu({"convert", dir.path("song.flac"), "--force"}, dir).status, 0);
    EXPECT_NE(song(), "my own recording");
    EXPECT_EQ(melo_dsu({"convert", dir.path("take.wav"), "--out", dir.path("song.wav")}, dir).status, 0);
}

TEST(CliConvert, ADamagedMp3IsWarnedOfAndItsDecoderKeptOffTheTerminal) {
    TempDir dir;
    ASSERT_TRUE(sndtest::write_sound(dir.path("x.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1, 2.0,
                                     sndtest::sine(440, 0.5)));
    std::string clean;
    melo::read_file(dir.path("x.mp3"), clean);
    // Forty bytes flipped in the stream, as a bad download does. Some damage costs whole
    // frames (a failure); the rest the decoder conceals: those convert, with the warning.
    int concealed = 0;
    std::uint32_t random = 12345;
    for (int attempt = 0; attempt < 12; ++attempt) {
        std::string bytes = clean;
        for (int i = 0; i < 40; ++i) {
            random = random * 1103515245u + 12345u;
            bytes[1000 + (random >> 8) % (bytes.size() - 2000)] ^= '\xFF';
        }
        wavb::write_file(dir.path("x.mp3"), bytes);
        const ProcessResult r = melo_dsu({"convert", dir.path("x.mp3"), "--force"}, dir);
        EXPECT_EQ(r.err.find("libmpg123"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("error:"), std::string::npos) << r.err;
        if (r.status == 0) {
            ++concealed;
            EXPECT_EQ(r.err, "");
            EXPECT_NE(r.out.find("; Warnung: beim Lesen "), std::string::npos) << r.out;
            EXPECT_NE(r.out.find(" Fehler im Datenstrom\n"), std::string::npos) << r.out;
        }
    }
    EXPECT_GT(concealed, 0);
}

#ifndef _WIN32 // the peak memory of a child process, from fork and wait4
TEST(CliConvert, MemoryStaysBoundedWhateverTheRateRatio) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory would be measured too";
#endif
    TempDir dir;
    // 43 s at 1000 Hz, converted to 16 bits at 192 kHz: the largest part there is, at the
    // largest ratio, in the larger sample format.
    std::string samples(43000, '\0');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<char>(128 + 100 * std::sin(0.3 * static_cast<double>(i)));
    }
    wavb::write_file(dir.path("low.wav"), wavb::wav({.rate = 1000}, samples));
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execl(MELO_DSU_PATH, MELO_DSU_PATH, "convert", dir.path("low.wav").c_str(), "--rate", "192000", "--bits", "16",
                "--out", dir.path("out.wav").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "peak resident memory in KiB";
    std::printf("43 s at 1000 Hz to 192 kHz: peak %ld KiB\n", usage.ru_maxrss);
}
#endif

namespace {

// The integrated loudness of a WAV file, measured by libebur128 itself.
double loudness_of(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> x(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, x.data(), info.frames);
    sf_close(file);
    ebur128_state* st = ebur128_init(static_cast<unsigned>(info.channels), static_cast<unsigned long>(info.samplerate),
                                     EBUR128_MODE_I);
    ebur128_add_frames_float(st, x.data(), static_cast<std::size_t>(info.frames));
    double lufs = 0.0;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    return lufs;
}

} // namespace

TEST(CliConvert, LoudnessBitsAndDither) {
    TempDir dir;
    // Pink-ish noise: white noise through a set of one-pole filters with a 1/f spread.
    std::uint32_t seed = 99;
    double b0 = 0, b1 = 0, b2 = 0;
    ASSERT_TRUE(sndtest::write_sound(dir.path("pink.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2, 8.0,
                                     [&](double, int c) {
                                         if (c == 1) {
                                             return 0.02 * b0;
                                         }
                                         seed = seed * 1664525u + 1013904223u;
                                         const double white = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
                                         b0 = 0.99765 * b0 + white * 0.0990460;
                                         b1 = 0.96300 * b1 + white * 0.2965164;
                                         b2 = 0.57000 * b2 + white * 1.0526913;
                                         return 0.02 * (b0 + b1 + b2 + white * 0.1848);
                                     }));
    const ProcessResult r = melo_dsu({"convert", dir.path("pink.flac"), "--loudness=-16", "--dither", "tpdf",
                                      "--out", dir.path("pink.wav")},
                                     dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("8 bit mit TPDF-Dither"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" -> -16.0 LUFS"), std::string::npos) << r.out;
    EXPECT_NEAR(loudness_of(dir.path("pink.wav")), -16.0, 0.5);
    // inspect tells the loudness and the true peak.
    const ProcessResult i = melo_dsu({"inspect", dir.path("pink.wav")}, dir);
    EXPECT_NE(i.out.find("\nLautheit -1"), std::string::npos) << i.out;
    EXPECT_NE(i.out.find(" dBTP\n"), std::string::npos) << i.out;

    // A target the peaks do not allow: the gain stops at the peak, and the loudness reached is told.
    const ProcessResult limited =
        melo_dsu({"convert", dir.path("pink.flac"), "--loudness=-5", "--out", dir.path("loud.wav")}, dir);
    EXPECT_NE(limited.out.find("durch den Spitzenpegel begrenzt statt -5.0 LUFS"), std::string::npos) << limited.out;

    // 16 bits stay available for a master.
    ASSERT_EQ(melo_dsu({"convert", dir.path("pink.flac"), "--bits", "16", "--out", dir.path("master.wav")}, dir).status, 0);
    std::string master;
    ASSERT_TRUE(melo::read_file(dir.path("master.wav"), master));
    EXPECT_EQ(master[34], 16);
}

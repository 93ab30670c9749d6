#include "common/atomic_file.h"
#include "project/project_path.h"
#include "run_process.h"
#include "sound_file.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;

namespace {

ProcessResult melo_dsu(const std::vector<std::string>& args, const TempDir& dir) {
    return run_process(MELO_DSU_PATH, args, dir.root());
}

// The sample bytes of a canonical WAV file the tool wrote.
std::string data_of(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(melo::read_file(path, bytes)) << path;
    return bytes.size() > 44 ? bytes.substr(44) : std::string();
}

// Samples in the data of a canonical WAV file (8 or 16 bits: byte 34 of its header).
std::size_t samples_of(const std::string& path, const std::string& data) {
    std::string bytes;
    EXPECT_TRUE(melo::read_file(path, bytes)) << path;
    return bytes.size() > 34 && bytes[34] == 16 ? data.size() / 2 : data.size();
}

// A horn: 97.3 Hz with five partials, a slow vibrato, 0.3 s attack and 0.5 s decay.
double horn(double t, int) {
    const double phase =
        2 * M_PI * 97.3 * (t - 0.002 / (2 * M_PI * 0.8) * std::cos(2 * M_PI * 0.8 * t));
    double v = 0.0;
    for (int k = 1; k <= 5; ++k) {
        v += std::sin(k * phase + 0.3 * k) / k;
    }
    const double env = t < 0.3   ? 0.5 - 0.5 * std::cos(M_PI * t / 0.3)
                       : t > 2.5 ? 0.5 + 0.5 * std::cos(M_PI * std::min(1.0, (t - 2.5) / 0.5))
                                 : 1.0;
    return 0.35 * env * v;
}

TEST(CliLoop, CutsARecordingIntoThreePartsThatMakeThePreparedSound) {
    TempDir dir;
    fs::create_directory(dir.path("projekt"));
    ASSERT_TRUE(sndtest::write_sound(dir.path("horn.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                     44100, 2, 3.0, horn));
    const ProcessResult r = melo_dsu({"loop", dir.path("horn.flac"), "--into", dir.path("projekt"),
                                      "--name", "Horn A", "--candidates=3"},
                                     dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(dir.path("horn.flac") + ": FLAC, 16 bit PCM, 44100 Hz, 2 Kanäle", 0), 0u)
        << r.out;
    for (const char* text : {"\nSchleife: ", "\n  Naht: Sprung ", "Korrelation 0.99",
                             "\nWeitere Vorschläge:\n  2: ", "\n  3: ", "Horn A_loop.wav: "}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
    EXPECT_EQ(r.out.find("\n  4: "), std::string::npos);

    // Put end to end, the parts are the prepared recording, sample for sample.
    ASSERT_EQ(
        melo_dsu({"convert", dir.path("horn.flac"), "--out", dir.path("ganz.wav")}, dir).status, 0);
    const std::string start_path = dir.path("projekt/Horn A_anfang.wav");
    const std::string start = data_of(start_path);
    const std::string loop = data_of(dir.path("projekt/Horn A_loop.wav"));
    EXPECT_EQ(start + loop + data_of(dir.path("projekt/Horn A_ende.wav")),
              data_of(dir.path("ganz.wav")));
    EXPECT_GE(samples_of(start_path, start), 0.3 * 13021); // the attack stays in the start part
    EXPECT_GE(samples_of(start_path, loop), 0.2 * 13021);
    // Each part is a file the generation run takes as it is.
    const ProcessResult inspect = melo_dsu({"inspect", dir.path("projekt/Horn A_loop.wav")}, dir);
    EXPECT_EQ(inspect.status, 0) << inspect.out;

    // Points of the user's own move to the best seam nearby, unless they are to stay.
    const ProcessResult snapped = melo_dsu(
        {"loop", dir.path("horn.flac"), "--into", dir.path("projekt"), "--loop", "1:2"}, dir);
    ASSERT_EQ(snapped.status, 0) << snapped.err;
    EXPECT_NE(snapped.out.find("Schleife (auf die beste Naht in 5 ms gerückt): "),
              std::string::npos);
    EXPECT_NE(snapped.out.find("Korrelation 0.99"), std::string::npos) << snapped.out;
    const ProcessResult exact =
        melo_dsu({"loop", dir.path("horn.flac"), "--into", dir.path("projekt"), "--loop", "1:2",
                  "--exact", "--bits", "16", "--force"},
                 dir);
    ASSERT_EQ(exact.status, 0) << exact.err;
    EXPECT_NE(
        exact.out.find("Schleife (genau wie angegeben): 13021 bis 26042 (1.000 s bis 2.000 s)"),
        std::string::npos)
        << exact.out;
    EXPECT_EQ(data_of(dir.path("projekt/horn_anfang.wav")).size(), 2u * 13021); // 16 bits
}

TEST(CliLoop, AnExistingPartWithOtherContentsIsReplacedOnlyWithForce) {
    TempDir dir;
    ASSERT_TRUE(sndtest::write_sound(dir.path("horn.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 3.0, horn));
    // A project made on Windows names HORN_LOOP.WAV: that file is the loop part.
    fs::create_directory(dir.path("projekt"));
    wavb::write_file(dir.path("projekt/HORN_LOOP.WAV"), "eigene Fassung");
    const std::vector<std::string> args = {"loop", dir.path("horn.wav"), "--into",
                                           dir.path("projekt")};
    // (A file system that ignores case, as on Windows, may spell the names its own way.)
    const ProcessResult kept = melo_dsu(args, dir);
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(
        melo::fold_case(kept.err).find("nichts geschrieben: „horn_loop.wav“ gibt es schon mit "
                                       "anderem inhalt (mit --force ersetzen)"),
        std::string::npos)
        << kept.err;
    std::string mine;
    ASSERT_TRUE(melo::read_file(dir.path("projekt/HORN_LOOP.WAV"), mine));
    EXPECT_EQ(mine, "eigene Fassung");
    EXPECT_EQ(fs::directory_iterator(dir.path("projekt"))->path().filename(), "HORN_LOOP.WAV");

    std::vector<std::string> forced = args;
    forced.push_back("--force");
    const ProcessResult replaced = melo_dsu(forced, dir);
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_NE(melo::fold_case(replaced.out).find("horn_loop.wav: "), std::string::npos)
        << replaced.out;
    EXPECT_GT(data_of(dir.path("projekt/HORN_LOOP.WAV")).size(), 0.2 * 13021);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path("projekt"))) {
        names.push_back(melo::fold_case(entry.path().filename().string()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"horn_anfang.wav", "horn_ende.wav", "horn_loop.wav"}));
    // The same parts again need no --force.
    EXPECT_EQ(melo_dsu(args, dir).status, 0);
}

TEST(CliLoop, WhatDoesNotRepeatGetsNoLoopAndNothingWritten) {
    TempDir dir;
    const std::string speech = dir.path("ansage.wav");
    if (run_process("espeak-ng",
                    {"-v", "de", "-w", speech,
                     "Achtung am Gleis drei. Der Zug nach Hamburg fährt "
                     "heute etwa zehn Minuten später ab."},
                    dir.root())
            .status != 0) {
        GTEST_SKIP() << "no espeak-ng";
    }
    ASSERT_TRUE(sndtest::write_sound(dir.path("still.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 2.0, sndtest::sine(100, 0.0)));
    // Noise below half an 8-bit step is silence to the module.
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> faint(-0.0015, 0.0015);
    ASSERT_TRUE(sndtest::write_sound(dir.path("leise.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 2.0, [&](double, int) { return faint(rng); }));
    fs::create_directory(dir.path("teile"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{speech}, "Die Aufnahme wiederholt sich nicht: "},
        {{dir.path("still.wav")}, "Die Aufnahme ist im Suchbereich still"},
        {{dir.path("still.wav"), "--crossfade", "20"}, "Die Aufnahme ist im Suchbereich still"},
        {{dir.path("still.wav"), "--range", "0.2:1.8"}, "Die Aufnahme ist im Suchbereich still"},
        {{dir.path("leise.wav")}, "Die Aufnahme ist im Suchbereich still"},
    };
    for (auto [args, reason] : refused) {
        args.insert(args.begin(), "loop");
        args.insert(args.end(), {"--into", dir.path("teile")});
        const ProcessResult r = melo_dsu(args, dir);
        EXPECT_EQ(r.status, 1) << args[1] << "\n" << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(dir.path("teile")));
    }
    // Asked for, a crossfade loops the announcement all the same, and says what it is.
    const ProcessResult faded =
        melo_dsu({"loop", speech, "--into", dir.path("teile"), "--crossfade", "30"}, dir);
    EXPECT_EQ(faded.status, 0) << faded.err;
    EXPECT_NE(faded.out.find("\nHinweis: Die Aufnahme wiederholt sich nicht"), std::string::npos)
        << faded.out;
}

TEST(CliLoop, ALoopOverTheWholeRecordingIsItsLoopPartAlone) {
    TempDir dir;
    // 130 whole periods of a 65 Hz tone in 2 s: a sound made to loop as it is.
    ASSERT_TRUE(sndtest::write_sound(dir.path("ring.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 2.0, sndtest::sine(65.0, 0.5)));
    const ProcessResult r =
        melo_dsu({"loop", dir.path("ring.wav"), "--into", dir.root(), "--loop", "0:2.000"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Schleife (genau wie angegeben): 0 bis 26042 "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  -> kein Anfang: die Schleife beginnt mit der Aufnahme\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("Hinweis"), std::string::npos)
        << r.out; // its seam, the end into the start, holds
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"ring.wav", "ring_loop.wav"}));
    // A project with the loop part alone builds.
    fs::copy_file(std::string(MELO_SOURCE_DIR) + "/examples/demo/demo.DS3", dir.path("demo.DS3"));
    wavb::write_file(dir.path("ring.DSP"),
                     "[WAVs]\r\nSound1LoopWAV=ring_loop.wav\r\nDSDfilename=demo.DS3\r\n");
    const ProcessResult built = melo_dsu({"build", dir.path("ring.DSP")}, dir);
    EXPECT_EQ(built.status, 0) << built.out;
}

TEST(CliLoop, NoiseIsRefusedWithoutACrossfade) {
    TempDir dir;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> white(-0.4, 0.4);
    ASSERT_TRUE(sndtest::write_sound(dir.path("dampf.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 2.0, [&](double, int) { return white(rng); }));
    const ProcessResult refused =
        melo_dsu({"loop", dir.path("dampf.wav"), "--into", dir.root()}, dir);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("melo-dsu loop: Die Aufnahme wiederholt sich nicht"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"dampf.wav"});

    const ProcessResult faded =
        melo_dsu({"loop", dir.path("dampf.wav"), "--into", dir.root(), "--crossfade", "20"}, dir);
    EXPECT_EQ(faded.status, 0) << faded.err;
    EXPECT_NE(faded.out.find("Überblendung: 20.0 ms (260 Samples)\n"), std::string::npos)
        << faded.out;
    EXPECT_NE(faded.out.find("\nHinweis: Die Aufnahme wiederholt sich nicht"), std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dampf.wav", "dampf_anfang.wav",
                                                       "dampf_ende.wav", "dampf_loop.wav"}));
}

TEST(CliLoop, FailuresAndUsageErrors) {
    TempDir dir;
    ASSERT_TRUE(sndtest::write_sound(dir.path("kurz.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 13021,
                                     1, 1.0, sndtest::sine(200, 0.5)));
    wavb::write_file(dir.path("notes.ogg"), "Dies ist keine Audiodatei.\n");
    const std::string in = dir.path("kurz.wav");
    const std::vector<std::pair<std::vector<std::string>, std::string>> failures = {
        {{"loop", dir.path("notes.ogg"), "--into", dir.root()}, "unbekanntes Dateiformat"},
        {{"loop", in, "--into", dir.root(), "--range", "0.5:0.6"},
         "fasst keine Schleife von 0.200 s"},
    };
    for (const auto& [args, text] : failures) {
        const ProcessResult f = melo_dsu(args, dir);
        EXPECT_EQ(f.status, 1) << args.back();
        EXPECT_NE(f.err.find(text), std::string::npos) << f.err;
    }
    const std::vector<std::vector<std::string>> usage = {
        {"loop"},
        {"loop", in},
        {"loop", in, in, "--into", dir.root()},
        {"loop", dir.path("fehlt.wav"), "--into", dir.root()},
        {"loop", in, "--into", dir.path("nirgends")},
        {"loop", in, "--into", dir.root(), "--fast"},
        {"loop", in, "--into", dir.root(), "--range", "2:1"},
        {"loop", in, "--into", dir.root(), "--loop", "0.2"},
        {"loop", in, "--into", dir.root(), "--loop", "0.5:3"}, // outside the recording
        {"loop", in, "--into", dir.root(), "--range", "0.5:9"},
        {"loop", in, "--into", dir.root(), "--exact"},
        {"loop", in, "--into", dir.root(), "--loop", "0.2:0.6", "--max", "1"},
        {"loop", in, "--into", dir.root(), "--min", "0"},
        {"loop", in, "--into", dir.root(), "--crossfade", "-5"},
        {"loop", in, "--into", dir.root(), "--candidates", "2.5"},
        {"loop", in, "--into", dir.root(), "--name", "a/b"},
        {"loop", in, "--into", dir.root(), "--name", "a\nb"},
        {"loop", in, "--into", dir.root(), "--normalize=laut"},
        {"loop", in, "--into", dir.root(), "--bits", "12"},
    };
    for (const auto& args : usage) {
        const ProcessResult u = melo_dsu(args, dir);
        EXPECT_EQ(u.status, 2) << args.back();
        EXPECT_NE(u.err.find("melo-dsu loop: "), std::string::npos) << u.err;
        EXPECT_EQ(u.err.find("a\nb"), std::string::npos)
            << u.err; // a line break is never printed raw
    }
    const ProcessResult outside =
        melo_dsu({"loop", in, "--into", dir.root(), "--loop", "0.5:3"}, dir);
    EXPECT_NE(outside.err.find(
                  "--loop 0.500:3.000 liegt nicht innerhalb der Aufnahme (0.000 s bis 1.000 s)"),
              std::string::npos)
        << outside.err;
    EXPECT_NE(melo_dsu({"loop", in, "--into", dir.root(), "--name", "a\nb"}, dir)
                  .err.find("--name: Der Dateiname enthält einen Zeilenumbruch"),
              std::string::npos);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"kurz.wav", "notes.ogg"}));
    EXPECT_NE(melo_dsu({"--help"}, dir).out.find("  loop IN --into DIR [--name STEM]"),
              std::string::npos);
}

} // namespace

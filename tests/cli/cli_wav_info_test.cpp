#include <gtest/gtest.h>

#include "melo_dsu.h"
#include "temp_dir.h"
#include "wav_builder.h"

#ifdef MELO_WITHOUT_SOUND_TOOLS // a Windows build without libebur128
constexpr const char* kLoudnessLine = "Lautheit nicht messbar: diese Ausgabe von melo-dsu ist ohne libebur128 gebaut\n";
#else
constexpr const char* kLoudnessLine = "Lautheit nicht messbar (zu kurz oder zu leise), True Peak -inf dBTP\n";
#endif

TEST(CliInspect, PrintsEveryPanelFieldAndTheStatus) {
    TempDir dir;
    const std::string path = dir.path("a.wav");
    wavb::write_file(path, wavb::wav({.channels = 2, .rate = 22050, .bits = 16}, std::string(88200, '\0')));
    const ProcessResult r = melo_dsu({"inspect", path}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Filelänge (Bytes) 88244\n"
                     "Anzahl Samples: 22050\n"
                     "Bytes/Sekunde: 88200\n"
                     "bits/Sample: 16\n"
                     "Samplefrequenz: 22050 Hz (5622)\n"
                     "Anzahl Kanäle: 2\n"
                     "Dauer: 0m 1.00s\n"
                     "\"data\"-chunk anf: 44\n"
                     "\"fmt \"-chunk len: 16\n"
                     "WAVformat: 1 uncompressed PCM\n"
                     "Status: WAV decodiert, Ende=22050\n" +
                         std::string(kLoudnessLine));
    // The header-only check reports the samples held, none in a fresh process.
    const ProcessResult h = melo_dsu({"inspect", "--header-only", path}, dir);
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("Status: WAV decodiert, Ende=0\n"), std::string::npos);
}

TEST(CliInspect, BrokenFilesFailWithTheirMessage) {
    TempDir dir;
    const std::string mp3 = dir.path("b.wav");
    wavb::write_file(mp3, wavb::wav({.tag = 85}, "\x10"));
    const ProcessResult r = melo_dsu({"inspect", mp3}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("WAVformat: 85 MP3\n"), std::string::npos);
    EXPECT_NE(r.out.find("Status: Fehler in WAV-Datei: WAV ist kein PCM-Format (#9): 85=MP3\n"),
              std::string::npos);
    const ProcessResult missing = melo_dsu({"inspect", dir.path("none.wav")}, dir);
    EXPECT_EQ(missing.status, 2); // a missing input, as --help says
    EXPECT_NE(missing.out.find("Status: Fehler in WAV-Datei: File nicht gefunden (#3)"), std::string::npos);
}

TEST(CliInspect, UsageErrors) {
    TempDir dir;
    EXPECT_EQ(melo_dsu({"inspect"}, dir).status, 2);
    EXPECT_EQ(melo_dsu({"inspect", "a.wav", "b.wav"}, dir).status, 2);
    const ProcessResult bad = melo_dsu({"inspect", "a.wav", "--fast"}, dir);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--fast"), std::string::npos);
    EXPECT_EQ(melo_dsu({"frobnicate"}, dir).status, 2);
    EXPECT_EQ(melo_dsu({}, dir).status, 2);
    const ProcessResult help = melo_dsu({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("inspect WAVFILE"), std::string::npos);
    EXPECT_EQ(melo_dsu({"--version"}, dir).out, "melo-dsu V1.01.0001\n");
}

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>

#include "fifo.h"
#endif

#include "common/atomic_file.h"
#include "melo_dsu.h"
#include "platform/paths.h"
#include "project/project_file.h"
#include "temp_dir.h"
#include "wav_builder.h"

namespace fs = std::filesystem;

namespace {
struct Demo {
    TempDir dir;
    Demo() { fs::copy(fs::path(MELO_SOURCE_DIR) / "examples/demo", dir.root(), fs::copy_options::recursive); }
    std::string file(const std::string& name) const {
        std::string bytes;
        melo::read_file(dir.path(name), bytes);
        return bytes;
    }
};
} // namespace

TEST(CliBuild, BuildsTheDemoAndPrintsTheLog) {
    Demo demo;
    const ProcessResult r = melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("VUZOdezir-Version:  V1.01.0001\nWAV  1: motor_an.wav:\n", 0), 0u);
    EXPECT_NE(r.out.find("\nbenötigte Bytes: 47633\nFLASH 32Mbit: 4146671 frei\nErgebnis = OK\nnoch 318,4 s frei bei 13021 Hz\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("WAVBytes"), std::string::npos); // debug lines only with --verbose
    EXPECT_EQ(demo.file("demo.DSU").size(), 47633u);
    EXPECT_FALSE(fs::exists(demo.dir.path("demo.LOG")));

    const ProcessResult v = melo_dsu({"build", "--verbose", "--log", "--debug-log", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(v.status, 0);
    EXPECT_NE(v.out.find("\nWAVBytes:  80 80 80 80.... 7F 7F 80 80,FF\n"), std::string::npos);
    EXPECT_EQ(demo.file("demo.LOG").substr(0, 32), "VUZOdezir-Version:  V1.01.0001\r\n");
    EXPECT_NE(demo.file("demo.DBG").find("WAVBytes"), std::string::npos);
    EXPECT_EQ(demo.file("demo.LOG").find("noch "), std::string::npos); // the budget is no log line

    const ProcessResult d = melo_dsu({"dump", demo.dir.path("demo.DSU")}, demo.dir);
    EXPECT_EQ(d.status, 0);
    EXPECT_NE(d.out.find("Slot 12  Sound D (203) Ende"), std::string::npos);
    EXPECT_NE(d.out.find("Belegt: 47633 Bytes; FLASH 32Mbit: 4146671 frei\nnoch 318,4 s frei bei 13021 Hz\nKonsistent.\n"), std::string::npos);
}

TEST(CliBuild, AFailedRunExitsWithOneAndWritesNoImage) {
    Demo demo;
    fs::remove(demo.dir.path("demo.DS3"));
    const ProcessResult r = melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Fehler: Basis-DSD/DS3file \"demo.DS3\" nicht gefunden\n"), std::string::npos);
    EXPECT_NE(r.out.find("Ergebnis = FEHLERHAFT\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(demo.dir.path("demo.DSU")));
}

TEST(CliBuild, UsageErrorsAndUnreadableProjects) {
    TempDir dir;
    const ProcessResult missing = melo_dsu({"build", dir.path("none.DSP")}, dir);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("Projektfile"), std::string::npos);
    EXPECT_EQ(melo_dsu({"build", dir.root()}, dir).status, 2);
    EXPECT_EQ(melo_dsu({"build"}, dir).status, 2);
    EXPECT_EQ(melo_dsu({"build", "x.DSP", "--fast"}, dir).status, 2);
    EXPECT_EQ(melo_dsu({"dump", dir.path("none.DSU")}, dir).status, 2);
    EXPECT_EQ(melo_dsu({"dump"}, dir).status, 2);

    // A file that is no project is told as what it is.
    wavb::write_file(dir.path("big.DSP"), std::string(16 * 1024 * 1024 + 1, '\n'));
    wavb::write_file(dir.path("empty.DSP"), "");
    const std::pair<std::string, std::string> unreadable[] = {
        {dir.path("big.DSP"), "nicht lesbar: Datei zu groß (16777217 Bytes, höchstens 1048576)\n"},
        {dir.path("empty.DSP"), "nicht lesbar: Projektfile ist leer\n"},
        {"/proc/self/status", "nicht lesbar: kein Abschnitt [WAVs] im Projektfile\n"},
    };
    for (const auto& [project, reason] : unreadable) {
        const ProcessResult r = melo_dsu({"build", project}, dir);
        EXPECT_EQ(r.status, 2) << project;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("außerhalb"), std::string::npos);
    }
}

TEST(CliBuild, NamesReachTheTerminalWithTheirControlCharactersShown) {
    Demo demo;
    std::string project = demo.file("demo.DSP");
    project.replace(project.find("motor_an.wav"), 12, "\x1b]0;pwned\x07\x1b[2J.wav");
    project.replace(project.find("motor_lauf.wav"), 14, "sub\\lauf.wav");
    wavb::write_file(demo.dir.path("demo.DSP"), project);
    fs::create_directory(demo.dir.path("sub"));
    fs::rename(demo.dir.path("motor_lauf.wav"), demo.dir.path("sub/lauf.wav"));
    const ProcessResult r = melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.out.find('\x07'), std::string::npos);
    EXPECT_NE(r.out.find("\\x1b]0;pwned\\x07\\x1b[2J.wav: WAV-File nicht gefunden: der Name enthält Steuerzeichen\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("sub\\lauf.wav: WAV-File"), std::string::npos); // found in its folder
}

TEST(CliBuild, OutputsThatAreLinksOutOfTheFolderAreNotWrittenThrough) {
    Demo demo;
    TempDir elsewhere;
    wavb::write_file(elsewhere.path("victim.txt"), "precious");
    for (const char* name : {"demo.DSU", "demo.LOG", "demo.DBG"}) {
        std::error_code no_links;
        fs::create_symlink(elsewhere.path("victim.txt"), demo.dir.path(name), no_links);
        if (no_links) {
            GTEST_SKIP() << "no symbolic links here: " << no_links.message(); // Wine before 9
        }
    }
    const ProcessResult r = melo_dsu({"build", "--log", "--debug-log", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 1);
    std::string victim;
    melo::read_file(elsewhere.path("victim.txt"), victim);
    EXPECT_EQ(victim, "precious");
    EXPECT_NE(r.out.find("demo.DSU\" nicht geschrieben: ist ein symbolischer Link auf"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("demo.DBG\" nicht geschrieben: ist ein symbolischer Link auf"), std::string::npos) << r.err;
}

#ifndef _WIN32 // Windows has no FIFOs in folders
TEST(CliBuild, AFifoInPlaceOfAPartOrTheBaseIsNeitherWaitedOnNorRead) {
    // Each FIFO holds the bytes of the file it replaces, from a writer that stays: opened, it
    // would not even block, but hand them over.
    for (const char* name : {"motor_an.wav", "demo.DS3"}) {
        SCOPED_TRACE(name);
        Demo demo;
        const std::string bytes = demo.file(name);
        fs::remove(demo.dir.path(name));
        FilledFifo fifo(demo.dir.path(name), bytes);
        ASSERT_TRUE(fifo.ok());
        const ProcessResult r =
            run_process_within(MELO_DSU_PATH, {"build", demo.dir.path("demo.DSP")}, demo.dir.root(),
                               std::chrono::seconds(30));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find("Ergebnis = FEHLERHAFT\n"), std::string::npos) << r.out;
        EXPECT_EQ(fifo.unread(), bytes);
        EXPECT_FALSE(fs::exists(demo.dir.path("demo.DSU")));
    }
}

// /dev/full, a full output, is a Linux device
TEST(CliBuild, AFullStandardOutputIsAFailure) {
    Demo demo;
    const std::string command = shell_quote(MELO_DSU_PATH) + " build " + shell_quote(demo.dir.path("demo.DSP")) +
                                " >/dev/full 2>" + shell_quote(demo.dir.path("err.txt"));
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(demo.file("err.txt").find("melo-dsu: Standardausgabe nicht geschrieben"),
              std::string::npos);
    EXPECT_EQ(WEXITSTATUS(std::system((shell_quote(MELO_DSU_PATH) + " --help >/dev/full 2>/dev/null").c_str())), 1);
}
#endif

TEST(CliDump, NamesEveryInconsistency) {
    Demo demo;
    ASSERT_EQ(melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir).status, 0);
    std::string image = demo.file("demo.DSU");
    image[9216] = '\x00'; // slot 1's marker: 0 instead of 255
    image += "xyz";       // bytes behind the last part
    wavb::write_file(demo.dir.path("bad.DSU"), image);
    const ProcessResult r = melo_dsu({"dump", demo.dir.path("bad.DSU")}, demo.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Fehler: Slot 1 (Sound A (200) Anfang): Markerbyte 0 statt 255\n"), std::string::npos);
    EXPECT_NE(r.out.find("Fehler: 3 Bytes hinter dem letzten Teil (Slot 12)\n"), std::string::npos);
    EXPECT_NE(r.out.find("2 Fehler gefunden.\n"), std::string::npos);

    wavb::write_file(demo.dir.path("short.DSU"), std::string(100, '\x01'));
    const ProcessResult s = melo_dsu({"dump", demo.dir.path("short.DSU")}, demo.dir);
    EXPECT_EQ(s.status, 1);
    EXPECT_NE(s.out.find("Image zu kurz für die Adresstabelle (100 Bytes"), std::string::npos);
}

TEST(CliDump, AnImageTooBigForTheFlashIsAnInconsistency) {
    Demo demo;
    // A base file that fills the flash on its own: the run writes the image and says so in its
    // size line only; read back, the image is named as one that does not fit.
    std::string base = demo.file("demo.DS3");
    base.resize(4194304, '\x11');
    wavb::write_file(demo.dir.path("demo.DS3"), base);
    const ProcessResult r = melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::int64_t over = static_cast<std::int64_t>(demo.file("demo.DSU").size()) - 4194304;
    const ProcessResult d = melo_dsu({"dump", demo.dir.path("demo.DSU")}, demo.dir);
    EXPECT_EQ(d.status, 1);
    EXPECT_NE(d.out.find("Fehler: Image zu groß für 32Mbit: " + std::to_string(over) +
                         " Bytes zuviel\n1 Fehler gefunden.\n"),
              std::string::npos)
        << d.out;
}

TEST(CliDump, ChecksTheFileBeforeReadingIt) {
    TempDir dir;
    // A device and a FIFO would never end; neither is read.
#ifdef _WIN32
    EXPECT_EQ(melo_dsu({"dump", "NUL"}, dir).status, 2);
#else
    EXPECT_EQ(melo_dsu({"dump", "/dev/zero"}, dir).status, 2);
    ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
    const ProcessResult fifo = melo_dsu({"dump", dir.path("fifo")}, dir);
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.err.find("ist keine gewöhnliche Datei"), std::string::npos);
#endif
    // Larger than the image buffer: said, not read.
    wavb::write_file(dir.path("big.DSU"), "");
    fs::resize_file(dir.path("big.DSU"), 8388610);
    const ProcessResult big = melo_dsu({"dump", dir.path("big.DSU")}, dir);
    EXPECT_EQ(big.status, 1);
    EXPECT_NE(big.out.find("Image ist 8388610 Bytes groß, ein Image hat höchstens 8388609 Bytes"), std::string::npos);
}

TEST(CliBuild, ALogFileThatCannotBeWrittenIsAFailure) {
    Demo demo;
    fs::create_directory(demo.dir.path("demo.LOG"));
    const ProcessResult r = melo_dsu({"build", "--log", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("melo-dsu build: Fehler: Logfile \"" + demo.dir.path("demo.LOG") + "\" nicht geschrieben: "),
              std::string::npos);
    EXPECT_EQ(demo.file("demo.DSU").size(), 47633u); // the image itself is fine
}

namespace {
std::string golden(const std::string& name) {
    std::string bytes;
    melo::read_file(std::string(MELO_SOURCE_DIR) + "/tests/data/golden/" + name, bytes);
    return bytes;
}
} // namespace

TEST(CliBuild, TheDemoGivesTheGoldenImageAndLogByteForByte) {
    Demo demo;
    ASSERT_EQ(melo_dsu({"build", "--log", demo.dir.path("demo.DSP")}, demo.dir).status, 0);
    EXPECT_TRUE(demo.file("demo.DSU") == golden("demo.DSU"));
    EXPECT_TRUE(demo.file("demo.LOG") == golden("demo.LOG"));
}

TEST(CliBuild, NamesThatDifferInCaseFromTheFilesFindThem) {
    Demo demo;
    std::string dsp = demo.file("demo.DSP");
    for (char& c : dsp) {
        if (c >= 'a' && c <= 'z' && &c > &dsp[dsp.find(']')]) {
            c = static_cast<char>(c - 'a' + 'A'); // values and keys; keys match without case anyway
        }
    }
    ASSERT_TRUE(melo::replace_file(demo.dir.path("demo.DSP"), dsp));
    const ProcessResult r = melo_dsu({"build", demo.dir.path("demo.DSP")}, demo.dir);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(demo.file("demo.DSU") == golden("demo.DSU"));
}

// A project, its sounds, its log and its image with names outside Latin letters, in a
// folder named so too: written, read back and listed.
TEST(CliBuild, NonLatinNamesOfProjectSoundsAndFolders) {
    Demo demo;
    const std::string folder = demo.dir.path("Звук");
    fs::create_directory(melo::native_path(folder));
    const std::string sep = melo::path_separator();
    melo::ProjectFields fields = melo::load_project(demo.dir.path("demo.DSP")).fields;
    auto move_in = [&](std::string& name, std::string renamed) {
        std::string bytes;
        ASSERT_TRUE(melo::read_file(demo.dir.path(name), bytes));
        ASSERT_TRUE(melo::replace_file(folder + sep + renamed, bytes));
        name = renamed;
    };
    move_in(fields.dsdfilename, "основа.DS3");
    for (std::size_t i = 0; i < 4; ++i) {
        move_in(fields.useranf[i], i == 0 ? "日本の汽笛.wav" : fields.useranf[i]);
        move_in(fields.userloop[i], i == 0 ? "Ελληνικά.wav" : fields.userloop[i]);
        move_in(fields.userend[i], fields.userend[i]);
    }
    const std::string project = folder + sep + "日本.DSP";
    ASSERT_TRUE(melo::save_project(project, fields));
    EXPECT_EQ(melo::load_project(project).fields.useranf[0], "日本の汽笛.wav");

    const ProcessResult r = melo_dsu({"build", "--log", project}, demo.dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("WAV  1: 日本の汽笛.wav:\n"), std::string::npos) << r.out;
    std::string image;
    std::string log;
    ASSERT_TRUE(melo::read_file(folder + sep + "日本.DSU", image));
    ASSERT_TRUE(melo::read_file(folder + sep + "日本.LOG", log));
    EXPECT_TRUE(image == golden("demo.DSU"));
    EXPECT_NE(log.find("日本の汽笛.wav"), std::string::npos); // UTF-8: the names fit no code page
    const ProcessResult d = melo_dsu({"dump", folder + sep + "日本.DSU"}, demo.dir);
    EXPECT_EQ(d.status, 0);
    EXPECT_NE(d.out.find("Konsistent."), std::string::npos);
}

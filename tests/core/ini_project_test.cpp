#include <gtest/gtest.h>

#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "platform/process.h"
#include "project/file_choice.h"
#include "project/ini_file.h"
#include "project/project_file.h"
#include "temp_dir.h"
#include "wav_builder.h"

using namespace melo;

namespace {
std::string slurp(const std::string& path) {
    std::string text;
    read_file(path, text);
    return text;
}
} // namespace

TEST(IniRead, ProfileStringRules) {
    TempDir dir;
    const std::string path = dir.path("s.ini");
    wavb::write_file(path, "orphan=1\r\n"
                           "[vars]\r\n"
                           "  Debug  =  286  \r\n"
                           "empty=\r\n"
                           "quoted=\"a b\"\r\n"
                           "single='x'\r\n"
                           "half=\"open\r\n"
                           "no equals sign\r\n"
                           "debug=second\r\n"
                           "eq=a=b\n"
                           "[VARS]\r\n"
                           "late=never\r\n");
    EXPECT_EQ(ini_read(path, "VARS", "debug", "0"), "286");       // case, blanks, first key
    EXPECT_EQ(ini_read(path, "VARS", "empty", "0"), "");          // present but empty: not the default
    EXPECT_EQ(ini_read(path, "VARS", "missing", "0"), "0");
    EXPECT_EQ(ini_read(path, "VARS", "quoted", ""), "a b");
    EXPECT_EQ(ini_read(path, "VARS", "single", ""), "x");
    EXPECT_EQ(ini_read(path, "VARS", "half", ""), "\"open");
    EXPECT_EQ(ini_read(path, "VARS", "no equals sign", "d"), "d");
    EXPECT_EQ(ini_read(path, "VARS", "eq", ""), "a=b");            // split at the first "="
    EXPECT_EQ(ini_read(path, "VARS", "late", "d"), "d");           // only the first section counts
    EXPECT_EQ(ini_read(path, "VARS", "orphan", "d"), "d");         // lines before any section
    EXPECT_EQ(ini_read(dir.path("none.ini"), "VARS", "debug", "1"), "1");
}

TEST(IniRead, ValuesAreCutTo254CharactersAndDecoded) {
    TempDir dir;
    const std::string path = dir.path("s.ini");
    wavb::write_file(path, "[A]\r\nlong=" + std::string(300, 'x') + "\r\numlaut=Gr\xF6\xDF" "e\r\n");
    EXPECT_EQ(ini_read(path, "A", "long", ""), std::string(254, 'x'));
    EXPECT_EQ(ini_read(path, "A", "umlaut", ""), "Größe");
}

TEST(IniWrite, ReplacesAppendsAndKeepsEverythingElse) {
    IniDocument doc;
    doc.parse("; comment\n"
              "[DIRS]\r\n"
              "  ProjName = old.dsp \r\n"
              "projname=second\r\n"
              "\r\n"
              "[VARS]\r\n"
              "odd  spacing =  1\n"
              "last=1");
    ASSERT_TRUE(doc.set("dirs", "PROJNAME", "neu.dsp"));
    ASSERT_TRUE(doc.set("DIRS", "fileext", "2"));
    ASSERT_TRUE(doc.set("VARS", "warnsound", "Größe"));
    ASSERT_TRUE(doc.set("NEW", "k", "v"));
    EXPECT_EQ(doc.bytes(), "; comment\n"
                           "[DIRS]\r\n"
                           "PROJNAME=neu.dsp\r\n"
                           "projname=second\r\n"
                           "fileext=2\r\n"
                           "\r\n"
                           "[VARS]\r\n"
                           "odd  spacing =  1\n"
                           "last=1\r\n"
                           "warnsound=Gr\xF6\xDF" "e\r\n"
                           "[NEW]\r\n"
                           "k=v\r\n");
    // A line break would split the line and could set another key when read back.
    EXPECT_FALSE(doc.set("DIRS", "projname", "x\nDSDfilename=y.wav"));
    EXPECT_EQ(doc.get("DIRS", "projname", ""), "neu.dsp");
}

TEST(IniWrite, NamesOutsideWindows1252MakeTheFileUtf8) {
    TempDir dir;
    const std::string path = dir.path("Звук.dsp");
    ProjectFields fields;
    fields.useranf[0] = "日本.wav";
    fields.dsdfilename = "Größe.DS3";
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_NE(slurp(path).find("Sound1AnfWAV=日本.wav\r\n"), std::string::npos);
    EXPECT_NE(slurp(path).find("DSDfilename=Größe.DS3\r\n"), std::string::npos); // UTF-8 throughout
    EXPECT_EQ(load_project(path).fields.useranf[0], "日本.wav");
    EXPECT_EQ(load_project(path).fields.dsdfilename, "Größe.DS3");
    // Once every name fits again, the file is Windows-1252 as before.
    fields.useranf[0] = "ä.wav";
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_NE(slurp(path).find("Sound1AnfWAV=\xE4.wav\r\n"), std::string::npos);

    // A byte-order mark does not hide the first section, and stays with a UTF-8 file.
    wavb::write_file(path, std::string(kUtf8Bom) + "[WAVs]\r\nSound1AnfWAV=a€.wav\r\n");
    EXPECT_EQ(load_project(path).fields.useranf[0], "a€.wav");
    fields.useranf[0] = "日本.wav";
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_EQ(slurp(path).rfind(std::string(kUtf8Bom) + "[WAVs]\r\nSound1AnfWAV=日本.wav\r\n", 0), 0u);
}

TEST(IniWrite, CreatesAFileButNotADirectoryAndFailsSafely) {
    TempDir dir;
    const std::string path = dir.path("new.dsp");
    ProjectFields fields;
    fields.dsdfilename = "base.DS3";
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_NE(slurp(path).find("DSDfilename=base.DS3\r\n"), std::string::npos);
    std::string error;
    EXPECT_FALSE(save_project(dir.path("gone/x.dsp"), fields, &error));
    EXPECT_EQ(error, "Verzeichnis existiert nicht: Verzeichnis oder Datei existiert nicht");
    EXPECT_FALSE(save_project(dir.root() + "/", fields)); // an empty file name

    const std::string before = slurp(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    fields.dsdfilename = "other.DS3";
    EXPECT_FALSE(save_project(path, fields, &error));
    EXPECT_EQ(slurp(path), before);
#ifndef _WIN32 // Windows has no file that can be written but not read
    // A file that exists but cannot be read is not replaced by one of thirteen keys.
    ::chmod(path.c_str(), 0200);
    if (::access(path.c_str(), R_OK) != 0) { // root reads it all the same
        EXPECT_FALSE(save_project(path, fields, &error));
        ::chmod(path.c_str(), 0644);
        EXPECT_EQ(slurp(path), before);
    }
#endif
}

TEST(ProjectFile, RoundTripInKeyOrder) {
    TempDir dir;
    const std::string path = dir.path("Test.DSP");
    ProjectFields fields;
    fields.useranf = {"a.wav", "(leer)", "", "d.WAV"};
    fields.userloop = {"loop a.wav", "", "", ""};
    fields.userend = {"", "", "ende c.wav", ""};
    fields.dsdfilename = "base.DSD";
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_EQ(slurp(path), "[WAVs]\r\n"
                           "Sound1AnfWAV=a.wav\r\nSound1LoopWAV=loop a.wav\r\nSound1EndWAV=\r\n"
                           "Sound2AnfWAV=(leer)\r\nSound2LoopWAV=\r\nSound2EndWAV=\r\n"
                           "Sound3AnfWAV=\r\nSound3LoopWAV=\r\nSound3EndWAV=ende c.wav\r\n"
                           "Sound4AnfWAV=d.WAV\r\nSound4LoopWAV=\r\nSound4EndWAV=\r\n"
                           "DSDfilename=base.DSD\r\n");
    const ProjectFields back = load_project(path).fields;
    EXPECT_EQ(back.useranf, fields.useranf);
    EXPECT_EQ(back.userloop, fields.userloop);
    EXPECT_EQ(back.userend, fields.userend);
    EXPECT_EQ(back.dsdfilename, "base.DSD");

    // A missing key loads as empty, never as "(leer)"; other sections survive a save.
    wavb::write_file(path, "[Other]\r\nx=1\r\n[WAVs]\r\nSound2AnfWAV=b.wav\r\n");
    EXPECT_EQ(load_project(path).fields.useranf[0], "");
    EXPECT_EQ(load_project(path).fields.useranf[1], "b.wav");
    ASSERT_TRUE(save_project(path, fields));
    EXPECT_EQ(slurp(path).rfind("[Other]\r\nx=1\r\n[WAVs]\r\nSound2AnfWAV=(leer)\r\n", 0), 0u);
    EXPECT_EQ(load_project(dir.path("missing.dsp")).fields.dsdfilename, "");
}

TEST(ProjectFile, WhatIsWrongWithAProjectFileIsNamed) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("folder.DSP"));
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[WAVs]\r\n")) {
        utf16 += {c, '\0'};
    }
    const std::string random = std::string("\x93\xC1\x7F[WAV\x01s]") + '\0' + "\x02\xFE";
    struct Case {
        std::string name, bytes;
        ProjectState state;
        std::string error;
    };
    const Case cases[] = {
        {"big.DSP", std::string(kIniFileLimit + 1, '\n'), ProjectState::Unreadable,
         "Datei zu groß (1048577 Bytes, höchstens 1048576)"},
        {"empty.DSP", "", ProjectState::NoSection, "Projektfile ist leer"},
        {"random.DSP", random, ProjectState::Unreadable, "kein Textfile (enthält Nullbytes)"},
        {"utf16.DSP", utf16, ProjectState::Unreadable,
         "Projektfile ist in UTF-16 geschrieben, erwartet wird Windows-1252 oder UTF-8"},
        {"notes.DSP", "[Notes]\r\nSound1AnfWAV=a.wav\r\n", ProjectState::NoSection,
         "kein Abschnitt [WAVs] im Projektfile"},
        {"missing.DSP", "", ProjectState::Missing,
         "Datei kann nicht geöffnet werden: Verzeichnis oder Datei existiert nicht"},
        {"folder.DSP", "", ProjectState::Unreadable, "keine gewöhnliche Datei: ist ein Verzeichnis"},
    };
    for (const Case& c : cases) {
        if (c.state != ProjectState::Missing && c.name != "folder.DSP") {
            wavb::write_file(dir.path(c.name), c.bytes);
        }
        const LoadedProject project = load_project(dir.path(c.name));
        EXPECT_EQ(project.state, c.state) << c.name;
        EXPECT_EQ(project.error, c.error) << c.name;
        EXPECT_EQ(project.fields.useranf[0], "") << c.name;
    }
    EXPECT_EQ(load_project("/proc/self/status").state, ProjectState::NoSection);

    // A project of a megabyte of blank lines before its section still loads.
    wavb::write_file(dir.path("blank.DSP"), std::string(kIniFileLimit - 40, '\n') + "[WAVs]\nDSDfilename=b.DS3\n");
    const LoadedProject blank = load_project(dir.path("blank.DSP"));
    EXPECT_EQ(blank.state, ProjectState::Loaded);
    EXPECT_EQ(blank.fields.dsdfilename, "b.DS3");
}

#ifndef _WIN32 // Windows has no per-process file size limit
TEST(IniWrite, AWriteCutOffByTheFileSizeLimitKeepsTheOldFile) {
    TempDir dir;
    const std::string project = dir.path("Test.DSP");
    const std::string settings = dir.path("melo-sound-manager.INI");
    ProjectFields fields;
    fields.dsdfilename = "base.DS3";
    ASSERT_TRUE(save_project(project, fields));
    wavb::write_file(settings, "[DIRS]\r\nprojname=old.dsp\r\n");
    const std::string old_project = slurp(project);
    for (int i = 0; i < 4; ++i) {
        fields.useranf[static_cast<std::size_t>(i)] = std::string(200, 'a') + ".wav";
    }
    // In a child process whose files may not grow beyond 100 bytes: both writes fail there,
    // and say why.
    const pid_t pid = ::fork();
    if (pid == 0) {
        melo::ignore_file_size_signal();
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool project_saved = save_project(project, fields, &error);
        const bool project_told = error.find("Datei zu groß") != std::string::npos;
        IniDocument doc;
        doc.load_for_update(settings);
        doc.set("DIRS", "projfiledir", std::string(200, 'd'));
        const bool settings_saved = doc.save(settings, &error);
        ::_exit(!project_saved && project_told && !settings_saved ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(project), old_project);
    EXPECT_EQ(slurp(settings), "[DIRS]\r\nprojname=old.dsp\r\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"Test.DSP", "melo-sound-manager.INI"}));
}
#endif

TEST(FileChoice, EachKindHasOneNameRule) {
    using melo::FileKind;
    // The extension text counts anywhere in the path, without regard to case.
    EXPECT_EQ(melo::classify_file(FileKind::Base, "/p/horn.dsd"), melo::kAccepted);
    EXPECT_EQ(melo::classify_file(FileKind::Base, "/p.DS3/horn.bin"), melo::kAccepted);
    EXPECT_EQ(melo::classify_file(FileKind::Base, "/p/horn.wav"), melo::kWrongTypeDiffers);
    EXPECT_EQ(melo::classify_file(FileKind::Project, "/p/Test"), melo::kWrongTypeNoExt);
    EXPECT_EQ(melo::classify_file(FileKind::Project, "/p/Test.Dsp"), melo::kAccepted);
    EXPECT_EQ(melo::classify_file(FileKind::Part, ""), melo::kNothingChosen);
    // A dialog's report of a differing extension is taken as it is.
    EXPECT_EQ(melo::classify_file(FileKind::Part, "/p/horn", true), melo::kWrongTypeDiffers);

    EXPECT_FALSE(melo::fits_project_value("a\nb.wav"));
    EXPECT_FALSE(melo::fits_project_value("a\rb.wav"));
    for (const char* name : {"", ".", "..", "sub/horn.wav", "a\nb.wav"}) {
        EXPECT_FALSE(melo::plain_file_name(name)) << name;
    }
    EXPECT_TRUE(melo::plain_file_name("horn 2.wav"));
}

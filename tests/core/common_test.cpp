#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#ifdef _WIN32
#include <windows.h>
#undef ReplaceFile // the test suite's name, not the API's
#else
#include <sys/file.h>

#include "fifo.h"
#endif

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/number_format.h"
#include "common/version.h"
#include "platform/directory_probe.h"
#include "platform/error_capture.h"
#include "platform/paths.h"
#include "platform/temporary_name.h"
#include "temp_dir.h"
#include "wav/byte_source.h"

using namespace melo;

TEST(FileText, Windows1252WhenEverythingFitsUtf8Otherwise) {
    const std::string german = "Prüfe Größe: 5 € – ok";
    const std::string bytes = utf8_to_file_text(german);
    EXPECT_EQ(bytes, "Pr\xFC"
                     "fe Gr\xF6\xDF"
                     "e: 5 \x80 \x96 ok");
    EXPECT_EQ(file_text_to_utf8(bytes), german);
    // A name outside Windows-1252 makes the whole text UTF-8: nothing turns into "?".
    const std::string mixed = "Звук/Größe 日本.wav";
    EXPECT_EQ(utf8_to_file_text(mixed), mixed);
    EXPECT_EQ(file_text_to_utf8(mixed), mixed);
    EXPECT_EQ(file_text_to_utf8(std::string(kUtf8Bom) + "[WAVs]"), "[WAVs]");
    // Windows-1252 bytes that would read back as UTF-8 are not written as such.
    EXPECT_EQ(file_text_to_utf8(utf8_to_file_text("Ã¤")), "Ã¤");
    // Bytes that are not valid UTF-8 are Windows-1252, every byte round-trips.
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(utf8_to_file_text(file_text_to_utf8(all)), all);
    EXPECT_EQ(file_text_to_utf8("a\xC3"), "aÃ"); // a cut-off sequence is no UTF-8
    EXPECT_FALSE(utf8_to_cp1252("\xE4\xB8\xAD").has_value());
}

TEST(NumberFormat, GeneralFormHalfEvenRoundingAndHex) {
    EXPECT_EQ(format_general(250.25), "250.25");
    EXPECT_EQ(format_general(500.5, ','), "500,5");
    EXPECT_EQ(format_general(2147483647.0), "2147483647");
    EXPECT_EQ(round_half_even(2.5), 2.0);
    EXPECT_EQ(round_half_even(3.5), 4.0);
    EXPECT_EQ(hexx(44, 6), "00002C");
    EXPECT_EQ(hexx(7, 2), "07");
    EXPECT_EQ(hexx(0x1234567, 6), "1234567"); // never cut
    EXPECT_EQ(hexx(-1, 2), "FFFFFFFF");
}

TEST(Version, TextsFromTheOneVersionNumber) {
    EXPECT_EQ(versionstr(), " V1.01");
    EXPECT_EQ(versionfull(), " V1.01.0001");
    EXPECT_EQ(window_title(), "MELO Sound-Manager V1.01");
}

class ReplaceFile : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ReplaceFile, CreatesAndReplacesWithoutLeftovers) {
    const std::string path = dir.path("a.txt");
    ASSERT_TRUE(replace_file(path, "first"));
    ASSERT_TRUE(replace_file(path, "second"));
    std::string back;
    ASSERT_TRUE(read_file(path, back));
    EXPECT_EQ(back, "second");
    EXPECT_TRUE(directory_writable(dir.root()));
    EXPECT_FALSE(directory_writable(dir.path("missing")));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.txt"}); // no probe left either
}

// A writer that is still at work holds its temporary file: open without sharing on Windows,
// locked on POSIX systems.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) {
#ifdef _WIN32
        m_handle = CreateFileW(native_path(path).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        m_held = m_handle != INVALID_HANDLE_VALUE;
#else
        m_fd = ::open(path.c_str(), O_RDONLY);
        m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX) == 0;
#endif
    }
    ~HeldFile() {
#ifdef _WIN32
        CloseHandle(m_handle);
#else
        ::close(m_fd);
#endif
    }
    bool held() const {
        return m_held;
    }

private:
#ifdef _WIN32
    HANDLE m_handle;
#else
    int m_fd;
#endif
    bool m_held = false;
};

TEST_F(ReplaceFile, WhatKilledWritersLeftIsSweptByTheNextWrite) {
    // Temporary files of a.txt from writers killed before their rename, one of a writer still
    // at work, and names that are not a.txt's temporary files.
    const std::string path = dir.path("a.txt");
    const std::string at_work = temporary_name(path, 0xcafe);
    const std::vector<std::string> kept = {at_work, path + ".tmpx",
                                           temporary_name(dir.path("b.txt"), 0xbeef)};
    for (const std::string& name : kept) {
        ASSERT_TRUE(replace_file(name, "x"));
    }
    for (const std::uint64_t killed : {0xbeefull, 0x123456789abcull}) {
        ASSERT_TRUE(replace_file(temporary_name(path, killed), "x"));
    }
    const HeldFile writer(at_work);
    ASSERT_TRUE(writer.held());
    ASSERT_TRUE(replace_file(path, "new"));
    std::vector<std::string> expected{"a.txt"};
    for (const std::string& name : kept) {
        expected.push_back(std::filesystem::path(name).filename().string());
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.entries(), expected);
}

TEST_F(ReplaceFile, FailureLeavesTheOldFileIntact) {
    const std::string path = dir.path("keep.txt");
    ASSERT_TRUE(replace_file(path, "old"));

    namespace fs = std::filesystem;
    const auto write_bits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write_bits, fs::perm_options::remove);
    std::string error;
    EXPECT_FALSE(replace_file(path, "new", &error));
    EXPECT_EQ(error, "Datei ist schreibgeschützt: keine Berechtigung");
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);

#ifdef _WIN32
    // Windows folders are protected by access lists, not by bits; what users meet instead is
    // a file that another program holds open without sharing it.
    const HANDLE held = CreateFileW(native_path(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(replace_file(path, "new", &error));
    EXPECT_EQ(error, "Datei kann nicht ersetzt werden: die Datei wird von einem anderen Programm benutzt");
    CloseHandle(held);
#else
    ::chmod(dir.root().c_str(), 0555);
    EXPECT_FALSE(replace_file(path, "new"));
    ::chmod(dir.root().c_str(), 0755);
#endif

    EXPECT_FALSE(replace_file(dir.path("missing/x.txt"), "new"));
    EXPECT_FALSE(replace_file("", "new"));

    std::string back;
    ASSERT_TRUE(read_file(path, back));
    EXPECT_EQ(back, "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"keep.txt"});
}

TEST(Paths, AFolderHoldsOnlyWhatLiesBelowIt) {
    const std::string s = path_separator();
    const std::string folder = s + "home" + s + "proj";
    EXPECT_TRUE(lies_within(folder + s + "sub" + s + "a.DSU", folder));
    EXPECT_TRUE(lies_within(folder + s + "a.DSU", folder + s));
    // A sibling whose name begins with the folder's is not inside it.
    EXPECT_FALSE(lies_within(folder + "-b" + s + "a.DSU", folder));
    EXPECT_FALSE(lies_within(folder, folder));
#ifdef _WIN32
    EXPECT_TRUE(lies_within("C:\\Proj\\Motor.DSU", "c:\\proj")); // names without regard to case
#else
    EXPECT_FALSE(lies_within("/Proj/motor.DSU", "/proj"));
#endif
}

TEST_F(ReplaceFile, FollowsSymbolicLinksOnlyInsideTheirFolder) {
    std::filesystem::create_directory(dir.path("folder"));
    std::filesystem::create_directory(dir.path("folder/sub"));
    const std::string inside = dir.path("folder/sub/target.txt");
    const std::string outside = dir.path("victim.txt");
    ASSERT_TRUE(replace_file(inside, "old"));
    ASSERT_TRUE(replace_file(outside, "victim"));
    std::error_code no_links;
    std::filesystem::create_symlink("sub/target.txt", dir.path("folder/in.txt"), no_links);
    if (no_links) {
        GTEST_SKIP() << "no symbolic links here: " << no_links.message(); // Wine before 9
    }
    std::filesystem::create_symlink(outside, dir.path("folder/out.txt"));
    std::filesystem::create_symlink("../victim.txt", dir.path("folder/up.txt"));
    // A sibling folder whose name begins with the folder's is outside as well.
    std::filesystem::create_directory(dir.path("folder-b"));
    ASSERT_TRUE(replace_file(dir.path("folder-b/victim.txt"), "victim"));
    std::filesystem::create_symlink("../folder-b/victim.txt", dir.path("folder/sibling.txt"));

    ASSERT_TRUE(replace_file(dir.path("folder/in.txt"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("folder/in.txt")));
    std::string back;
    ASSERT_TRUE(read_file(inside, back));
    EXPECT_EQ(back, "new");

    for (const char* link : {"folder/out.txt", "folder/up.txt", "folder/sibling.txt"}) {
        std::string error;
        EXPECT_FALSE(replace_file(dir.path(link), "image", &error)) << link;
        EXPECT_NE(error.find(" außerhalb des Ordners und wird nicht überschrieben"),
                  std::string::npos)
            << link;
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path(link)));
    }
    std::string error;
    EXPECT_FALSE(replace_file(dir.path("folder/out.txt"), "image", &error));
    EXPECT_EQ(error, "ist ein symbolischer Link auf " + outside +
                         " außerhalb des Ordners und wird nicht überschrieben");
    ASSERT_TRUE(read_file(outside, back));
    EXPECT_EQ(back, "victim");
    ASSERT_TRUE(read_file(dir.path("folder-b/victim.txt"), back));
    EXPECT_EQ(back, "victim");
    // The settings file may be kept anywhere.
    ASSERT_TRUE(replace_file(dir.path("folder/out.txt"), "settings", nullptr, LinkRule::anywhere));
    ASSERT_TRUE(read_file(outside, back));
    EXPECT_EQ(back, "settings");
}

#ifndef _WIN32 // Windows has no FIFOs in folders
TEST_F(ReplaceFile, SpecialFilesAreNamedForWhatTheyAre) {
    ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
    std::string error;
    std::string back;
    EXPECT_FALSE(read_file(dir.path("fifo"), back, kReadLimit, &error));
    EXPECT_EQ(error, "keine gewöhnliche Datei: ist eine Pipe (FIFO)");
    EXPECT_FALSE(replace_file(dir.path("fifo"), "x", &error));
    EXPECT_EQ(error, "keine gewöhnliche Datei: ist eine Pipe (FIFO)");
    EXPECT_FALSE(replace_file("", "x", &error));
    EXPECT_EQ(error, "kein Dateiname");
}

TEST(InputFile, AFifoIsNeitherWaitedOnNorRead) {
    TempDir dir;
    // The decoder opens a part after it has looked at its name; a FIFO put in place meanwhile,
    // without a writer, would make a plain opening wait for one.
    ASSERT_EQ(::mkfifo(dir.path("empty").c_str(), 0600), 0);
    FileSource source(dir.path("empty"));
    std::future<bool> opened = std::async(std::launch::async, [&source] { return source.open(); });
    if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ::close(::open(dir.path("empty").c_str(), O_WRONLY | O_NONBLOCK)); // lets the opening end
        FAIL() << "the opening waited for a writer";
    }
    EXPECT_FALSE(opened.get());

    // With a writer, what it wrote stays in the FIFO.
    FilledFifo fifo(dir.path("filled"), "RIFF....WAVE");
    ASSERT_TRUE(fifo.ok());
    FileSource filled(dir.path("filled"));
    EXPECT_FALSE(filled.open());
    std::string bytes;
    EXPECT_FALSE(read_file(dir.path("filled"), bytes));
    EXPECT_EQ(fifo.unread(), "RIFF....WAVE");
}
#endif

TEST(ErrorCapture, TheLibrarysLinesAreClaimedAndTheOthersPassOn) {
    testing::internal::CaptureStderr();
    const std::vector<std::string> claimed = capture_error_output(
        [] {
            std::fputs("Warning: damaged frame\nanother thread's line\nWarning: twice\n", stderr);
        },
        [](std::string_view line) { return line.substr(0, 9) == "Warning: "; });
    const std::string passed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(claimed, (std::vector<std::string>{"Warning: damaged frame", "Warning: twice"}));
    EXPECT_EQ(passed, "another thread's line\n");
}

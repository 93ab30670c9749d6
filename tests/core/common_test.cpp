#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <windows.h>
#undef ReplaceFile // the test suite's name, not the API's
#endif

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/number_format.h"
#include "common/version.h"
#include "temp_dir.h"

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

#ifdef _WIN32
    // What a writer killed before its rename left is swept by the next write of that file;
    // another writer's file, held open, and other names stay.
    for (const char* name : {"a.txt.tmp00000000beef", "a.txt.tmp00000000cafe", "a.txt.tmpx", "b.txt.tmp00000000beef"}) {
        ASSERT_TRUE(replace_file(dir.path(name), "x"));
    }
    const HANDLE writing = CreateFileW(native_path(dir.path("a.txt.tmp00000000cafe")).c_str(), GENERIC_WRITE | DELETE,
                                       FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(replace_file(path, "third"));
    CloseHandle(writing);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.txt", "a.txt.tmp00000000cafe", "a.txt.tmpx", "b.txt.tmp00000000beef"}));
#endif
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

    ASSERT_TRUE(replace_file(dir.path("folder/in.txt"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("folder/in.txt")));
    std::string back;
    ASSERT_TRUE(read_file(inside, back));
    EXPECT_EQ(back, "new");

    for (const char* link : {"folder/out.txt", "folder/up.txt"}) {
        std::string error;
        EXPECT_FALSE(replace_file(dir.path(link), "image", &error)) << link;
        EXPECT_EQ(error, "ist ein symbolischer Link auf " + outside +
                             " außerhalb des Ordners und wird nicht überschrieben");
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path(link)));
    }
    ASSERT_TRUE(read_file(outside, back));
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
#endif

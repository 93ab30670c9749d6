// Files chosen from outside the project folder: how they stand to it, and copying them in.

#include "common/atomic_file.h"
#include "project/project_copy.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace melo;

TEST(ProjectCopy, StateAndCopy) {
    TempDir dir;
    std::filesystem::create_directories(dir.path("proj"));
    std::filesystem::create_directories(dir.path("elsewhere"));
    const std::string proj = dir.path("proj");
    wavb::write_file(dir.path("proj/inside.wav"), "A");
    wavb::write_file(dir.path("elsewhere/new.wav"), "B");
    wavb::write_file(dir.path("elsewhere/inside.wav"), "A");
    wavb::write_file(dir.path("proj/Other.WAV"), "C");
    wavb::write_file(dir.path("elsewhere/other.wav"), "D");

    EXPECT_EQ(copy_in_state(proj, dir.path("proj/inside.wav")), CopyIn::NotNeeded);
    EXPECT_EQ(copy_in_state(proj, dir.path("proj/../proj/inside.wav")), CopyIn::NotNeeded);
    EXPECT_EQ(copy_in_state(proj, dir.path("elsewhere/gone.wav")), CopyIn::NotNeeded);
    EXPECT_EQ(copy_in_state("", dir.path("elsewhere/new.wav")), CopyIn::NotNeeded);
    EXPECT_EQ(copy_in_state(proj, dir.path("elsewhere/new.wav")), CopyIn::Missing);
    EXPECT_EQ(copy_in_state(proj, dir.path("elsewhere/inside.wav")), CopyIn::Same);
    // The run would take Other.WAV for "other.wav", as on Windows: a different file.
    EXPECT_EQ(copy_in_state(proj, dir.path("elsewhere/other.wav")), CopyIn::Different);

    // Replacing it replaces Other.WAV itself, rather than putting other.wav beside it.
    ASSERT_TRUE(copy_into_project(proj, dir.path("elsewhere/other.wav")));
    std::string copied;
    ASSERT_TRUE(read_file(dir.path("proj/Other.WAV"), copied));
    EXPECT_EQ(copied, "D");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(proj)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Other.WAV", "inside.wav"}));
    EXPECT_EQ(copy_in_state(proj, dir.path("elsewhere/other.wav")), CopyIn::Same);
    std::string error;
    EXPECT_FALSE(copy_into_project(proj, dir.path("elsewhere/gone.wav"), &error));
    EXPECT_EQ(error, "Datei kann nicht geöffnet werden: Verzeichnis oder Datei existiert nicht");

    // A name in the project folder that is a symbolic link is not written through.
    std::error_code ec;
    std::filesystem::create_symlink(dir.path("elsewhere/inside.wav"), dir.path("proj/link.wav"), ec);
    if (ec) {
        GTEST_SKIP() << "no symbolic links here: " << ec.message(); // Wine before 9
    }
    wavb::write_file(dir.path("elsewhere/link.wav"), "E");
    EXPECT_FALSE(copy_into_project(proj, dir.path("elsewhere/link.wav"), &error));
    EXPECT_EQ(error, "im Projektordner ist „link.wav“ ein symbolischer Verweis");
    ASSERT_TRUE(read_file(dir.path("elsewhere/inside.wav"), copied));
    EXPECT_EQ(copied, "A");
}

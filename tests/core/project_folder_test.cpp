// Writing files into a project folder: which names, which existing file, when it is replaced,
// and several files together or not at all.

#include "common/atomic_file.h"
#include "project/file_choice.h"
#include "project/project_folder.h"
#include "project/project_path.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace melo;

namespace {

std::string contents_of(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(read_file(path, bytes)) << path;
    return bytes;
}

const std::vector<FolderFile> kHorn = {
    {"horn_anfang.wav", "A"}, {"horn_loop.wav", "L"}, {"horn_ende.wav", "E"}};

} // namespace

TEST(ProjectFolder, NamesThatNoProjectCouldHoldAreRefusedWithoutShowingThem) {
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"", "Der Dateiname ist leer."},
        {"a\nb", "Der Dateiname enthält einen Zeilenumbruch, den kein Projekt speichern kann."},
        {"a\rb", "Der Dateiname enthält einen Zeilenumbruch, den kein Projekt speichern kann."},
        {"a\x1b]0;x\x07", "Der Dateiname enthält ein Steuerzeichen, das kein Projekt lesen kann."},
        {"a/b", "„a/b“ nennt einen Ordner; gebraucht wird ein Dateiname ohne Ordner."},
        {"..", "„..“ ist kein Dateiname."},
    };
    TempDir dir;
    for (const auto& [name, reason] : refused) {
        EXPECT_EQ(new_file_name_problem(name), reason) << name;
        EXPECT_FALSE(plain_file_name(name));
        if (name.empty()) {
            continue; // a file without a name is no file, and skipped
        }
        const FolderWrite w = write_into_folder(dir.root(), {{name, "L"}}, Replace::allowed);
        EXPECT_EQ(w.outcome, FolderOutcome::failed);
        EXPECT_EQ(w.error, reason);
    }
    EXPECT_TRUE(plain_file_name("Horn 2 – Motor.wav"));
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ProjectFolder, ANamesakeThatDiffersOnlyInCaseIsTheFileReplaced) {
    TempDir dir;
    wavb::write_file(dir.path("HORN_LOOP.WAV"), "alt");
    const FolderTarget t = folder_target(dir.root(), "horn_loop.wav");
    EXPECT_TRUE(t.exists);
    EXPECT_EQ(t.name, "HORN_LOOP.WAV"); // as the folder spells it, also where case is ignored
    EXPECT_EQ(differing_files(dir.root(), kHorn), std::vector<std::string>{t.name});

    const FolderWrite w = write_into_folder(dir.root(), kHorn, Replace::allowed);
    ASSERT_EQ(w.outcome, FolderOutcome::written) << w.error;
    EXPECT_EQ(w.names[1], t.name);
    const std::vector<std::string> entries = dir.entries();
    ASSERT_EQ(entries.size(), 3u); // no second horn_loop.wav beside it
    EXPECT_NE(std::find(entries.begin(), entries.end(), "HORN_LOOP.WAV"), entries.end());
    EXPECT_EQ(contents_of(dir.path(t.name)), "L");
}

TEST(ProjectFolder, AFileWithOtherContentsIsReplacedOnlyWhenTheUserSaidSo) {
    TempDir dir;
    wavb::write_file(dir.path("horn_anfang.wav"), "A"); // the same: no question
    wavb::write_file(dir.path("horn_ende.wav"), "eigene Fassung");
    EXPECT_EQ(differing_files(dir.root(), kHorn), std::vector<std::string>{"horn_ende.wav"});

    const FolderWrite kept = write_into_folder(dir.root(), kHorn, Replace::keep_different);
    EXPECT_EQ(kept.outcome, FolderOutcome::kept_different);
    EXPECT_EQ(kept.error, "„horn_ende.wav“ gibt es schon mit anderem Inhalt");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"horn_anfang.wav", "horn_ende.wav"}));
    EXPECT_EQ(contents_of(dir.path("horn_ende.wav")), "eigene Fassung");

    wavb::write_file(dir.path("horn_ende.wav"), "E");
    EXPECT_EQ(write_into_folder(dir.root(), kHorn, Replace::keep_different).outcome,
              FolderOutcome::written);
    EXPECT_EQ(contents_of(dir.path("horn_loop.wav")), "L");
}

TEST(ProjectFolder, SeveralFilesAreWrittenTogetherOrNotAtAll) {
    TempDir dir;
    wavb::write_file(dir.path("horn_anfang.wav"), "alt");
    // The end part cannot be written: the start part gets its old contents back, the new
    // loop part goes again.
    std::filesystem::create_directory(dir.path("horn_ende.wav"));
    FolderWrite w = write_into_folder(dir.root(), kHorn, Replace::allowed);
    EXPECT_EQ(w.outcome, FolderOutcome::failed);
    EXPECT_EQ(w.error.rfind("horn_ende.wav: ", 0), 0u) << w.error;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"horn_anfang.wav", "horn_ende.wav"}));
    EXPECT_EQ(contents_of(dir.path("horn_anfang.wav")), "alt");
    std::filesystem::remove(dir.path("horn_ende.wav"));

    // Cancelled once the first file is written: undone as a failure is.
    struct CancelAfterFirst : melo::ProgressObserver {
        std::vector<int> seen;
        void progress(int permille) override { seen.push_back(permille); }
        bool cancelled() const override { return !seen.empty(); }
    } observer;
    w = write_into_folder(dir.root(), kHorn, Replace::allowed, &observer);
    EXPECT_EQ(w.outcome, FolderOutcome::cancelled);
    EXPECT_EQ(w.error, "Abgebrochen: keine Datei geschrieben.");
    EXPECT_EQ(observer.seen, std::vector<int>{333});
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"horn_anfang.wav"});
    EXPECT_EQ(contents_of(dir.path("horn_anfang.wav")), "alt");
}

#ifndef _WIN32 // Windows has no FIFOs in folders
TEST(ProjectFolder, AFifoInPlaceOfAFileIsNeitherReadNorReplaced) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.path("horn_loop.wav").c_str(), 0600), 0);
    const FolderWrite w = write_into_folder(dir.root(), kHorn, Replace::allowed);
    EXPECT_EQ(w.outcome, FolderOutcome::failed);
    EXPECT_EQ(w.error, "horn_loop.wav: keine gewöhnliche Datei: ist eine Pipe (FIFO)");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"horn_loop.wav"});
}
#endif

TEST(ProjectFolder, ALinkThatLeadsOutOfTheFolderIsNotWrittenThrough) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("projekt"));
    wavb::write_file(dir.path("fremd.wav"), "fremd");
    std::error_code ec;
    std::filesystem::create_symlink(dir.path("fremd.wav"), dir.path("projekt/horn_loop.wav"), ec);
    if (ec) {
        GTEST_SKIP() << "no symbolic links here: " << ec.message(); // Wine before 9
    }
    const FolderWrite w = write_into_folder(dir.path("projekt"), kHorn, Replace::allowed);
    EXPECT_EQ(w.outcome, FolderOutcome::failed);
    EXPECT_EQ(w.error, "„horn_loop.wav“ führt aus dem Projektordner hinaus.");
    EXPECT_EQ(contents_of(dir.path("fremd.wav")), "fremd");
}

// Writers cut off from outside: a file size limit that runs out mid-write, and a kill at
// any moment. Each time the old file is intact or the new one complete, nothing is left
// behind, and a failure is reported. Windows has no per-process file size limit, so there
// only the kill is tried.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/atomic_file.h"
#include "run_process.h"
#include "temp_dir.h"
#include "wav_builder.h"

namespace {

std::string slurp(const std::string& path) {
    std::string bytes;
    melo::read_file(path, bytes, 1u << 30);
    return bytes;
}

// A project whose image nearly fills the 32 Mbit memory: a 64 KiB base and twelve parts.
struct FullProject {
    TempDir dir;
    explicit FullProject(char value = '\x40') {
        wavb::write_file(dir.path("full.DS3"), std::string(65536, '\x55'));
        std::string dsp = "[WAVs]\r\n";
        static const char* const kParts[3] = {"Anf", "Loop", "End"};
        for (int i = 0; i < 12; ++i) {
            const std::string name = "part" + std::to_string(i) + ".wav";
            wavb::write_file(dir.path(name), wavb::wav({}, std::string(340000, value)));
            dsp += "Sound" + std::to_string(i / 3 + 1) + kParts[i % 3] + "WAV=" + name + "\r\n";
        }
        wavb::write_file(dir.path("full.DSP"), dsp + "DSDfilename=full.DS3\r\n");
    }
    ProcessResult build(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"build", dir.path("full.DSP")};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_process(MELO_DSU_PATH, args, dir.root());
    }
    // Changes every part, so the next image differs from the last one.
    void change() {
        for (int i = 0; i < 12; ++i) {
            wavb::write_file(dir.path("part" + std::to_string(i) + ".wav"), wavb::wav({}, std::string(340000, '\x60')));
        }
    }
};

} // namespace

#ifndef _WIN32
TEST(CutOffWrites, AnImageOrLogFileOverTheSizeLimitIsReportedAndTheOldOneKept) {
    FullProject p;
    ASSERT_EQ(p.build().status, 0);
    const std::string old_image = slurp(p.dir.path("full.DSU"));
    ASSERT_GT(old_image.size(), 4000000u);
    const std::vector<std::string> entries = p.dir.entries();
    p.change();

    // The limit runs out halfway through the image.
    const int status = wait_process(spawn_process(MELO_DSU_PATH, {"build", p.dir.path("full.DSP")}, 2000000));
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(slurp(p.dir.path("full.DSU")), old_image);
    EXPECT_EQ(p.dir.entries(), entries);

    // The same for the log file of a small project (its image is shorter than its log).
    TempDir small;
    wavb::write_file(small.path("s.DS3"), std::string(206, '\x55'));
    std::string dsp = "[WAVs]\r\n";
    for (int i = 1; i <= 4; ++i) {
        for (const char* part : {"Anf", "Loop", "End"}) {
            dsp += "Sound" + std::to_string(i) + part + "WAV=(leer)\r\n";
        }
    }
    wavb::write_file(small.path("s.DSP"), dsp + "DSDfilename=s.DS3\r\n");
    wavb::write_file(small.path("s.LOG"), "old log");
    const int log_status =
        wait_process(spawn_process(MELO_DSU_PATH, {"build", "--log", small.path("s.DSP")}, 250));
    ASSERT_TRUE(WIFEXITED(log_status));
    EXPECT_EQ(WEXITSTATUS(log_status), 1);
    EXPECT_EQ(slurp(small.path("s.LOG")), "old log");
    EXPECT_EQ(slurp(small.path("s.DSU")).size(), 218u);
    EXPECT_EQ(small.entries(), (std::vector<std::string>{"s.DS3", "s.DSP", "s.DSU", "s.LOG"}));
}
#endif

TEST(CutOffWrites, AWriterKilledAtAnyMomentLeavesTheOldImageOrTheNew) {
    FullProject p;
    ASSERT_EQ(p.build().status, 0);
    const std::string old_image = slurp(p.dir.path("full.DSU"));
    const std::vector<std::string> entries = p.dir.entries();
    p.change();

    // How long a whole run takes here, to spread the kills over it: the shortest of three, as
    // a first start may be slow (under Wine, a cold start takes seconds).
    auto run_time = std::chrono::steady_clock::duration::max();
    for (int probe = 0; probe < 3; ++probe) {
        const auto started = std::chrono::steady_clock::now();
        wait_process(spawn_process(MELO_DSU_PATH, {"build", p.dir.path("full.DSP")}));
        run_time = std::min(run_time, std::chrono::steady_clock::now() - started);
    }
    const std::string new_image = slurp(p.dir.path("full.DSU"));
    ASSERT_NE(new_image, old_image);

    // Kills spread over the run's time until 24 of them have hit a running writer (a kill
    // after the end of a run counts as a run, not as a kill); the machine's speed varies.
    constexpr int kKills = 24;
    int runs = 0;
    int killed = 0;
    int left_behind = 0;
    while (killed < kKills && runs < 4 * kKills) {
        ASSERT_TRUE(melo::replace_file(p.dir.path("full.DSU"), old_image)); // back to the old image
        const ProcessHandle pid = spawn_process(MELO_DSU_PATH, {"build", p.dir.path("full.DSP")});
        std::this_thread::sleep_for(run_time * (runs % 20) / 20);
        kill_process(pid);
        const int status = wait_process(pid);
        killed += was_killed(status) ? 1 : 0;
        const std::string image = slurp(p.dir.path("full.DSU"));
        EXPECT_TRUE(image == old_image || image == new_image) << "run " << runs << ": " << image.size() << " bytes";
#ifdef _WIN32
        // Windows cannot create a file without a name: a kill in the instant between taking
        // the temporary file's mark back and the rename leaves it, and the next write of the
        // same file sweeps it away.
        ASSERT_TRUE(melo::replace_file(p.dir.path("full.DSU"), image));
#endif
        if (p.dir.entries() != entries) {
            ++left_behind;
            for (const std::string& name : p.dir.entries()) {
                if (std::find(entries.begin(), entries.end(), name) == entries.end()) {
                    std::printf("[ kills ] run %d left %s\n", runs, name.c_str());
                    std::filesystem::remove(p.dir.path(name)); // so that each run counts alone
                }
            }
        }
        ++runs;
    }
    std::printf("[ kills ] %d runs, %d killed while running, %d left anything behind\n", runs, killed, left_behind);
    EXPECT_EQ(left_behind, 0);
    EXPECT_EQ(killed, kKills);
}

// Builds the bundled demo project and compares the image and the log file byte for byte
// with the expected files in tests/data/golden.

#include <gtest/gtest.h>

#include <filesystem>

#include "common/atomic_file.h"
#include "common/version.h"
#include "flash/generation_run.h"
#include "project/project_file.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace melo;

TEST(Golden, DemoProjectImageAndLog) {
    TempDir dir;
    fs::copy(fs::path(MELO_SOURCE_DIR) / "examples/demo", dir.root(), fs::copy_options::recursive);
    RunInput input;
    input.fields = load_project(dir.path("demo.DSP")).fields;
    input.projfiledir = dir.root();
    input.output_dir = dir.root();
    input.project_name = "demo.DSP";
    input.versionfull = versionfull();
    input.write_log = true;

    static FlashImage flash;
    static SoundSlots slots;
    static DecodedSound sound;
    RunObserver quiet;
    const RunResult result = GenerationRun(flash, slots, sound).run(input, quiet);
    EXPECT_FALSE(result.failed);

    for (const char* name : {"demo.DSU", "demo.LOG"}) {
        std::string expected;
        std::string actual;
        ASSERT_TRUE(read_file(std::string(MELO_TEST_DATA_DIR) + "/golden/" + name, expected));
        ASSERT_TRUE(read_file(dir.path(name), actual));
        EXPECT_TRUE(actual == expected) << name << " differs from the expected file";
    }
}

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
    // The expected image dates from when the demo's prepared part was a 16-bit file; that
    // input is kept here, so the image also checks the run's 16-bit to 8-bit conversion.
    fs::copy_file(fs::path(MELO_TEST_DATA_DIR) / "golden/kompressor_aus_16bit.wav", dir.path("kompressor_aus.wav"),
                  fs::copy_options::overwrite_existing);
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

// Replays the stored corpora of the fuzz targets (their seeds and every input that once made
// a target fail) through the targets' own checks, so they run under every compiler and
// sanitizer preset of the normal test suite. A broken promise aborts the test program.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "fuzz_checks.h"

namespace fs = std::filesystem;

namespace {

void replay(const char* corpus, const std::function<void(std::string_view)>& check) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(MELO_TEST_DATA_DIR) / corpus)) {
        files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << corpus;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        SCOPED_TRACE(file.string());
        check(bytes.str());
    }
}

} // namespace

TEST(Replay, DecoderInputs) { replay("decoder", melo::fuzz::check_decoder); }
TEST(Replay, IniInputs) { replay("ini", melo::fuzz::check_ini); }
TEST(Replay, ImageInputs) { replay("image", melo::fuzz::check_image); }
TEST(Replay, ProjectPathInputs) { replay("project_path", melo::fuzz::check_project_path); }
TEST(Replay, AudioReaderInputs) { replay("audio_reader", melo::fuzz::check_audio_reader); }
TEST(Replay, LoopSearchInputs) { replay("loop_search", melo::fuzz::check_loop_search); }

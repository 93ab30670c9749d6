// Replays the inputs that once made a fuzz target fail, so they run under every compiler and
// sanitizer preset of the normal test suite.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

namespace fs = std::filesystem;

namespace {
std::vector<fs::path> corpus(const char* name) {
    std::vector<fs::path> files;
    const fs::path dir = fs::path(MELO_TEST_DATA_DIR) / name;
    if (fs::exists(dir)) {
        for (const auto& e : fs::directory_iterator(dir)) {
            files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
} // namespace

TEST(Replay, DecoderInputs) {
    static melo::DecodedSound sound;
    const auto files = corpus("decoder");
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const std::string bytes = contents(file);
        for (bool alles : {false, true}) {
            melo::MemorySource source(bytes);
            const std::uint8_t code = melo::decode_sound(source, file.string(), alles, sound);
            EXPECT_GE(sound.wavend, 0) << file;
            EXPECT_LE(sound.wavend, melo::kMaxSamples) << file;
            EXPECT_FALSE(melo::wavdecoderesult_text(code, sound).empty());
        }
    }
}

// Feeds arbitrary bytes to the WAV decoder, header-only and full, and checks the invariants
// the rest of the program relies on.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

namespace {
struct Invariants : melo::DecodeProgress {
    int last = -1;
    void decode_progress(int permille, const melo::DecodedSound&) override {
        if (permille < 0 || permille > 1000 || permille <= last) {
            std::abort();
        }
        last = permille;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static melo::DecodedSound sound; // the 8 MiB buffer, allocated once
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool alles : {false, true}) {
        melo::MemorySource source(bytes);
        Invariants progress;
        const std::uint8_t code = melo::decode_sound(source, "fuzz.wav", alles, sound, &progress);
        if (sound.wavend < 0 || sound.wavend > melo::kMaxSamples) {
            std::abort();
        }
        if (code == 0 && alles) {
            for (std::int32_t i = 1; i <= sound.wavend; ++i) {
                if (sound.wavdata[static_cast<std::size_t>(i)] == 0 ||
                    sound.wavdata[static_cast<std::size_t>(i)] == 255) {
                    std::abort();
                }
            }
        }
        (void)melo::wavdecoderesult_text(code, sound);
    }
    return 0;
}

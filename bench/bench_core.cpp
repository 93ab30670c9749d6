// In-process timings of the core's hot paths. Whole-process comparisons against sox and cat
// are in the scripts beside this file.

#include <benchmark/benchmark.h>

#include "common/atomic_file.h"
#include "temp_dir.h"
#include "wav/wav_decoder.h"
#include "wav_builder.h"

namespace {

std::string stereo16(int frames) {
    std::string data;
    data.reserve(static_cast<std::size_t>(frames) * 4);
    for (int i = 0; i < frames; ++i) {
        const int v = (i * 97) % 65536 - 32768;
        data += wavb::samples16({v, -v});
    }
    return wavb::wav({.channels = 2, .rate = 13021, .bits = 16}, data);
}

void BM_DecodeFull16BitStereo(benchmark::State& state) {
    static const std::string file = stereo16(4000000);
    static melo::DecodedSound sound;
    for (auto _ : state) {
        melo::MemorySource source(file);
        benchmark::DoNotOptimize(melo::decode_sound(source, "bench.wav", true, sound));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_DecodeFull16BitStereo)->Unit(benchmark::kMillisecond);

void BM_DecodeHeaderOnly(benchmark::State& state) {
    static const std::string file = stereo16(4000000);
    static melo::DecodedSound sound;
    for (auto _ : state) {
        melo::MemorySource source(file);
        benchmark::DoNotOptimize(melo::decode_sound(source, "bench.wav", false, sound));
    }
}
BENCHMARK(BM_DecodeHeaderOnly)->Unit(benchmark::kMicrosecond);

// Replacing a project-sized file in a folder that holds `range(0)` other files: each write
// also looks through the folder for what killed writers left.
void BM_ReplaceSmallFile(benchmark::State& state) {
    TempDir dir;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        wavb::write_file(dir.path("part" + std::to_string(i) + ".wav"), "x");
    }
    const std::string contents(4096, 'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(melo::replace_file(dir.path("demo.DSP"), contents));
    }
}
BENCHMARK(BM_ReplaceSmallFile)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

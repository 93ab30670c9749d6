// The loop search over a minute of recording at the module's rate: a tone with partials and
// a slow vibrato, an engine-like pulse train with hiss, and white noise (where every
// candidate is as poor as the next, the search cannot stop early).

#include <benchmark/benchmark.h>

#include "loop/loop_finder.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 13021;
constexpr int kSeconds = 60;

std::vector<float> recording(int kind) {
    std::vector<float> x(static_cast<std::size_t>(kSeconds) * kRate);
    std::mt19937 rng(11);
    std::normal_distribution<double> hiss(0.0, 0.02);
    std::uniform_real_distribution<double> white(-0.5, 0.5);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = 0.0;
        if (kind == 0) {
            const double phase = 2 * M_PI * 97.3 * (t - 0.002 / (2 * M_PI * 0.8) * std::cos(2 * M_PI * 0.8 * t));
            for (int k = 1; k <= 5; ++k) {
                v += 0.35 * std::sin(k * phase) / k;
            }
        } else if (kind == 1) {
            const double s = std::fmod(t, 0.04);
            v = 0.4 * std::exp(-s / 0.006) * std::sin(2 * M_PI * 180 * s) + hiss(rng);
        } else {
            v = white(rng);
        }
        x[i] = static_cast<float>(std::min(1.0, t / 0.3) * v);
    }
    return x;
}

void BM_LoopSearchOneMinute(benchmark::State& state) {
    const std::vector<float> x = recording(static_cast<int>(state.range(0)));
    melo::LoopFinder finder;
    melo::ProgressObserver observer;
    for (auto _ : state) {
        const melo::LoopResult r = finder.find(x, melo::LoopSettings{}, observer);
        benchmark::DoNotOptimize(r.candidates.data());
    }
    state.SetLabel(state.range(0) == 0 ? "tone" : state.range(0) == 1 ? "engine" : "noise");
}
BENCHMARK(BM_LoopSearchOneMinute)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

#include "loop/loop_finder.h"
#include "loop/loop_parts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

using melo::LoopCode;
using melo::LoopFinder;
using melo::LoopResult;
using melo::LoopSettings;

constexpr int kRate = 13021;

std::vector<float> synthesize(double seconds, const std::function<double(double)>& signal) {
    std::vector<float> x(static_cast<std::size_t>(std::lround(seconds * kRate)));
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<float>(signal(static_cast<double>(i) / kRate));
    }
    return x;
}

// A tone of 97.3 Hz with five partials, a slow vibrato of 0.2 %, a 0.3 s attack, 3 s of
// sustain and a 0.5 s decay.
constexpr double kAttack = 0.3;
constexpr double kDecayStart = 3.3;
std::vector<float> tone() {
    return synthesize(3.8, [](double t) {
        const double f = 97.3;
        const double fv = 0.8; // vibrato rate in Hz
        const double phase =
            2 * M_PI * f * (t - 0.002 / (2 * M_PI * fv) * std::cos(2 * M_PI * fv * t));
        double v = 0.0;
        for (int k = 1; k <= 5; ++k) {
            v += std::sin(k * phase + 0.3 * k) / k;
        }
        double env = 1.0;
        if (t < kAttack) {
            env = 0.5 - 0.5 * std::cos(M_PI * t / kAttack);
        } else if (t > kDecayStart) {
            env = 0.5 + 0.5 * std::cos(M_PI * std::min(1.0, (t - kDecayStart) / 0.5));
        }
        return 0.35 * env * v;
    });
}

std::vector<float> noise(double seconds, double amplitude, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    return synthesize(seconds, [&](double) { return u(rng); });
}

// The steps between neighbouring samples of `x`: the 95th percentile.
double step_p95(const std::vector<float>& x) {
    std::vector<float> steps;
    for (std::size_t i = 1; i < x.size(); ++i) {
        steps.push_back(std::fabs(x[i] - x[i - 1]));
    }
    std::sort(steps.begin(), steps.end());
    return steps[static_cast<std::size_t>(0.95 * static_cast<double>(steps.size() - 1))];
}

// The correlation of 10 ms on each side of the seam: the loop's end and start as they play
// against the signal as it runs on at b.
double seam_correlation(const std::vector<float>& x, std::int64_t a, std::int64_t b) {
    double xy = 0;
    double xx = 0;
    double yy = 0;
    for (std::int64_t k = -130; k < 130; ++k) {
        const double u = x[static_cast<std::size_t>(a + k)];
        const double v = x[static_cast<std::size_t>(b + k)];
        xy += u * v;
        xx += u * u;
        yy += v * v;
    }
    return xy / std::sqrt(xx * yy);
}

std::vector<float> joined(const melo::LoopParts& p) {
    std::vector<float> all = p.start;
    all.insert(all.end(), p.loop.begin(), p.loop.end());
    all.insert(all.end(), p.end.begin(), p.end.end());
    return all;
}

class Progress : public melo::LoopObserver {
public:
    void progress(int permille) override { values.push_back(permille); }
    std::vector<int> values;
};

TEST(LoopFinder, ToneLoopsSeamlesslyBetweenAttackAndDecay) {
    const std::vector<float> x = tone();
    LoopFinder finder;
    Progress progress;
    const LoopResult r = finder.find(x, LoopSettings{}, progress);
    ASSERT_EQ(r.code, LoopCode::Ok) << r.message;
    ASSERT_FALSE(r.candidates.empty());
    const melo::LoopCandidate& c = r.candidates.front();
    EXPECT_GE(c.a, std::lround(kAttack * kRate));
    EXPECT_LE(c.b, std::lround(kDecayStart * kRate));
    EXPECT_GE(c.length(), std::lround(0.2 * kRate));
    const melo::LoopParts parts = melo::cut_loop(x, c.a, c.b, 0);
    EXPECT_LE(std::fabs(parts.loop.front() - parts.loop.back()), step_p95(parts.loop));
    EXPECT_GE(seam_correlation(x, c.a, c.b), 0.99);
    EXPECT_GE(c.score, melo::kRepeatingScore);
    EXPECT_NEAR(c.seam.step, std::fabs(parts.loop.front() - parts.loop.back()) * 128, 1e-3);
    EXPECT_LE(c.seam.step, c.seam.step_p95);
    EXPECT_EQ(joined(parts), x); // sample for sample

    // The candidates are distinct loops, the chosen one first; the progress rises to 1000.
    EXPECT_GT(r.candidates.size(), 1u);
    for (std::size_t i = 2; i < r.candidates.size(); ++i) {
        EXPECT_GE(r.candidates[i - 1].score, r.candidates[i].score);
    }
    ASSERT_FALSE(progress.values.empty());
    EXPECT_TRUE(std::is_sorted(progress.values.begin(), progress.values.end()));
    EXPECT_EQ(progress.values.back(), 1000);
}

TEST(LoopFinder, EnginePulsesLoopOverWholePeriods) {
    std::mt19937 rng(7);
    std::normal_distribution<double> hiss(0.0, 0.02);
    const double period = 1.0 / 25.0;
    const std::vector<float> x = synthesize(3.0, [&](double t) {
        double v = 0.0;
        for (int back = 0; back < 3; ++back) { // the ringing of this pulse and the two before
            const double s = std::fmod(t, period) + back * period;
            v += std::exp(-s / 0.006) * std::sin(2 * M_PI * 180 * s) +
                 0.3 * std::exp(-s / 0.015) * std::sin(2 * M_PI * 63 * s);
        }
        return 0.4 * std::min(1.0, t / 0.1) * v + hiss(rng);
    });
    LoopFinder finder;
    Progress progress;
    const LoopResult r = finder.find(x, LoopSettings{}, progress);
    ASSERT_EQ(r.code, LoopCode::Ok) << r.message;
    const double periods = static_cast<double>(r.candidates.front().length()) / (kRate * period);
    EXPECT_NEAR(periods, std::round(periods), 0.01) << r.candidates.front().length();
    EXPECT_GE(std::round(periods), 5.0);
}

// Sounds that repeat, each from a different kind: they loop, and the loop stands for them.
TEST(LoopFinder, SteadyAndPeriodicSoundsLoopHonestly) {
    std::mt19937 rng(11);
    std::normal_distribution<double> rumble(0.0, 0.05);
    const std::vector<std::pair<const char*, std::function<double(double)>>> sounds = {
        // an engine: a 35 Hz sawtooth with its octave, a tremolo at its firing rate, rumble
        {"Motor",
         [&](double t) {
             const double saw = 2.0 * std::fmod(35.0 * t, 1.0) - 1.0;
             return (0.3 * saw + 0.2 * std::sin(2 * M_PI * 70 * t)) * (1.0 + 0.3 * std::sin(2 * M_PI * 8.75 * t)) +
                    rumble(rng);
         }},
        // a two-tone alarm: 0.4 s at 440 Hz, 0.4 s at 587 Hz
        {"Zweiklang",
         [](double t) { return 0.4 * std::sin(2 * M_PI * (std::fmod(t, 0.8) < 0.4 ? 440.0 : 587.0) * t); }},
        // a siren rising from 700 to 1300 Hz every 0.5 s
        {"Sirene",
         [](double t) {
             const double s = std::fmod(t, 0.5);
             return 0.4 * std::sin(2 * M_PI * (700.0 * s + 600.0 * s * s) + 2 * M_PI * 425.0 * (t - s));
         }},
        // a slow pulse train: a 15 ms knock twice a second
        {"Pochen", [](double t) {
             const double s = std::fmod(t, 0.5);
             return s < 0.015 ? 0.6 * std::sin(2 * M_PI * 200 * s) * (1.0 - s / 0.015) : 0.0;
         }}};
    for (const auto& [name, sound] : sounds) {
        const std::vector<float> x = synthesize(6.0, sound);
        LoopFinder finder;
        Progress progress;
        const LoopResult r = finder.find(x, LoopSettings{}, progress);
        ASSERT_EQ(r.code, LoopCode::Ok) << name << ": " << r.message;
        const melo::LoopCandidate& c = r.candidates.front();
        EXPECT_GE(c.likeness.value_or(0.0), melo::kSteadyShare) << name;
        EXPECT_TRUE(c.repeats) << name;
        EXPECT_GE(c.seam.correlation, 0.95) << name;
    }
}

// Sounds whose level and spectrum change throughout: no loop, and the reason says why.
TEST(LoopFinder, RecordingsWithoutASteadyMiddleHaveNoLoop) {
    // Ten different chords of 1.5 s: each is seamless inside, none stands for the recording.
    const std::array<std::array<double, 3>, 10> chords = {{{261.6, 329.6, 392.0},
                                                           {220.0, 261.6, 329.6},
                                                           {174.6, 220.0, 261.6},
                                                           {196.0, 246.9, 293.7},
                                                           {293.7, 349.2, 440.0},
                                                           {164.8, 196.0, 246.9},
                                                           {233.1, 293.7, 349.2},
                                                           {246.9, 311.1, 370.0},
                                                           {185.0, 233.1, 277.2},
                                                           {207.7, 261.6, 311.1}}};
    const std::vector<float> music = synthesize(15.0, [&](double t) {
        const auto& chord = chords[std::min<std::size_t>(9, static_cast<std::size_t>(t / 1.5))];
        return 0.2 * (std::sin(2 * M_PI * chord[0] * t) + std::sin(2 * M_PI * chord[1] * t) +
                      std::sin(2 * M_PI * chord[2] * t));
    });
    LoopFinder finder;
    Progress progress;
    const LoopResult r = finder.find(music, LoopSettings{}, progress);
    EXPECT_EQ(r.code, LoopCode::NoRepetition);
    EXPECT_EQ(r.message.rfind("Die Aufnahme wiederholt sich nicht: Pegel und Klang ändern sich", 0), 0u)
        << r.message;
    ASSERT_FALSE(r.candidates.empty());
    EXPECT_GE(r.candidates.front().score, melo::kRepeatingScore); // the seam alone would pass

    // One click in silence is like nothing else; silence has nothing to repeat.
    std::vector<float> click(3 * kRate, 0.0f);
    click[click.size() / 2] = 0.9f;
    const LoopResult clicked = finder.find(click, LoopSettings{}, progress);
    EXPECT_EQ(clicked.code, LoopCode::NoLoop);
    EXPECT_EQ(clicked.message, "Die Aufnahme wiederholt sich nicht: keine Stelle im Suchbereich gleicht einer anderen.");
    LoopSettings faded;
    faded.crossfade_ms = 20;
    const LoopResult silent = finder.find(std::vector<float>(kRate, 0.0f), faded, progress);
    EXPECT_EQ(silent.code, LoopCode::NoLoop);
    EXPECT_EQ(silent.message, "Die Aufnahme ist im Suchbereich still: da ist nichts, was sich wiederholen könnte.");
    EXPECT_TRUE(silent.candidates.empty());
}

TEST(LoopFinder, NoiseGetsALowScoreAndAMessageAndACrossfadedSeam) {
    const std::vector<float> x = noise(3.0, 0.5, 3);
    LoopFinder finder;
    Progress progress;
    const LoopResult plain = finder.find(x, LoopSettings{}, progress);
    EXPECT_EQ(plain.code, LoopCode::NoRepetition);
    EXPECT_NE(plain.message.find("wiederholt sich nicht"), std::string::npos) << plain.message;
    ASSERT_FALSE(plain.candidates.empty());
    EXPECT_LT(plain.candidates.front().score, 0.5);

    LoopSettings settings;
    settings.crossfade_ms = 20;
    const LoopResult r = finder.find(x, settings, progress);
    ASSERT_FALSE(r.candidates.empty());
    const melo::LoopCandidate& c = r.candidates.front();
    const std::int64_t fade = melo::crossfade_samples(20, kRate);
    const melo::LoopParts parts = melo::cut_loop(x, c.a, c.b, fade);
    const double p95 = step_p95(parts.loop);
    // Every join the module plays: start into loop, loop into itself, loop into end.
    EXPECT_LE(std::fabs(parts.loop.front() - parts.start.back()), p95);
    EXPECT_LE(std::fabs(parts.loop.front() - parts.loop.back()), p95);
    EXPECT_LE(std::fabs(parts.end.front() - parts.loop.back()), p95);
    EXPECT_NEAR(c.seam.step, std::fabs(parts.loop.front() - parts.loop.back()) * 128, 1e-3);
    // The crossfade changes only the loop's last and the end part's first 20 ms.
    const std::vector<float> all = joined(parts);
    ASSERT_EQ(all.size(), x.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        changed += all[i] != x[i];
    }
    EXPECT_LE(changed, static_cast<std::size_t>(2 * fade));
}

TEST(LoopFinder, UserPointsSnapToTheBestSeamNearby) {
    const std::vector<float> x = tone();
    const std::int64_t a = std::lround(1.0 * kRate) + 37;
    const std::int64_t b = a + std::lround(10 * kRate / 97.3) + 40; // 3 ms off a whole period
    const melo::LoopCandidate exact = melo::evaluate_loop(x, a, b, 0, kRate);
    const melo::LoopCandidate snapped = melo::snap_loop(x, a, b, melo::kLoopSnapMs, 0, kRate);
    EXPECT_LT(exact.seam.correlation, 0.9);
    EXPECT_GE(snapped.seam.correlation, 0.99);
    EXPECT_LE(std::abs(snapped.a - a), std::lround(melo::kLoopSnapMs * kRate / 1000));
    EXPECT_LE(std::abs(snapped.b - b), std::lround(melo::kLoopSnapMs * kRate / 1000));
    EXPECT_LE(snapped.seam.step, snapped.seam.step_p95);
    // Markers dragged to or past the ends give no loop, and no fault.
    EXPECT_EQ(melo::evaluate_loop(x, 0, 0, 100, kRate).score, 0.0);
    EXPECT_EQ(melo::snap_loop(x, 500, 99 * kRate, 5, 0, kRate).score, 0.0);
    EXPECT_EQ(melo::cut_loop(x, -5, 99 * kRate, 100).start.size(), 0u);
}

// A game sound is made as one loop: the loop spans the whole recording, and its seam (the
// end into the start) is judged as it plays.
TEST(LoopFinder, ALoopMaySpanTheWholeRecording) {
    std::vector<float> ring(2 * kRate);
    for (std::size_t i = 0; i < ring.size(); ++i) { // 150 whole periods
        const double phase = 2 * M_PI * 150.0 * static_cast<double>(i) / static_cast<double>(ring.size());
        ring[i] = static_cast<float>(0.5 * std::sin(phase) + 0.2 * std::sin(3 * phase + 1.0));
    }
    const auto n = static_cast<std::int64_t>(ring.size());
    const melo::LoopCandidate whole = melo::evaluate_loop(ring, 0, n, 0, kRate);
    EXPECT_GE(whole.seam.correlation, 0.99);
    EXPECT_GE(whole.score, melo::kRepeatingScore);
    const melo::LoopParts parts = melo::cut_loop(ring, 0, n, 0);
    EXPECT_TRUE(parts.start.empty() && parts.end.empty());
    EXPECT_EQ(parts.loop, ring);
    // Cut off a third of a period, the end no longer runs into the start.
    const melo::LoopCandidate cut = melo::evaluate_loop(ring, 0, n - 29, 0, kRate);
    EXPECT_LT(cut.score, melo::kRepeatingScore);
}

TEST(LoopFinder, SettingsRangesAndCancel) {
    const std::vector<float> x = tone();
    LoopFinder finder;
    Progress progress;
    LoopSettings s;
    s.range = melo::SampleSpan{kRate, 2 * kRate};
    s.max_seconds = 0.5;
    s.candidates = 3;
    const LoopResult r = finder.find(x, s, progress);
    ASSERT_EQ(r.code, LoopCode::Ok) << r.message;
    EXPECT_LE(r.candidates.size(), 3u);
    for (const melo::LoopCandidate& c : r.candidates) {
        EXPECT_GE(c.a, kRate);
        EXPECT_LE(c.b, 2 * kRate);
        EXPECT_LE(c.length(), std::lround(0.5 * kRate));
    }

    s.range = melo::SampleSpan{kRate, kRate + 2000}; // shorter than the shortest loop
    EXPECT_EQ(finder.find(x, s, progress).code, LoopCode::TooShort);
    s.range = melo::SampleSpan{kRate, 99 * kRate};
    EXPECT_EQ(finder.find(x, s, progress).code, LoopCode::BadSettings);
    s = LoopSettings{};
    s.min_seconds = 2;
    s.max_seconds = 1;
    EXPECT_EQ(finder.find(x, s, progress).message, "längste Schleife ist kürzer als die kürzeste");
    EXPECT_EQ(finder.find({}, LoopSettings{}, progress).code, LoopCode::TooShort);

    // A cancel from another thread (here: the observer) ends the search it meets, only that.
    class Canceller : public melo::LoopObserver {
    public:
        explicit Canceller(LoopFinder& f) : finder(f) {}
        void progress(int permille) override {
            if (permille >= 100) {
                finder.cancel();
            }
        }
        LoopFinder& finder;
    } canceller(finder);
    const LoopResult cancelled = finder.find(x, LoopSettings{}, canceller);
    EXPECT_EQ(cancelled.code, LoopCode::Cancelled);
    EXPECT_EQ(cancelled.message, "Schleifensuche abgebrochen");
    EXPECT_TRUE(cancelled.candidates.empty());
    EXPECT_EQ(finder.find(x, LoopSettings{}, progress).code, LoopCode::Ok);
    finder.cancel(); // before the worker began: that search ends, the one after runs
    EXPECT_EQ(finder.find(x, LoopSettings{}, progress).code, LoopCode::Cancelled);
    EXPECT_EQ(finder.find(x, LoopSettings{}, progress).code, LoopCode::Ok);
}

TEST(LoopParts, FramesRoundTripAndTheFilesAreNamedForTheirParts) {
    const std::string eight = {'\x01', '\x80', '\xfe', '\x7f'};
    EXPECT_EQ(melo::frames_of_signal(8, melo::signal_of_frames(8, eight)), eight);
    const std::string sixteen = {'\x00', '\x80', '\xff', '\x7f', '\x01', '\x00'};
    EXPECT_EQ(melo::frames_of_signal(16, melo::signal_of_frames(16, sixteen)), sixteen);
    EXPECT_EQ(melo::frames_of_signal(8, std::vector<float>{-2.0f, 0.999f, 0.004f}), "\x01\xfe\x81");

    const melo::LoopParts parts{{0.5f, 0.25f}, {0.0f}, {-0.5f}};
    const std::vector<melo::FolderFile> files = melo::loop_part_files("horn", parts, kRate, 8);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "horn_anfang.wav");
    EXPECT_EQ(files[1].name, "horn_loop.wav");
    EXPECT_EQ(files[2].name, "horn_ende.wav");
    EXPECT_EQ(files[0].contents.substr(44), "\xc0\xa0");
}

} // namespace

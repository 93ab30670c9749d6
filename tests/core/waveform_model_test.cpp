#include "common/atomic_file.h"
#include "flash/generation_run.h"
#include "flash/waveform_model.h"
#include "flash/waveform_viewport.h"
#include "temp_dir.h"
#include "wav_builder.h"

#include <gtest/gtest.h>
#include <random>

using namespace melo;

namespace {

// A project whose row B has an 8-bit mono start part (clipped at both ends of its range), a
// 16-bit stereo loop part whose data chunk declares an odd byte count, and no end part.
struct RowProject {
    TempDir dir;
    RunInput input;

    RowProject() {
        input.projfiledir = input.output_dir = dir.root();
        input.project_name = "Row.DSP";
        for (int k = 0; k < 4; ++k) {
            input.fields.useranf[k] = input.fields.userloop[k] = input.fields.userend[k] = "(leer)";
        }
        wavb::write_file(dir.path("base.DS3"), std::string(300, '\x11'));
        input.fields.dsdfilename = "base.DS3";
        std::string start;
        for (int i = 0; i < 300; ++i) {
            start += static_cast<char>(i % 256);
        }
        wavb::write_file(dir.path("An.wav"), wavb::wav({}, start));
        std::string loop;
        for (int i = 0; i < 200; ++i) {
            loop += wavb::samples16({i * 300 - 30000, 0});
        }
        wavb::write_file(dir.path("lauf.wav"),
                         wavb::riff(wavb::fmt_chunk({.channels = 2, .bits = 16}) +
                                    wavb::chunk("data", loop, 4 * 200 - 2) +
                                    wavb::chunk("LIST", "xxxx")));
        input.fields.useranf[1] = "an.WAV"; // found without regard to case, as on Windows
        input.fields.userloop[1] = "lauf.wav";
    }
    std::array<std::string, 3> names(int row) const {
        return {input.fields.useranf[row], input.fields.userloop[row], input.fields.userend[row]};
    }
};

} // namespace

TEST(WaveformModel, ProjectRowAndImageHoldWhatTheRunPlaces) {
    RowProject project;
    FlashImage flash;
    SoundSlots slots;
    DecodedSound sound;
    RunObserver quiet;
    const RunResult result = GenerationRun(flash, slots, sound).run(project.input, quiet);
    project.input.fields.useranf[1] = "An.wav"; // the run itself takes the name as written
    ASSERT_FALSE(GenerationRun(flash, slots, sound).run(project.input, quiet).failed)
        << result.log_text;
    project.input.fields.useranf[1] = "an.WAV";
    std::string image;
    ASSERT_TRUE(read_file(project.dir.path("Row.DSU"), image));

    const WaveformRow row = project_row(project.dir.root(), 1, project.names(1));
    EXPECT_EQ(row.title, "Sound B (201)");
    ASSERT_EQ(row.parts[0].count(), 300);
    EXPECT_EQ(row.parts[1].count(), 199); // the declared length, cut to whole frames
    EXPECT_EQ(row.parts[2].count(), 0);
    EXPECT_EQ(row.parts[0].samples[0], 1); // 0 and 255 are clipped to the sample range
    EXPECT_EQ(row.parts[0].samples[255], 254);
    EXPECT_EQ(row.parts[0].clipped(), 6); // from 0, 1, 254, 255, 0 and 1
    EXPECT_EQ(row.parts[1].wavfreq, 13021);

    const ImageRows read = image_rows(image);
    EXPECT_TRUE(read.problems.empty());
    EXPECT_TRUE(read.unreadable.empty());
    const WaveformRow& back = read.rows[1];
    const std::int64_t base = 300 + 3; // the base file, then row A's three empty parts
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(row.parts[p].samples, back.parts[p].samples);
        EXPECT_EQ(row.parts[p].marker, back.parts[p].marker);
        EXPECT_EQ(back.parts[p].address, base + row.offset(p));
        EXPECT_EQ(static_cast<unsigned char>(
                      image[static_cast<std::size_t>(base + row.marker_position(p))]),
                  row.parts[p].marker);
    }
    EXPECT_EQ(row.parts[0].marker, 255);
    EXPECT_EQ(row.parts[2].marker, 0);
    EXPECT_EQ(row.length(), 300 + 199 + 3);
}

TEST(WaveformModel, PartsThatCannotBePlacedSayWhy) {
    RowProject project;
    wavb::write_file(project.dir.path("bad.wav"),
                     wavb::wav({.tag = 3}, "abcdabcdabcdabcdabcdabcdabcdabcdabcd"));
    const WaveformRow row =
        project_row(project.dir.root(), 0, {"fehlt.wav", "../base.DS3", "bad.wav"});
    EXPECT_EQ(row.parts[0].problem, "Fehler in WAV-Datei: File nicht gefunden (#3)");
    EXPECT_EQ(row.parts[1].problem, "Der Name führt aus dem Projektordner hinaus");
    EXPECT_NE(row.parts[2].problem.find("(#9)"), std::string::npos);
    for (const WaveformPart& part : row.parts) {
        EXPECT_EQ(part.count(), 0);
        EXPECT_EQ(part.marker, -1);
    }
}

TEST(WaveformModel, DamagedImagesAreReadAsFarAsTheyGo) {
    EXPECT_FALSE(image_rows("kurz").problems.empty());
    std::string image(206, '\0');
    for (int slot = 0; slot < 12; ++slot) {
        image[170 + 3 * slot] = static_cast<char>(250); // every entry points at address 250
    }
    image += std::string(44, '\x30') + std::string(10, '\x40'); // no marker until the end
    const ImageRows rows = image_rows(image);
    EXPECT_FALSE(rows.problems.empty());
    EXPECT_TRUE(rows.unreadable.empty()); // cut short, but there is something to show
    EXPECT_EQ(rows.rows[3].parts[2].count(), 10);
    EXPECT_EQ(rows.rows[3].parts[2].marker, -1);
    image[170] = static_cast<char>(0xFF);
    image[172] = static_cast<char>(0x7F); // far behind the end
    const ImageRows behind = image_rows(image);
    EXPECT_EQ(behind.rows[0].parts[0].problem, "Adresse hinter dem Ende des Images");
    EXPECT_EQ(behind.unreadable.rfind("Slot 1 (Sound A (200) Anfang): Adresse 8323327 liegt hinter", 0),
              0u);
}

TEST(WaveformModel, SummaryRangesMatchTheSamples) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> samples(70000);
    for (auto& s : samples) {
        s = static_cast<std::uint8_t>(2 + random() % 200);
    }
    samples[65536] = 1;
    samples[4097] = 254;
    const MinMaxSummary summary(samples);
    for (int i = 0; i < 600; ++i) {
        std::size_t a = random() % (samples.size() + 1), b = random() % (samples.size() + 1);
        if (i % 4 == 0) {
            b = std::min(samples.size(), a + random() % 40); // short stretches too
        }
        if (a > b) {
            std::swap(a, b);
        }
        const SampleRange r = summary.range(samples, a, b);
        if (a == b) {
            EXPECT_TRUE(r.empty());
            continue;
        }
        const auto [lo, hi] = std::minmax_element(samples.begin() + a, samples.begin() + b);
        ASSERT_EQ(r.lo, *lo) << a << ".." << b;
        ASSERT_EQ(r.hi, *hi) << a << ".." << b;
        ASSERT_EQ(r.clipped(), *lo == 1 || *hi == 254);
    }
}

TEST(WaveformModel, SeamCloseUpShowsBothSidesAndTheStep) {
    WaveformPart loop;
    for (int i = 0; i < 100; ++i) {
        loop.samples.push_back(static_cast<std::uint8_t>(10 + i));
    }
    const SeamCloseUp seam = loop_seam(loop);
    ASSERT_EQ(seam.before.size(), 64u);
    EXPECT_EQ(seam.before.front(), 10 + 36);
    EXPECT_EQ(seam.before.back(), 109);
    EXPECT_EQ(seam.after.front(), 10);
    EXPECT_EQ(seam.after.back(), 10 + 63);
    EXPECT_EQ(seam.step, -99);

    loop.samples.resize(5);
    EXPECT_EQ(loop_seam(loop).before, loop.samples); // a short loop is shown whole on both sides
    EXPECT_TRUE(loop_seam(WaveformPart{}).after.empty());
}

TEST(WaveformModel, RowTimeLeavesOutTheMarkerBytes) {
    WaveformRow row;
    row.parts[0].samples.assign(100, 128);
    row.parts[1].samples.assign(50, 128);
    row.parts[2].samples.assign(20, 128);
    const double rate = kTargetFreq;
    EXPECT_EQ(row.seconds_at(0), 0);
    EXPECT_NEAR(row.seconds_at(100), 100 / rate, 1e-12); // on part 0's marker byte
    EXPECT_NEAR(row.seconds_at(101), 100 / rate, 1e-12); // the loop's first sample
    EXPECT_NEAR(row.seconds_at(160.5), 158.5 / rate, 1e-12);
    EXPECT_NEAR(row.seconds_at(1000), 170 / rate, 1e-12);
    EXPECT_NEAR(row.position_at_seconds(120 / rate), 121, 1e-9);
    EXPECT_NEAR(row.position_at_seconds(158.5 / rate), 160.5, 1e-9);
    EXPECT_EQ(row.position_at_seconds(10), 172); // past the end: the last marker byte
}

TEST(WaveformViewport, ZoomKeepsThePointUnderThePointerAndStaysInside) {
    WaveformViewport view;
    view.set_size(10000, 1000);
    EXPECT_TRUE(view.fitted());
    EXPECT_EQ(view.per_pixel(), 10);
    view.zoom(0.5, 250);
    EXPECT_EQ(view.per_pixel(), 5);
    EXPECT_EQ(view.position_at(250), 2500);
    view.zoom(1e-6, 0);
    EXPECT_EQ(view.per_pixel(), 1 / WaveformViewport::kMostPixelsPerSample);
    view.scroll(-1e9);
    EXPECT_EQ(view.first(), 0);
    view.set_first(1e9);
    EXPECT_EQ(view.last(), 10000);
    view.set_size(10000, 500); // zoomed in: a narrower view keeps its scale
    EXPECT_EQ(view.per_pixel(), 1 / WaveformViewport::kMostPixelsPerSample);
    view.zoom(1e9, 0);
    EXPECT_TRUE(view.fitted());
    view.set_size(20000, 1000); // fitted: stays so
    EXPECT_EQ(view.per_pixel(), 20);
    EXPECT_EQ(view.first(), 0);
}

TEST(WaveformViewport, RulerStepsAreOneTwoOrFiveTimesAPowerOfTen) {
    const RulerTicks seconds = ruler_ticks(0, 3.5, 0.01, 60); // labels 0.6 s apart at least
    EXPECT_EQ(seconds.step, 1);
    EXPECT_EQ(seconds.decimals, 0);
    EXPECT_EQ(seconds.values, (std::vector<double>{0, 1, 2, 3}));
    const RulerTicks fine = ruler_ticks(0.012, 0.055, 0.0001, 70);
    EXPECT_DOUBLE_EQ(fine.step, 0.01);
    EXPECT_EQ(fine.decimals, 2);
    ASSERT_EQ(fine.values.size(), 4u);
    EXPECT_DOUBLE_EQ(fine.values.front(), 0.02);
    const RulerTicks two = ruler_ticks(0, 1, 0.0015, 100);
    EXPECT_DOUBLE_EQ(two.step, 0.2);
    EXPECT_EQ(two.minor, 4);
    EXPECT_EQ(two.decimals, 1);
}

#include "common/atomic_file.h"
#include "flash/generation_run.h"
#include "flash/waveform_model.h"
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
    EXPECT_EQ(rows.rows[3].parts[2].count(), 10);
    EXPECT_EQ(rows.rows[3].parts[2].marker, -1);
    image[170] = static_cast<char>(0xFF);
    image[172] = static_cast<char>(0x7F); // far behind the end
    EXPECT_EQ(image_rows(image).rows[0].parts[0].problem, "Adresse hinter dem Ende des Images");
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

#include "common/atomic_file.h"
#include "loop/loop_session.h"
#include "temp_dir.h"
#include "wav/wav_decoder.h"
#include "wav_builder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

using melo::LoopSession;
using melo::PrepareOptions;

constexpr int kRate = 13021;

// A horn-like tone of 97.3 Hz with partials: 0.3 s attack, a steady middle, 0.4 s decay, as a
// 16-bit mono WAV at the module's rate.
std::string horn_wav(double seconds) {
    const int n = static_cast<int>(seconds * kRate);
    std::string data;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double envelope = std::min({1.0, t / 0.3, (seconds - t) / 0.4});
        double v = 0;
        for (int k = 1; k <= 5; ++k) {
            v += std::sin(2 * M_PI * 97.3 * k * t + k) / k;
        }
        data += wavb::le16(static_cast<std::uint16_t>(std::lround(9000 * envelope * v)));
    }
    return wavb::wav({.bits = 16}, data);
}

// Stops the work once it has heard `after` progress reports.
class StopAfter : public melo::ProgressObserver {
public:
    explicit StopAfter(int after) : m_after(after) {}
    void progress(int) override { ++m_reports; }
    bool cancelled() const override { return m_reports >= m_after; }

private:
    int m_after;
    int m_reports = 0;
};

// A session with the horn prepared (8 bits unless said) and searched.
struct Workshop {
    TempDir dir;
    LoopSession session{','};
    melo::ProgressObserver quiet;

    explicit Workshop(PrepareOptions options = {}) {
        wavb::write_file(dir.path("horn.wav"), horn_wav(2.0));
        EXPECT_TRUE(
            session.take_recording(melo::prepare_recording(dir.path("horn.wav"), options, quiet)));
        session.take_search(melo::run_loop_search(session.search(), quiet));
    }
};

std::vector<float> joined(const melo::LoopParts& p) {
    std::vector<float> all = p.start;
    all.insert(all.end(), p.loop.begin(), p.loop.end());
    all.insert(all.end(), p.end.begin(), p.end.end());
    return all;
}

} // namespace

TEST(LoopSession, ARecordingIsSearchedInItsSteadyMiddleAndTheBestLoopChosen) {
    TempDir dir;
    wavb::write_file(dir.path("horn.wav"), horn_wav(2.0));
    LoopSession session(',');
    melo::ProgressObserver quiet;
    ASSERT_TRUE(session.take_recording(melo::prepare_recording(dir.path("horn.wav"), {}, quiet)));
    // Before any search: the steady middle is the range and the loop, without the attack
    // and the decay.
    EXPECT_GT(session.range().from, 0.3 * kRate);
    EXPECT_LT(session.range().to, 1.6 * kRate);
    EXPECT_EQ(session.loop().a, session.range().from);
    EXPECT_EQ(session.loop().b, session.range().to);
    EXPECT_EQ(session.row().parts[0].count(), 2 * kRate);
    EXPECT_EQ(session.row().parts[0].name, "horn.wav");
    // The search looks where the range is, for loops as long as asked.
    session.move_marker(LoopSession::kRangeFrom, kRate / 2);
    session.set_min_seconds(0.5);
    const melo::LoopSearch search = session.search();
    EXPECT_EQ(search.settings.range->from, kRate / 2);
    EXPECT_EQ(search.settings.min_seconds, 0.5);

    session.take_search(melo::run_loop_search(search, quiet));
    ASSERT_FALSE(session.candidates().empty());
    EXPECT_EQ(session.chosen(), 0);
    EXPECT_EQ(session.loop().a, session.candidates()[0].a);
    EXPECT_EQ(session.loop().b, session.candidates()[0].b);
    EXPECT_GE(session.loop().a, kRate / 2);
    EXPECT_GE(session.loop().length(), kRate / 2);
    EXPECT_GE(session.loop().seam.correlation, 0.99);
    EXPECT_LE(std::abs(session.seam().step), 2);
    EXPECT_FALSE(session.status().failure);
    EXPECT_NE(session.status().text.find("Loops gefunden; der beste ist gewählt."),
              std::string::npos);
    // Without a crossfade the three parts put end to end are the recording.
    const std::vector<float> all = joined(session.parts());
    EXPECT_TRUE(
        std::equal(all.begin(), all.end(), session.signal().begin(), session.signal().end()));
    // The texts take the separator given.
    EXPECT_EQ(session.seconds_text(kRate / 2), "0,500 s");
    EXPECT_EQ(session.loop_text().rfind("Loop " + session.seconds_text(session.loop().a), 0), 0u)
        << session.loop_text();
}

TEST(LoopSession, MarkersStayInsideTheRecordingAndAHandMovedLoopIsTheUsers) {
    Workshop w;
    LoopSession& s = w.session;
    const melo::LoopCandidate best = s.loop();
    // A loop end dragged past the end stops at the end; a start past the end, before it.
    s.move_marker(LoopSession::kLoopEnd, 10 * kRate);
    EXPECT_EQ(s.loop().b, s.length());
    EXPECT_EQ(s.chosen(), -1);
    s.move_marker(LoopSession::kLoopStart, 10 * kRate);
    EXPECT_EQ(s.loop().a, s.length() - 1);
    s.move_marker(LoopSession::kLoopStart, -5);
    EXPECT_EQ(s.loop().a, 0);
    // The range keeps at least one sample.
    s.move_marker(LoopSession::kRangeTo, -5);
    EXPECT_EQ(s.range().to, s.range().from + 1);
    s.move_marker(LoopSession::kRangeFrom, 10 * kRate);
    EXPECT_EQ(s.range().from, s.range().to - 1);

    // A point dragged off a good seam, then snapped: a seam as good as the search's, near
    // where the user left it, and no candidate chosen.
    s.choose(0);
    EXPECT_EQ(s.chosen(), 0);
    s.move_marker(LoopSession::kLoopEnd, best.b - 30);
    EXPECT_LT(s.loop().seam.correlation, 0.9);
    s.snap();
    EXPECT_LE(std::abs(s.loop().b - (best.b - 30)), 66);
    EXPECT_GE(s.loop().seam.correlation, 0.99);
    EXPECT_EQ(s.chosen(), -1);
    s.choose(static_cast<int>(s.candidates().size())); // no such candidate
    EXPECT_EQ(s.chosen(), -1);

    // A crossfade keeps the points and the parts' lengths, and blends the loop's end.
    s.choose(0);
    const melo::LoopParts plain = s.parts();
    s.set_crossfade_ms(20);
    EXPECT_EQ(s.chosen(), 0);
    EXPECT_EQ(s.loop().a, best.a);
    const melo::LoopParts faded = s.parts();
    EXPECT_EQ(faded.loop.size(), plain.loop.size());
    EXPECT_EQ(faded.start, plain.start);
    EXPECT_NE(faded.loop, plain.loop);
}

TEST(LoopSession, SixteenBitPartsPlayAndShowTheSamplesTheImageGets) {
    Workshop w({.bits = 16});
    LoopSession& s = w.session;
    ASSERT_TRUE(s.has_loop());
    EXPECT_EQ(s.recording().bits, 16);
    const std::array<melo::PcmSound, 3> module = s.part_sounds(true);
    const std::array<melo::PcmSound, 3> written = s.part_sounds(false);
    EXPECT_EQ(module[1].bits, 8);
    EXPECT_EQ(written[1].bits, 16);
    EXPECT_EQ(module[1].data.size(), static_cast<std::size_t>(s.loop().length()));
    // What the image gets of the written loop part: the decoder keeps the upper byte.
    const melo::FolderWrite done =
        melo::write_parts(s.parts_to_write(w.dir.root(), "horn16"), w.quiet);
    ASSERT_EQ(done.outcome, melo::FolderOutcome::written) << done.error;
    auto decoded = std::make_unique<melo::DecodedSound>();
    ASSERT_EQ(melo::decode_sound(w.dir.path("horn16_loop.wav"), true, *decoded), melo::kDecodeOk);
    const std::string image(decoded->wavdata.data() + 1,
                            decoded->wavdata.data() + 1 + decoded->wavend);
    EXPECT_EQ(module[1].data, image);
    EXPECT_EQ(s.seam().after.front(), static_cast<std::uint8_t>(image.front()));
    EXPECT_EQ(s.seam().before.back(), static_cast<std::uint8_t>(image.back()));
}

TEST(LoopSession, TheCheckBeforeWritingNamesWhatWouldBeReplacedAndWhatDoesNotFit) {
    Workshop w;
    LoopSession& s = w.session;
    const std::string dir = w.dir.root();
    EXPECT_NE(s.check_write(dir, "a\nb", std::nullopt).problem.find("Zeilenumbruch"),
              std::string::npos);
    EXPECT_FALSE(s.check_write(dir, "sub/horn", std::nullopt).problem.empty());
    EXPECT_FALSE(s.check_write(dir, "..", std::nullopt).problem.empty());

    // Free flash: the recording's samples must fit below the capacity.
    EXPECT_TRUE(s.check_write(dir, "horn", std::nullopt).fits);
    EXPECT_TRUE(s.check_write(dir, "horn", s.length() + 1).fits);
    EXPECT_FALSE(s.check_write(dir, "horn", s.length()).fits);

    // New files: nothing to ask. Once written, the same parts differ in nothing, other
    // parts (a crossfade) in the loop and end part.
    EXPECT_TRUE(s.check_write(dir, "horn", std::nullopt).differing.empty());
    const melo::FolderWrite done = melo::write_parts(s.parts_to_write(dir, "horn"), w.quiet);
    ASSERT_EQ(done.outcome, melo::FolderOutcome::written) << done.error;
    s.take_written(done);
    EXPECT_EQ(s.status().text,
              "Geschrieben und zugewiesen: horn_anfang.wav, horn_loop.wav, horn_ende.wav");
    EXPECT_TRUE(s.check_write(dir, "horn", std::nullopt).differing.empty());
    s.set_crossfade_ms(20);
    EXPECT_EQ(s.check_write(dir, "horn", std::nullopt).differing,
              (std::vector<std::string>{"horn_loop.wav", "horn_ende.wav"}));

    // Cancelled once the loop part is written: it gets its old contents back.
    std::string before;
    ASSERT_TRUE(melo::read_file(w.dir.path("horn_loop.wav"), before));
    StopAfter stop(2);
    const melo::FolderWrite cancelled = melo::write_parts(s.parts_to_write(dir, "horn"), stop);
    EXPECT_EQ(cancelled.outcome, melo::FolderOutcome::cancelled);
    std::string after;
    ASSERT_TRUE(melo::read_file(w.dir.path("horn_loop.wav"), after));
    EXPECT_EQ(after, before);
    s.take_written(cancelled);
    EXPECT_EQ(s.status().text, "Abgebrochen: keine Datei geschrieben.");
    EXPECT_FALSE(s.status().failure);
}

TEST(LoopSession, LoopsOfWhatDoesNotRepeatAreDoubtedUntilTheSeamIsBlended) {
    TempDir dir;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> sample(-12000, 12000);
    std::string data;
    for (int i = 0; i < 2 * kRate; ++i) {
        data += wavb::le16(static_cast<std::uint16_t>(sample(rng)));
    }
    wavb::write_file(dir.path("rauschen.wav"), wavb::wav({.bits = 16}, data));
    LoopSession s;
    melo::ProgressObserver quiet;
    ASSERT_TRUE(s.take_recording(melo::prepare_recording(dir.path("rauschen.wav"), {}, quiet)));
    const melo::LoopResult result = melo::run_loop_search(s.search(), quiet);
    s.take_search(result);
    ASSERT_EQ(result.code, melo::LoopCode::NoRepetition) << result.message;
    EXPECT_TRUE(s.status().failure);
    EXPECT_EQ(s.chosen(), 0);
    EXPECT_EQ(s.check_write(dir.root(), "rauschen", std::nullopt).doubt, result.message);
    s.set_crossfade_ms(50);
    EXPECT_EQ(s.check_write(dir.root(), "rauschen", std::nullopt).doubt, "");
    s.set_crossfade_ms(0);
    s.move_marker(LoopSession::kLoopEnd, s.loop().b - 100); // the user's own points
    EXPECT_EQ(s.check_write(dir.root(), "rauschen", std::nullopt).doubt, "");
}

TEST(LoopSession, AFailedOrCancelledStepKeepsWhatWasThere) {
    Workshop w;
    LoopSession& s = w.session;
    const melo::LoopCandidate loop = s.loop();
    const std::size_t candidates = s.candidates().size();

    wavb::write_file(w.dir.path("notiz.txt"), "keine Aufnahme\n");
    EXPECT_FALSE(s.take_recording(melo::prepare_recording(w.dir.path("notiz.txt"), {}, w.quiet)));
    EXPECT_TRUE(s.status().failure);
    EXPECT_NE(s.status().text.find("unbekanntes Dateiformat"), std::string::npos)
        << s.status().text;
    EXPECT_TRUE(s.prepared());
    EXPECT_EQ(s.loop().b, loop.b);

    StopAfter stop(1);
    EXPECT_FALSE(s.take_recording(melo::prepare_recording(w.dir.path("horn.wav"), {}, stop)));
    EXPECT_EQ(s.status().text, "Umwandlung abgebrochen");
    EXPECT_FALSE(s.status().failure);

    StopAfter stopSearch(1);
    s.take_search(melo::run_loop_search(s.search(), stopSearch));
    EXPECT_EQ(s.status().text, "Schleifensuche abgebrochen");
    EXPECT_FALSE(s.status().failure);
    EXPECT_EQ(s.candidates().size(), candidates);
    EXPECT_EQ(s.loop().a, loop.a);

    // Without a recording nothing moves and nothing can be written.
    LoopSession empty;
    empty.move_marker(LoopSession::kLoopEnd, 100);
    empty.snap();
    EXPECT_FALSE(empty.has_loop());
    EXPECT_EQ(empty.check_write(w.dir.root(), "x", std::nullopt).problem, "Kein Loop gewählt.");
    EXPECT_EQ(empty.loop_text(), "Kein Loop gewählt.");
}

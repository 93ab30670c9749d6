#include "playback/part_sequence.h"
#include "playback/shared_playback.h"
#include "playback/spsc_queue.h"
#include "wav_builder.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

using namespace melo;

namespace {

std::shared_ptr<const PcmSound> part8(std::string bytes, int rate = 13021) {
    return std::make_shared<const PcmSound>(PcmSound{1, rate, 8, 1, std::move(bytes)});
}

// Start "S", loop "L", end "E" parts of 8-bit mono samples, each byte telling its part.
PlayParts sel(std::size_t start, std::size_t loop, std::size_t end) {
    PlayParts parts;
    if (start > 0) {
        parts[0] = part8(std::string(start, 'S'));
    }
    if (loop > 0) {
        parts[1] = part8(std::string(loop, 'L'));
    }
    if (end > 0) {
        parts[2] = part8(std::string(end, 'E'));
    }
    return parts;
}

// Renders `sequence` in blocks of `block` bytes as an output would ask for them, the part held
// while fewer than `holdBytes` bytes have been written, until its last part has been written,
// and one block of the silence behind it.
std::string play(PartSequence& sequence, std::size_t holdBytes, std::size_t block) {
    std::string stream;
    for (int guard = 0; guard < 100000; ++guard) {
        const bool finished = sequence.finished();
        std::string chunk(block, '?');
        sequence.render(chunk.data(), chunk.size(), stream.size() < holdBytes);
        stream += chunk;
        if (finished) {
            break;
        }
    }
    return stream;
}

std::string silence(std::size_t n) {
    return std::string(n, '\x80');
}

} // namespace

TEST(PartSequence, AClickPlaysEachPartOnceWithoutAGapWhateverTheBlockSize) {
    for (std::size_t block : {1u, 7u, 64u, 1000u}) {
        PartSequence sequence(sel(300, 200, 100));
        const std::string stream = play(sequence, 0, block);
        const std::string parts =
            std::string(300, 'S') + std::string(200, 'L') + std::string(100, 'E');
        ASSERT_GE(stream.size(), parts.size() + block) << block;
        EXPECT_EQ(stream.substr(0, parts.size()), parts) << block;
        EXPECT_EQ(stream.substr(parts.size()), silence(stream.size() - parts.size())) << block;
        EXPECT_EQ(sequence.loopPasses(), 1);
    }
}

TEST(PartSequence, HoldingRepeatsTheLoopAndAReleaseEndsItWithThePassBeingWritten) {
    // Released 30 bytes into the fourth pass: it plays to its end, then the end part.
    PartSequence sequence(sel(100, 50, 20));
    const std::string stream = play(sequence, 100 + 3 * 50 + 30, 10);
    std::string expected = std::string(100, 'S');
    for (int pass = 0; pass < 4; ++pass) {
        expected += std::string(50, 'L');
    }
    expected += std::string(20, 'E');
    EXPECT_EQ(stream.substr(0, expected.size()), expected);
    EXPECT_EQ(sequence.loopPasses(), 4);
}

TEST(PartSequence, AReleaseDuringTheStartPartStillPlaysTheLoopOnce) {
    PartSequence sequence(sel(100, 50, 20));
    const std::string stream = play(sequence, 40, 10);
    EXPECT_EQ(stream.substr(0, 170),
              std::string(100, 'S') + std::string(50, 'L') + std::string(20, 'E'));
}

TEST(PartSequence, MissingPartsAreLeftOut) {
    PartSequence loopOnly(sel(0, 50, 0));
    EXPECT_EQ(play(loopOnly, 0, 25), std::string(50, 'L') + silence(25));
    PartSequence heldLoop(sel(0, 50, 0));
    EXPECT_EQ(play(heldLoop, 120, 25).substr(0, 150), std::string(150, 'L'));
    PartSequence noLoop(sel(30, 0, 20));
    EXPECT_EQ(play(noLoop, 1000, 50), std::string(30, 'S') + std::string(20, 'E') + silence(50));
    PartSequence nothing(sel(0, 0, 0));
    EXPECT_FALSE(nothing.playable());
    EXPECT_EQ(nothing.at(0).state, HeardPosition::Ended);
}

TEST(PartSequence, HeardPositionFollowsThePartsAndTheLoopPasses) {
    PartSequence sequence(sel(100, 50, 20));
    EXPECT_EQ(sequence.at(0).state, HeardPosition::Waiting);
    std::string stream(260, '?');
    sequence.render(stream.data(), 160, true); // start, one pass, ten bytes of the second
    auto expect = [&](std::int64_t played, int part, std::int64_t cursor, std::int64_t length) {
        const HeardPosition h = sequence.at(played);
        EXPECT_EQ(h.state, HeardPosition::Playing) << played;
        EXPECT_EQ(h.part, part) << played;
        EXPECT_EQ(h.cursor, cursor) << played;
        EXPECT_EQ(h.length, length) << played;
    };
    expect(1, 1, 1, 100);
    expect(100, 1, 100, 100);
    expect(101, 2, 1, 50);
    expect(150, 2, 50, 50);
    expect(155, 2, 5, 50);  // the second pass
    expect(500, 2, 10, 50); // never beyond what was written
    sequence.render(stream.data() + 160, 100, false);
    expect(201, 3, 1, 20);
    EXPECT_EQ(sequence.at(219).state, HeardPosition::Playing);
    EXPECT_EQ(sequence.at(220).state, HeardPosition::Ended);
}

TEST(PartSequence, PartsPlayInTheFirstPartsFormat) {
    PlayParts parts;
    parts[1] = part8("\x80\xC0", 13021);
    parts[0] =
        std::make_shared<const PcmSound>(PcmSound{1, 13021, 16, 2, wavb::samples16({0, 0x4000})});
    parts[2] =
        std::make_shared<const PcmSound>(PcmSound{2, 13021, 16, 4, std::string()}); // no frame
    const PlayParts same = same_format_parts(parts);
    ASSERT_TRUE(same[0] && same[1]);
    EXPECT_EQ(same[0], parts[0]); // shared, not copied
    EXPECT_EQ(same[1]->bits, 16);
    EXPECT_EQ(same[1]->data, wavb::samples16({0, 0x4000}));
    EXPECT_FALSE(same[2]);

    // The first part present sets the format, and 16-bit silence is 0.
    PlayParts loopFirst;
    loopFirst[1] =
        std::make_shared<const PcmSound>(PcmSound{1, 22050, 16, 2, wavb::samples16({5})});
    loopFirst[2] = part8(std::string(441, '\x90'), 44100);
    PartSequence sequence(same_format_parts(loopFirst));
    EXPECT_EQ(sequence.format().rate, 22050);
    EXPECT_EQ(play(sequence, 0, 2).substr(2 + 2 * 221), std::string(2, '\0'));
}

TEST(SharedPlayback, TheWindowReadsWhatTheAudioThreadPublishesWhole) {
    SharedPlayback playback(sel(1000, 700, 300));
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::string block(3, '?');
        std::int64_t written = 0;
        for (int i = 0; i < 10000000 && playback.played(written).state != HeardPosition::Ended;
             ++i) {
            playback.render(block.data(), block.size());
            written += 3;
        }
        done = true;
    });
    int reads = 0;
    while (!done) {
        const HeardPosition h = playback.heard();
        if (h.state == HeardPosition::Playing) {
            // A position read while it was being written would mix two parts' figures.
            const std::int64_t length = h.part == 1 ? 1000 : h.part == 2 ? 700 : 300;
            ASSERT_EQ(h.length, length);
            ASSERT_GE(h.cursor, 1);
            ASSERT_LE(h.cursor, h.length);
        }
        if (++reads == 1000) {
            playback.release();
        }
    }
    audio.join();
    EXPECT_EQ(playback.heard().state, HeardPosition::Ended);
    EXPECT_FALSE(playback.failed());
}

TEST(SharedPlayback, AClosedOutputHasEndedAndSaysWhetherItBrokeOff) {
    SharedPlayback playback(sel(100, 0, 0), false);
    std::string block(50, '?');
    playback.render(block.data(), block.size());
    EXPECT_EQ(playback.played(10).state, HeardPosition::Playing);
    playback.stop();
    EXPECT_TRUE(playback.stopRequested());
    playback.closed(true);
    EXPECT_EQ(playback.heard().state, HeardPosition::Ended);
    EXPECT_TRUE(playback.failed());
}

TEST(SpscQueue, HandsOverEveryValueInOrderBetweenTwoThreads) {
    SpscQueue<std::shared_ptr<int>, 4> queue;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(queue.push(std::make_shared<int>(i)));
    }
    auto spare = std::make_shared<int>(9);
    EXPECT_FALSE(queue.push(std::move(spare))); // full
    EXPECT_TRUE(spare);                         // and left as it was
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(**queue.pop(), i);
    }
    EXPECT_FALSE(queue.pop());

    SpscQueue<std::shared_ptr<int>, 64> wide;
    constexpr int kCount = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kCount;) {
            if (wide.push(std::make_shared<int>(i))) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    int expected = 0;
    while (expected < kCount) {
        if (std::optional<std::shared_ptr<int>> value = wide.pop()) {
            ASSERT_EQ(**value, expected);
            ++expected;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
}

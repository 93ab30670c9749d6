#include "temp_dir.h"
#include "wav/pcm_file.h"
#include "wav_builder.h"

#include <gtest/gtest.h>

using namespace melo;

TEST(PcmFile, BuffersHoldWhatTheFileHoldsNotWhatItsHeaderClaims) {
    TempDir dir;
    // 4 KB of 16-bit stereo frames (and one odd byte) behind a header declaring 0x7FFFFFF0.
    const std::string frames(4001, '\x05');
    wavb::write_file(dir.path("lying.wav"),
                     wavb::riff(wavb::fmt_chunk({.channels = 2, .bits = 16}) +
                                wavb::chunk("data", frames, 0x7FFFFFF0)));
    PcmSound sound;
    ASSERT_TRUE(load_pcm(dir.path("lying.wav"), sound));
    EXPECT_EQ(sound.data.size(), 4000u);
    EXPECT_LT(sound.data.capacity(), 65536u);
    EXPECT_EQ(sound.block_align, 4);

    // A header that declares less than the file holds gives what it declares.
    wavb::write_file(dir.path("short.wav"),
                     wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("data", frames, 10)));
    ASSERT_TRUE(load_pcm(dir.path("short.wav"), sound));
    EXPECT_EQ(sound.data.size(), 10u);

    // No whole frame, or no file: refused.
    wavb::write_file(dir.path("empty.wav"),
                     wavb::riff(wavb::fmt_chunk({.channels = 2, .bits = 16}) +
                                wavb::chunk("data", "abc", 0x7FFFFFF0)));
    EXPECT_FALSE(load_pcm(dir.path("empty.wav"), sound));
    EXPECT_FALSE(load_pcm(dir.path("none.wav"), sound));
}

TEST(PcmFile, ConversionToAnotherFormat) {
    PcmSound mono8{1, 13021, 8, 1, wavb::bytes({0x80, 0xC0, 0x00, 0xFF})};
    PcmSound s = mono8;
    ASSERT_TRUE(convert_pcm(s, 13021, 2, 16));
    EXPECT_EQ(s.block_align, 4);
    EXPECT_EQ(s.data, wavb::samples16({0, 0, 0x4000, 0x4000, -32768, -32768, 0x7F00, 0x7F00}));

    ASSERT_TRUE(convert_pcm(s, 13021, 1, 8));
    EXPECT_EQ(s.data, mono8.data); // and back, unchanged

    // Stereo to mono by the mean; twice the rate by interpolating between neighbours.
    PcmSound stereo{2, 13021, 16, 4, wavb::samples16({1000, 3000, 3000, 5000, 5000, 7000})};
    ASSERT_TRUE(convert_pcm(stereo, 26042, 1, 16));
    EXPECT_EQ(stereo.data, wavb::samples16({2000, 3000, 4000, 5000, 6000, 6000}));
    ASSERT_TRUE(convert_pcm(stereo, 13021, 1, 16));
    EXPECT_EQ(stereo.data, wavb::samples16({2000, 4000, 6000}));

    PcmSound odd = mono8;
    EXPECT_FALSE(convert_pcm(odd, 13021, 3, 16));
    EXPECT_FALSE(convert_pcm(odd, 0, 1, 8));
    EXPECT_EQ(odd.data, mono8.data);
}

#include <gtest/gtest.h>

#include "common/lenient_number.h"
#include "wav/sample_viewer.h"

using namespace melo;

TEST(LenientNumber, LeadingNumberOfATypedText) {
    EXPECT_EQ(lenient_number(" 1 2 3 x"), 123);
    EXPECT_EQ(lenient_number("1.5e2x"), 150);
    EXPECT_EQ(lenient_number("3D1"), 30);
    EXPECT_EQ(lenient_number("&HFFFF"), -1); // 16-bit two's complement
    EXPECT_EQ(lenient_number("&O17"), 15);
    EXPECT_GT(lenient_number("&H123456789"), 4294967295.0);
}

TEST(SampleViewer, IndexIsRoundedClampedAndRewritten) {
    static DecodedSound sound;
    sound.ensure_buffer();
    for (int i = 0; i <= 20; ++i) {
        sound.wavdata[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 12);
    }
    auto view = [&](const char* text, int max = 10) { return view_sample(text, 0, max, sound); };
    EXPECT_EQ(view("").index_text, "0");
    EXPECT_EQ(view("").value_text, "00");
    EXPECT_EQ(view("2.5").index, 2);
    EXPECT_EQ(view("3.5").index, 4);
    EXPECT_EQ(view("3.5").value_text, "30");
    EXPECT_EQ(view("99").index_text, "10");             // above the last sample: the last one
    EXPECT_EQ(view("999999999999").index, 10);          // beyond 32 bits, by its sign
    EXPECT_EQ(view("-999999999999").index, 0);
    EXPECT_EQ(view("-3").index_text, "0");
    EXPECT_EQ(view("20", 20).value_text, "F0");
}

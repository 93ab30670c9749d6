#include "common/lenient_number.h"
#include "common/number_format.h"
#include "wav/sample_viewer.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

using namespace melo;

TEST(LenientNumber, LeadingNumberOfATypedText) {
    EXPECT_EQ(lenient_number(" 1 2 3 x"), 123);
    EXPECT_EQ(lenient_number("1.5e2x"), 150);
    EXPECT_EQ(lenient_number("3D1"), 30);
    EXPECT_EQ(lenient_number("&HFFFF"), -1); // 16-bit two's complement
    EXPECT_EQ(lenient_number("&O17"), 15);
    EXPECT_GT(lenient_number("&H123456789"), 4294967295.0);
}

// The window runs under the user's locale (Qt sets it from the environment): a German one
// must neither cut "2.5" at its point nor put its comma where the caller asked for a point.
TEST(LenientNumber, NumbersDoNotFollowTheProcessLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    const double typed = lenient_number("2.5");
    const std::string fixed = format_fixed(0.4, 3, '.');
    const std::string general = format_general(0.25, '.');
    const std::string german = seconds_text(0.4, 3, ',');
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(typed, 2.5);
    EXPECT_EQ(fixed, "0.400");
    EXPECT_EQ(general, "0.25");
    EXPECT_EQ(german, "0,400 s");
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
    EXPECT_EQ(view("99").index_text, "10");    // above the last sample: the last one
    EXPECT_EQ(view("999999999999").index, 10); // beyond 32 bits, by its sign
    EXPECT_EQ(view("-999999999999").index, 0);
    EXPECT_EQ(view("-3").index_text, "0");
    EXPECT_EQ(view("20", 20).value_text, "F0");
}

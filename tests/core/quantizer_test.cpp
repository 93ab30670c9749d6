// The module's 8-bit samples from generated signals: rounding against the decoder's
// truncation, dither and its silence gate, the limits 1..254 and loudness matching.

#include "prepare/loudness.h"
#include "prepare/output_level.h"
#include "prepare/quantizer.h"
#include "wav/byte_source.h"
#include "wav/wav_decoder.h"
#include "wav/wav_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <vector>

using namespace melo;

namespace {

constexpr std::int32_t kRate = 13021;

std::vector<float> sine(double hz, double amplitude, double seconds, double phase = 0.3) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<float>(amplitude *
                                  std::sin(2 * M_PI * hz * static_cast<double>(i) / kRate + phase));
    }
    return x;
}

std::string eight_bit(const std::vector<float>& x, Dither dither,
                      double steps = kEightBitFullScale) {
    std::string out;
    quantize8(x.data(), x.size(), steps, dither, kRate, out);
    return out;
}

// In-place radix-2 FFT of a power-of-two length.
void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * M_PI / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// Welch's power spectrum of the 8-bit samples around 128: Hann-windowed 1024-point segments,
// half overlapping, averaged, so noise lies flat and only real lines stand out.
std::vector<double> spectrum(const std::string& bytes) {
    constexpr std::size_t kSize = 1024;
    std::vector<double> power(kSize / 2, 0.0);
    for (std::size_t at = 0; at + kSize <= bytes.size(); at += kSize / 2) {
        std::vector<std::complex<double>> a(kSize);
        for (std::size_t i = 0; i < kSize; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / kSize);
            a[i] = hann * (static_cast<std::uint8_t>(bytes[at + i]) - 128.0);
        }
        fft(a);
        for (std::size_t k = 0; k < power.size(); ++k) {
            power[k] += std::norm(a[k]);
        }
    }
    return power;
}

// The strongest bin in dB above the median, leaving out DC and `hz` with its window's spread.
double strongest_other_line_db(const std::vector<double>& power, double hz) {
    const double bin_hz = static_cast<double>(kRate) / 1024;
    std::vector<double> sorted(power.begin() + 3, power.end());
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    double strongest = 0.0;
    for (std::size_t k = 3; k < power.size(); ++k) {
        if (std::fabs(static_cast<double>(k) * bin_hz - hz) > 3 * bin_hz) {
            strongest = std::max(strongest, power[k]);
        }
    }
    return 10 * std::log10(strongest / median);
}

} // namespace

TEST(Quantizer, RoundingHasNoOffsetWhereTheDecodersTruncationHasHalfAStep) {
    // A sine over many step positions, as 16-bit samples and as prepared 8-bit samples.
    const std::vector<float> x = sine(97.3, 0.77, 3.0);
    std::string pcm16;
    quantize16(x.data(), x.size(), kSixteenBitFullScale, pcm16);
    const std::string rounded = eight_bit(x, Dither::None);
    auto owner = std::make_unique<DecodedSound>(); // 8 MiB: not on the stack
    DecodedSound& decoded = *owner;
    const std::string file = pcm_wav(kRate, 1, 16, pcm16);
    MemorySource source(file);
    ASSERT_EQ(decode_sound(source, "mem.wav", true, decoded), 0);
    ASSERT_EQ(decoded.wavend, static_cast<std::int32_t>(x.size()));

    double rounding_error = 0.0;
    double truncation_error = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const auto s16 =
            static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm16[2 * i]) |
                                      static_cast<std::uint8_t>(pcm16[2 * i + 1]) << 8);
        const double exact = s16 / 256.0; // the 16-bit signal in 8-bit steps
        rounding_error += static_cast<std::uint8_t>(rounded[i]) - 128.0 - exact;
        truncation_error += decoded.wavdata[i + 1] - 128.0 - exact;
    }
    rounding_error /= static_cast<double>(x.size());
    truncation_error /= static_cast<double>(x.size());
    EXPECT_LE(std::fabs(rounding_error), 0.05);
    EXPECT_NEAR(truncation_error, -0.5, 0.05);
}

TEST(Quantizer, DitherTurnsTheDistortionOfAQuietToneIntoNoise) {
    const std::vector<float> tone = sine(440.0, std::pow(10.0, -30.0 / 20.0), 20.0);
    // Rounding alone folds partials back: lines far above the noise.
    EXPECT_GT(strongest_other_line_db(spectrum(eight_bit(tone, Dither::None)), 440.0), 20.0);
    // With dither only the tone stands out of the noise floor.
    const std::vector<double> dithered = spectrum(eight_bit(tone, Dither::Tpdf));
    EXPECT_LE(strongest_other_line_db(dithered, 440.0), 6.0);
    EXPECT_GT(10 *
                  std::log10(dithered[static_cast<std::size_t>(std::lround(440.0 * 1024 / kRate))] /
                             dithered[300]),
              30.0);
    // The same input gives the same file.
    EXPECT_EQ(eight_bit(tone, Dither::Tpdf), eight_bit(tone, Dither::Tpdf));
}

TEST(Quantizer, SilenceAndStretchesBelowHalfAStepStaySilentWithDither) {
    // Below half a step throughout: 128 from the first sample to the last.
    const std::string faint = eight_bit(sine(300.0, 0.45 / 128, 2.0), Dither::Tpdf);
    EXPECT_EQ(faint, std::string(faint.size(), static_cast<char>(128)));

    // A tone, a 100 ms faint pause, a tone, a 10 ms faint gap, a tone, 10 ms digital silence.
    std::vector<float> x;
    std::vector<std::pair<std::size_t, std::size_t>> quiet; // where each quiet stretch lies
    auto append = [&](const std::vector<float>& part, bool is_quiet) {
        if (is_quiet) {
            quiet.emplace_back(x.size(), part.size());
        }
        x.insert(x.end(), part.begin(), part.end());
    };
    append(sine(440.0, 0.2, 0.2), false);
    append(sine(50.0, 0.3 / 128, 0.1), true);
    append(sine(440.0, 0.2, 0.2), false);
    append(sine(50.0, 0.3 / 128, 0.01), true);
    append(sine(440.0, 0.2, 0.2), false);
    append(std::vector<float>(kRate / 100, 0.0f), true);
    const std::string out = eight_bit(x, Dither::Tpdf);
    auto silent = [&](std::pair<std::size_t, std::size_t> stretch) {
        return out.substr(stretch.first, stretch.second) ==
               std::string(stretch.second, static_cast<char>(128));
    };
    EXPECT_TRUE(silent(quiet[0]));  // the pause
    EXPECT_FALSE(silent(quiet[1])); // the short gap keeps its dither, as the sound around it
    EXPECT_TRUE(silent(quiet[2]));  // digital silence, however short
}

TEST(Quantizer, NothingReachesTheMarkerValuesHoweverLoud) {
    std::vector<float> square(kRate);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 20) % 2 == 0 ? 1.0f : -1.0f;
    }
    square[100] = 8.0f;
    square[101] = -8.0f;
    square[102] = std::nanf("");
    for (const Dither dither : {Dither::None, Dither::Tpdf}) {
        std::string out;
        const std::int64_t clipped =
            quantize8(square.data(), square.size(), kEightBitFullScale, dither, kRate, out);
        EXPECT_EQ(*std::min_element(out.begin(), out.end(),
                                    [](char a, char b) {
                                        return static_cast<std::uint8_t>(a) <
                                               static_cast<std::uint8_t>(b);
                                    }),
                  static_cast<char>(1));
        EXPECT_EQ(out.find(static_cast<char>(0)), std::string::npos);
        EXPECT_EQ(out.find(static_cast<char>(255)), std::string::npos);
        EXPECT_GT(clipped, kRate / 2); // +1.0 is 256 and -1.0 is 0 at the input's level
    }
    // Normalized to 0 dBFS, the square fills 2..254 without limiting.
    std::vector<float> clean(square.begin() + 200, square.end());
    const OutputLevel level =
        plan_output_level(clean.data(), clean.size(), kRate, 8, 0.0, std::nullopt);
    std::string out;
    EXPECT_EQ(quantize8(clean.data(), clean.size(), level.steps, Dither::None, kRate, out), 0);
    EXPECT_EQ(static_cast<std::uint8_t>(*std::max_element(out.begin(), out.end(),
                                                          [](char a, char b) {
                                                              return static_cast<std::uint8_t>(a) <
                                                                     static_cast<std::uint8_t>(b);
                                                          })),
              254);
}

TEST(Quantizer, BlocksOfAnySizeGiveTheBytesOfOnePass) {
    // A conversion hands the samples over as they become final, so a quiet stretch (a pause
    // longer than the silence gate, a gap shorter, digital silence) may be cut anywhere.
    std::vector<float> x;
    for (const std::vector<float>& part :
         {sine(440.0, 0.2, 0.1), sine(50.0, 0.3 / 128, 0.1), sine(440.0, 0.99, 0.05),
          sine(50.0, 0.3 / 128, 0.01), sine(440.0, 0.2, 0.05),
          std::vector<float>(kRate / 100, 0.0f), sine(50.0, 0.3 / 128, 0.02)}) {
        x.insert(x.end(), part.begin(), part.end());
    }
    const std::size_t gate = static_cast<std::size_t>(std::ceil(kSilenceGateSeconds * kRate));
    for (const auto& [bits, dither] :
         {std::pair{8, Dither::None}, {8, Dither::Tpdf}, {16, Dither::None}}) {
        const double steps = bits == 8 ? kEightBitFullScale * 1.1 : kSixteenBitFullScale * 1.1;
        std::string whole;
        Quantizer one(bits, steps, dither, kRate);
        one.add(x.data(), x.size(), whole);
        const std::int64_t clipped = one.finish(whole);
        ASSERT_EQ(whole.size(), x.size() * static_cast<std::size_t>(bits / 8));
        for (const std::size_t block :
             {std::size_t{1}, std::size_t{7}, gate - 1, gate, gate + 1, std::size_t{4096}}) {
            SCOPED_TRACE(std::to_string(bits) + " bit, blocks of " + std::to_string(block));
            std::string pieces;
            Quantizer q(bits, steps, dither, kRate);
            for (std::size_t at = 0; at < x.size(); at += block) {
                q.add(x.data() + at, std::min(block, x.size() - at), pieces);
            }
            EXPECT_EQ(q.finish(pieces), clipped);
            EXPECT_EQ(pieces, whole);
        }
    }
}

namespace {

// Halves away from zero, computed exactly: what lround is to give. (mingw-w64's lround takes
// 0.49999999999999994, the largest double below a half, to 1.)
long round_half_away(double v) {
    const double whole = std::trunc(v);
    return static_cast<long>(whole + (std::fabs(v - whole) >= 0.5 ? std::copysign(1.0, v) : 0.0));
}

} // namespace

TEST(Quantizer, HalvesRoundAwayFromZeroAsLround) {
    for (const double v : {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 0.49999999999999994,
                           -0.49999999999999994, 1000.5, 32766.5, -32767.5, 32767.5, -32768.5}) {
        SCOPED_TRACE(v);
        std::string out;
        quantize16(std::array<float, 1>{1.0f}.data(), 1, v, out);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(static_cast<std::int16_t>(static_cast<std::uint8_t>(out[0]) |
                                            static_cast<std::uint8_t>(out[1]) << 8),
                  std::clamp<long>(round_half_away(v), -32768, 32767));
        if (std::fabs(v) < 127) {
            out.clear();
            quantize8(std::array<float, 1>{1.0f}.data(), 1, v, Dither::None, kRate, out);
            EXPECT_EQ(static_cast<std::uint8_t>(out[0]), 128 + round_half_away(v));
        }
    }
}

namespace {

// Pink noise from white noise through a set of one-pole filters with 1/f spread.
std::vector<float> pink_noise(double seconds, double level) {
    std::vector<float> x(static_cast<std::size_t>(seconds * kRate));
    std::uint32_t seed = 12345;
    double b0 = 0, b1 = 0, b2 = 0;
    for (float& v : x) {
        seed = seed * 1664525u + 1013904223u;
        const double white = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        v = static_cast<float>(level * (b0 + b1 + b2 + white * 0.1848));
    }
    return x;
}

// The integrated loudness of 8-bit samples around 128, measured by libebur128 itself.
double loudness_of(const std::string& bytes) {
    ebur128_state* st = ebur128_init(1, kRate, EBUR128_MODE_I);
    std::vector<float> x;
    for (char b : bytes) {
        x.push_back(
            static_cast<float>((static_cast<std::uint8_t>(b) - 128.0) / kEightBitFullScale));
    }
    ebur128_add_frames_float(st, x.data(), x.size());
    double lufs = 0.0;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    return lufs;
}

} // namespace

TEST(Loudness, MatchingLandsOnItsTargetOrStopsAtThePeak) {
    for (const double input_level : {0.02, 0.2}) {
        const std::vector<float> noise = pink_noise(10.0, input_level);
        const OutputLevel level =
            plan_output_level(noise.data(), noise.size(), kRate, 8, std::nullopt, -16.0);
        ASSERT_TRUE(level.reached_lufs);
        EXPECT_FALSE(level.limited);
        EXPECT_NEAR(loudness_of(eight_bit(noise, Dither::None, level.steps)), -16.0, 0.5);
    }
    // Clicks in quiet noise: the gain for -10 LUFS would push the clicks past the range.
    std::vector<float> clicky = pink_noise(10.0, 0.01);
    for (std::size_t i = 0; i < clicky.size(); i += kRate) {
        clicky[i] = 0.5f;
    }
    const OutputLevel level =
        plan_output_level(clicky.data(), clicky.size(), kRate, 8, std::nullopt, -10.0);
    ASSERT_TRUE(level.reached_lufs);
    EXPECT_TRUE(level.limited);
    EXPECT_LT(*level.reached_lufs, -20.0);
    std::string out;
    EXPECT_EQ(quantize8(clicky.data(), clicky.size(), level.steps, Dither::None, kRate, out), 0);
    EXPECT_NEAR(loudness_of(out), *level.reached_lufs, 0.5);
    // Too short for one measuring block: no loudness, the level stays.
    const std::vector<float> blip = sine(440.0, 0.5, 0.2);
    const OutputLevel short_level =
        plan_output_level(blip.data(), blip.size(), kRate, 8, std::nullopt, -16.0);
    EXPECT_FALSE(short_level.reached_lufs);
    EXPECT_EQ(short_level.steps, kEightBitFullScale);
    EXPECT_EQ(loudness_text(measure_loudness(blip.data(), blip.size(), kRate)),
              "Lautheit nicht messbar (zu kurz oder zu leise), True Peak -6.0 dBTP");
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "temp_dir.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"
#include "wav_builder.h"

using namespace melo;
using wavb::Format;

namespace {

// One decoded sound per test suite run: the buffer is 8 MiB.
DecodedSound& shared_sound() {
    static DecodedSound sound;
    return sound;
}

struct Decode {
    std::uint8_t code;
    DecodedSound& s;
};

Decode decode(const std::string& bytes, bool alles = true) {
    DecodedSound& s = shared_sound();
    MemorySource source(bytes);
    const std::uint8_t code = decode_sound(source, "mem.wav", alles, s);
    return {code, s};
}

std::string samples(const DecodedSound& s) {
    if (s.wavend <= 0) {
        return "";
    }
    return std::string(s.wavdata.begin() + 1, s.wavdata.begin() + 1 + s.wavend);
}

} // namespace

TEST(WavHeader, ChecksInOrderAndStopsAtTheFirstFailure) {
    const std::string good = wavb::wav({}, "\x10");
    std::string riff = good;
    riff[0] = 'r';
    EXPECT_EQ(decode(riff).code, kNoRiff);
    std::string wave = good;
    wave[8] = 'X';
    EXPECT_EQ(decode(wave).code, kNoWave);
    // A chunk in front of the fmt chunk: the fmt chunk must come first.
    EXPECT_EQ(decode(wavb::riff(wavb::chunk("JUNK", "abcd") + wavb::fmt_chunk({}) +
                                wavb::chunk("data", "\x10")))
                  .code,
              kNoFmt);
    EXPECT_EQ(decode(wavb::wav({.tag = 85}, "\x10")).code, kNotPcm);
    EXPECT_EQ(decode(wavb::wav({.bits = 12}, "\x10")).code, kBadBits);
    EXPECT_EQ(decode(wavb::wav({.channels = 3}, "\x10\x10\x10")).code, kBadChannels);
    EXPECT_EQ(decode(wavb::wav({.bits = 16, .align = 4}, "\x10\x10\x10\x10")).code, kBadBlockAlign);
    // Bits are checked before channels, as the panel then shows bits but no channel count.
    const Decode both = decode(wavb::wav({.channels = 3, .bits = 12}, "\x10\x10\x10"));
    EXPECT_EQ(both.code, kBadBits);
    EXPECT_EQ(both.s.panel.bits, "12");
    EXPECT_EQ(both.s.panel.kanaele, "");
}

TEST(WavHeader, LengthLimitsAndUnreadableFiles) {
    // 44 bytes or fewer is too short and gives no format; 45 bytes hold one sample.
    const std::string one = wavb::wav({}, "\x80");
    ASSERT_EQ(one.size(), 45u);
    EXPECT_EQ(decode(one.substr(0, 44)).code, kFileTooShort);
    const Decode d = decode(one);
    EXPECT_EQ(d.code, kDecodeOk);
    EXPECT_EQ(d.s.wavend, 1);

    TempDir dir;
    DecodedSound& s = shared_sound();
    s.wavend = 77;
    EXPECT_EQ(decode_sound(dir.path("missing.wav"), true, s), kFileNotFound);
    EXPECT_EQ(s.wavend, 77); // a missing file leaves the samples alone
    EXPECT_EQ(s.panel.freq, "");
    EXPECT_EQ(s.status, "Fehler in WAV-Datei: 3");
    EXPECT_EQ(decode_sound(dir.root(), true, s), kFileNotFound); // a directory

    // Beyond 2 GiB (a sparse file): too long for any sound, and said so, not "not found".
    const std::string big = dir.path("big.wav");
    wavb::write_file(big, one);
    std::filesystem::resize_file(big, 0x80000010LL);
    EXPECT_EQ(decode_sound(big, false, s), kTooLong);
    EXPECT_EQ(s.panel.filelaenge, "2147483664");
    EXPECT_EQ(wavdecoderesult_text(kTooLong, s), "Fehler in WAV-Datei: File zu lang (#99)");
}

namespace {
// A source whose length is known but which fails to open or to read after some bytes.
class BrokenSource : public ByteSource {
public:
    BrokenSource(std::string bytes, bool opens, std::int64_t readable)
        : m_bytes(std::move(bytes)), m_opens(opens), m_readable(readable) {}
    std::optional<std::int64_t> length() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool open() override { return m_opens; }
    std::int64_t read(std::uint8_t* buffer, std::int64_t n) override {
        if (m_pos >= m_readable) {
            return -1;
        }
        const std::int64_t count = std::min(n, m_readable - m_pos);
        std::copy_n(m_bytes.data() + m_pos, count, buffer);
        m_pos += count;
        return count;
    }
    bool skip(std::int64_t n) override {
        m_pos += n;
        return true;
    }
    void close() override {}

private:
    std::string m_bytes;
    bool m_opens;
    std::int64_t m_readable;
    std::int64_t m_pos = 0;
};
} // namespace

TEST(WavHeader, AFileThatCannotBeOpenedOrReadIsNotFound) {
    const std::string file = wavb::wav({}, std::string(5000, '\x40'));
    DecodedSound& s = shared_sound();
    s.wavend = 5;
    BrokenSource closed(file, false, 0);
    EXPECT_EQ(decode_sound(closed, "x.wav", true, s), kFileNotFound);
    EXPECT_EQ(s.wavend, 5);
    BrokenSource torn(file, true, 100);
    EXPECT_EQ(decode_sound(torn, "x.wav", true, s), kFileNotFound);
    EXPECT_EQ(s.wavend, 100 - 44); // what was converted before the read failed
}

TEST(WavHeader, ShortOrTruncatedFmtChunksAreFailures) {
    // A fmt chunk shorter than its 16-byte record: no format is read from stale bytes.
    decode(wavb::wav({.rate = 44100}, "\x10")); // leaves a valid header behind
    const std::string short_fmt =
        wavb::riff(wavb::chunk("fmt ", std::string(8, '\0')) + wavb::chunk("data", std::string(20, 'x')));
    Decode d = decode(short_fmt);
    EXPECT_EQ(d.code, kNoFmt);
    EXPECT_EQ(d.s.panel.freq, "");
    EXPECT_EQ(d.s.panel.fmtlen, "8");
    // A fmt length with the top byte set counts as 0, which is too short as well.
    std::string huge = wavb::wav({}, std::string(30, 'x'));
    huge[19] = '\x80';
    EXPECT_EQ(decode(huge).code, kNoFmt);
    // A file that ends inside its fmt chunk has no format: no success.
    std::string cut = wavb::riff(wavb::chunk("fmt ", std::string(30, '\1'), 100));
    EXPECT_EQ(decode(cut).code, kNoData);
}

TEST(WavChunks, DataChunkSearchSkipsOtherChunks) {
    const Format f{.extra = std::string(2, '\0')}; // fmt length 18
    const Decode d18 = decode(wavb::riff(wavb::fmt_chunk(f) + wavb::chunk("data", "\x05\x06")));
    EXPECT_EQ(d18.code, kDecodeOk);
    EXPECT_EQ(d18.s.wavdatastart, 46);
    EXPECT_EQ(d18.s.panel.dataanf, "46");

    // LIST and fact chunks in between, one of odd size without a fill byte.
    const Decode mid = decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("LIST", "abc") +
                                         wavb::chunk("fact", "wxyz") + wavb::chunk("data", "\x10\x20")));
    EXPECT_EQ(mid.code, kDecodeOk);
    EXPECT_EQ(mid.s.wavdatastart, 44 + 11 + 12);
    EXPECT_EQ(samples(mid.s), "\x10\x20");

    // A chunk size with the top byte set counts as 0: its body is read as the next header.
    const Decode zero = decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("LIST", "", 0x80000000) +
                                          wavb::chunk("data", "\x33")));
    EXPECT_EQ(zero.code, kDecodeOk);
    EXPECT_EQ(samples(zero.s), "\x33");
}

TEST(WavChunks, EndOfFileDuringTheSearchIsCode16) {
    // The data chunk header ends at the last byte: no sample, code 16.
    EXPECT_EQ(decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("LIST", "ab") + "data" +
                                wavb::le32(0)))
                  .code,
              kNoData);
    // A chunk that claims more bytes than the file has.
    EXPECT_EQ(decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("LIST", "abcdefgh", 100000)))
                  .code,
              kNoData);
    // The fmt chunk ends exactly at the end of the file.
    EXPECT_EQ(decode(wavb::riff(wavb::fmt_chunk({.extra = std::string(9, '\0')}))).code, kNoData);
}

TEST(WavChunks, BytesAfterTheDataChunkAreCutBack) {
    const Decode d = decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("data", "\x11\x12\x13") +
                                       wavb::chunk("LIST", "abcd")));
    EXPECT_EQ(d.code, kDecodeOk);
    EXPECT_EQ(d.s.wavend, 3);
    EXPECT_TRUE(d.s.wavcorrected);
    EXPECT_EQ(wavdecoderesult_text(0, d.s), "WAV decodiert, Ende=3 (falsche '0' am Ende korrigiert)");
    // A data size of 2^31 or more counts as 0: everything is cut back.
    const Decode big = decode(wavb::riff(wavb::fmt_chunk({}) + wavb::chunk("data", "\x11\x12", 0x90000000)));
    EXPECT_EQ(big.code, kDecodeOk);
    EXPECT_EQ(big.s.wavend, 0);
    EXPECT_TRUE(big.s.wavcorrected);
}

TEST(WavConversion, EightBitValuesAvoidTheMarkerBytes) {
    const Decode d = decode(wavb::wav({}, wavb::bytes({0, 1, 128, 254, 255})));
    EXPECT_EQ(samples(d.s), wavb::bytes({1, 1, 128, 254, 254}));
    // 8-bit stereo: the first channel only.
    const Decode st = decode(wavb::wav({.channels = 2}, wavb::bytes({10, 200, 20, 210, 255, 0})));
    EXPECT_EQ(samples(st.s), wavb::bytes({10, 20, 254}));
}

TEST(WavConversion, SixteenBitHighByteWithItsTopBitInverted) {
    const Decode d =
        decode(wavb::wav({.bits = 16}, wavb::samples16({0, 255, 256, -1, -256, 32767, -32768})));
    EXPECT_EQ(samples(d.s), wavb::bytes({128, 128, 129, 127, 127, 254, 1}));
    const Decode st = decode(wavb::wav({.channels = 2, .bits = 16},
                                       wavb::samples16({256, -32768, -32768, 32767, 512, 0})));
    EXPECT_EQ(samples(st.s), wavb::bytes({129, 1, 130}));
}

TEST(WavConversion, FramesAcrossReadBlocksAndIncompleteLastFrame) {
    // 16-bit stereo data large enough to span several read blocks, with an odd header length
    // so frames straddle the block boundaries, and two stray bytes at the end.
    std::string data;
    std::string expected;
    for (int i = 0; i < 400000; ++i) {
        const int v = (i * 37) % 65536 - 32768;
        data += wavb::samples16({v, -v});
        expected += static_cast<char>(std::clamp(((v >> 8) & 0xFF) ^ 128, 1, 254));
    }
    const Decode d = decode(wavb::riff(wavb::fmt_chunk({.channels = 2, .bits = 16}) +
                                       wavb::chunk("LIST", "abc") + wavb::chunk("data", data + "\x01\x02")));
    EXPECT_EQ(d.code, kDecodeOk);
    EXPECT_EQ(d.s.wavend, 400000);
    EXPECT_EQ(samples(d.s), expected);
}

TEST(WavConversion, HeaderOnlyLeavesTheSamplesAlone) {
    decode(wavb::wav({}, "\x21\x22\x23"));
    const Decode h = decode(wavb::wav({.rate = 22050, .bits = 16}, wavb::samples16({1, 2, 3, 4, 5})), false);
    EXPECT_EQ(h.code, kDecodeOk);
    EXPECT_EQ(h.s.wavend, 3);
    EXPECT_EQ(samples(h.s), "\x21\x22\x23");
    EXPECT_FALSE(h.s.spinner_reset);
    EXPECT_EQ(h.s.panel.samples, "5");
    EXPECT_EQ(h.s.panel.freq, "22050 Hz (5622)");
    EXPECT_EQ(wavdecoderesult_text(h.code, h.s), "WAV decodiert, Ende=3");
}

TEST(WavLimits, BufferHoldsAtMostTwoToTheTwentyThirdSamples) {
    const Decode under = decode(wavb::wav({}, std::string(kMaxSamples - 1, '\x40')));
    EXPECT_EQ(under.code, kDecodeOk);
    EXPECT_EQ(under.s.wavend, kMaxSamples - 1);
    const Decode full = decode(wavb::wav({}, std::string(kMaxSamples, '\x41')));
    EXPECT_EQ(full.code, kTooLong);
    EXPECT_EQ(full.s.wavend, kMaxSamples);
    EXPECT_EQ(full.s.wavdata[kMaxSamples], 0x41);
    EXPECT_EQ(wavdecoderesult_text(full.code, full.s), "Fehler in WAV-Datei: File zu lang (#99)");
}

TEST(WavPanel, TextsOfAFullDecode) {
    std::string data(44100, '\x80');
    const Decode d = decode(wavb::wav({.rate = 22050}, data + "\x80\x80\x80\x80\x80"));
    EXPECT_EQ(d.s.panel.filelaenge, std::to_string(44 + 44105));
    EXPECT_EQ(d.s.panel.samples, "44105");
    EXPECT_EQ(d.s.panel.bytesjesek, "22050");
    EXPECT_EQ(d.s.panel.bits, "8");
    EXPECT_EQ(d.s.panel.kanaele, "1");
    EXPECT_EQ(d.s.panel.time, "0m 2.00s");
    EXPECT_EQ(d.s.panel.fmtlen, "16");
    EXPECT_EQ(d.s.panel.wavformat, "1");
    EXPECT_EQ(d.s.panel.wavformattext, "uncompressed PCM");
    EXPECT_EQ(d.s.total_text, " total=44105 Bytes");
    EXPECT_EQ(d.s.status, "WAV-File ok");

    EXPECT_EQ(decode(wavb::wav({.rate = 44100}, "\x10")).s.panel.freq, "44100 Hz (AC44)");
    EXPECT_EQ(decode(wavb::wav({.rate = 32000}, "\x10")).s.panel.freq, "32000 Hz (7D0)");
    // 75.5 s of 8-bit mono at 1000 Hz.
    EXPECT_EQ(decode(wavb::wav({.rate = 1000}, std::string(75500, 'x'))).s.panel.time, "1m 15.50s");
    // A fraction in the declared count; the play time of a rate of 0 is 0.
    const Decode odd = decode(wavb::wav({.rate = 0, .bits = 16}, "\x01\x02\x03"));
    EXPECT_EQ(odd.s.panel.samples, "1.5");
    EXPECT_EQ(odd.s.panel.time, "0m 0.00s");
}

TEST(WavPanel, ResultMessagesForCodesWithoutARow) {
    DecodedSound& s = shared_sound();
    decode(wavb::wav({.tag = 3}, "\x10"));
    EXPECT_EQ(wavdecoderesult_text(9, s), "Fehler in WAV-Datei: WAV ist kein PCM-Format (#9): 3=");
    EXPECT_EQ(wavdecoderesult_text(5, s), "Fehler in WAV-Datei:  (#5)");
    EXPECT_EQ(wavdecoderesult_text(-3, s), "Fehler in WAV-Datei:  (#-3)");
}

namespace {
struct Recorder : DecodeProgress {
    std::vector<int> values;
    void progress(int permille) override { values.push_back(permille); }
};
} // namespace

TEST(WavProgress, EveryChangeOnceAndInOrder) {
    for (std::size_t length : {45u, 999u, 1000u, 1001u, 123457u}) {
        const std::string file = wavb::wav({}, std::string(length - 44, '\x50'));
        Recorder r;
        MemorySource source(file);
        ASSERT_EQ(decode_sound(source, "p.wav", true, shared_sound(), &r), kDecodeOk);
        // The reference: the per-mille value of every byte position, reported when it changes.
        std::vector<int> expected;
        int last = 1050;
        for (std::size_t p = 1; p <= file.size(); ++p) {
            const int m = static_cast<int>(std::floor(static_cast<double>(p) / file.size() * 1000.0));
            if (m != last && !(p >= 37 && p <= 44)) { // bytes of the chunk search report nothing
                expected.push_back(m);
                last = m;
            }
        }
        EXPECT_EQ(r.values, expected) << "length " << length;
    }
}

#include "wav/wav_decoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/module_constants.h"
#include "common/number_format.h"
#include "common/progress.h"

namespace melo {
namespace {

// Blocks small enough to stay in the cache while they are converted.
constexpr std::int64_t kBlock = 256 * 1024;

// Output value of an 8-bit sample: 0 and 255 are reserved for the image's marker bytes, so
// they become 1 and 254.
inline std::uint8_t from8(std::uint8_t b) {
    return std::min<std::uint8_t>(std::max<std::uint8_t>(b, kMinSample), kMaxSample);
}

// Output value of a 16-bit sample from its high byte: the top bit inverted (signed to
// unsigned), the low byte dropped without rounding.
inline std::uint8_t from16high(std::uint8_t high) {
    return from8(static_cast<std::uint8_t>(high ^ 0x80));
}

// Converts whole frames: the byte at `Offset` of every `Stride`-byte frame (the first channel,
// or its high byte). Fixed strides let the compiler turn this into vector code.
template <int Stride, int Offset, bool Sixteen>
void convert_frames(const std::uint8_t* in, std::uint8_t* out, std::int64_t frames) {
    for (std::int64_t f = 0; f < frames; ++f) {
        const std::uint8_t b = in[Stride * f + Offset];
        out[f] = Sixteen ? from16high(b) : from8(b);
    }
}

std::string hex_no_pad(int value) {
    return hexx(value, 0);
}

// A 4-byte little-endian number; one whose top byte is 128 or more does not fit a signed
// 32-bit value and counts as 0.
std::int32_t le32(const std::uint8_t* b) {
    if (b[3] >= 128) {
        return 0;
    }
    return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                     (static_cast<std::uint32_t>(b[3]) << 24));
}

class Decoder {
public:
    Decoder(ByteSource& source, const std::string& path, bool alles, DecodedSound& s,
            DecodeProgress* progress)
        : m_src(source), m_path(path), m_alles(alles), m_s(s), m_progress(progress),
          m_gate(progress) {}

    std::uint8_t run();

private:
    // Reading
    bool fill();
    int next_byte();
    bool skip_bytes(std::int64_t n);

    // Steps of the read loop
    void report_progress();
    void header_check();
    void format_parse();
    void data_chunk_search();
    void sample_bytes();
    void emit_sample(std::uint8_t v);
    void epilogue();
    void fail(std::uint8_t code) {
        m_code = code;
        m_stop = true;
    }

    ByteSource& m_src;
    const std::string& m_path;
    bool m_alles;
    DecodedSound& m_s;
    DecodeProgress* m_progress;

    std::uint8_t* m_buffer = nullptr;
    std::size_t m_pos = 0;
    std::size_t m_filled = 0;

    std::int64_t m_length = 0;
    std::int64_t m_p = 0; // bytes read so far; the 1-based position of the last byte read
    std::uint8_t m_code = kFileTooShort;
    bool m_stop = false;
    PermilleGate m_gate;                   // of m_progress
    std::array<std::uint8_t, 37> m_head{}; // bytes at positions 1 to 36
    std::optional<std::int64_t> m_fmt_end;
    bool m_in_data = false;
    std::int32_t m_n = 1; // next output index
    std::array<std::uint8_t, 6> m_frame{};
    int m_k = 0; // index of the next byte within the current frame
};

bool Decoder::fill() {
    // The block buffer is kept between decodes, so a run of many decodes allocates it once.
    thread_local std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlock));
    m_buffer = block.data();
    // A header check rarely needs more than the first few KiB.
    const std::int64_t want = std::min<std::int64_t>(m_alles ? kBlock : kBlock / 16, m_length - m_p);
    const std::int64_t got = m_src.read(m_buffer, want);
    if (got <= 0) {
        return false; // a read error, or the file is shorter than it was
    }
    m_pos = 0;
    m_filled = static_cast<std::size_t>(got);
    return true;
}

int Decoder::next_byte() {
    if (m_pos == m_filled && !fill()) {
        return -1;
    }
    return m_buffer[m_pos++];
}

bool Decoder::skip_bytes(std::int64_t n) {
    const auto in_buffer = static_cast<std::int64_t>(m_filled - m_pos);
    if (n <= in_buffer) {
        m_pos += static_cast<std::size_t>(n);
        return true;
    }
    m_pos = m_filled = 0;
    return m_src.skip(n - in_buffer);
}

void Decoder::report_progress() {
    m_gate.pass(m_p, m_length);
}

void Decoder::header_check() {
    if (std::memcmp(&m_head[1], "RIFF", 4) != 0) {
        fail(kNoRiff);
    } else if (std::memcmp(&m_head[9], "WAVE", 4) != 0) {
        fail(kNoWave);
    } else if (std::memcmp(&m_head[13], "fmt ", 4) != 0) {
        fail(kNoFmt);
    }
    if (m_stop) {
        return;
    }
    const std::int32_t fmt_length = le32(&m_head[17]);
    m_s.panel.fmtlen = std::to_string(fmt_length);
    // A fmt chunk shorter than the 16 bytes of the PCM format record has no valid format.
    if (fmt_length < 16) {
        fail(kNoFmt);
        return;
    }
    m_fmt_end = static_cast<std::int64_t>(fmt_length) + 20;
}

void Decoder::format_parse() {
    DecodedSound& s = m_s;
    s.wavfreq = le32(&m_head[25]);
    s.wavbytespersec = le32(&m_head[29]);
    s.panel.freq = std::to_string(s.wavfreq) + " Hz (" + hex_no_pad((s.wavfreq / 256) % 256) +
                   hex_no_pad(s.wavfreq % 256) + ")";
    s.panel.bytesjesek = std::to_string(s.wavbytespersec);
    s.wavchannels = m_head[23];
    const int tag = m_head[21] + 256 * m_head[22];
    s.panel.wavformat = std::to_string(tag);
    s.panel.wavformattext = wav_format_name(tag);
    if (tag != 1) {
        fail(kNotPcm);
        return;
    }
    s.wavblockalign = m_head[33];
    s.wavbits = m_head[35];
    s.panel.bits = std::to_string(s.wavbits);
    if (s.wavbits != 8 && s.wavbits != 16) {
        fail(kBadBits);
        return;
    }
    s.panel.kanaele = std::to_string(s.wavchannels);
    if (s.wavchannels != 1 && s.wavchannels != 2) {
        fail(kBadChannels);
        return;
    }
    if (s.wavchannels * s.wavbits != s.wavblockalign * 8) {
        fail(kBadBlockAlign);
        return;
    }
    data_chunk_search();

    // The data chunk's values, also when the search ran into the end of the file.
    s.wavdatastart = static_cast<std::int32_t>(m_p);
    s.panel.dataanf = std::to_string(s.wavdatastart);
    const double declared = static_cast<double>(s.wavdatalen) / s.wavblockalign;
    s.declared_samples = declared;
    s.panel.samples = format_general(declared, s.decimal_separator);
    s.total_text = " total=" + std::to_string(s.wavdatalen) + " Bytes";
    // A sample rate of 0 has no play time; show 0 rather than divide by zero.
    s.wavtime = s.wavfreq > 0 ? declared / s.wavfreq : 0.0;
    s.panel.time = play_time_text(s.wavtime);
    if (m_progress != nullptr) {
        m_progress->format_known(s);
    }
    if (m_code == kDecodeOk) {
        m_in_data = true;
        if (m_alles) {
            s.ensure_buffer();
        } else {
            m_stop = true;
        }
    }
}

void Decoder::data_chunk_search() {
    // Reads chunk headers byte by byte; every byte counts, and the search fails with code 16
    // when it reaches the end of the file, even on the last byte of a data chunk header.
    std::int32_t size = 0;
    bool found = false;
    while (!found && !m_stop) {
        std::array<std::uint8_t, 8> header{};
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (m_p >= m_length) {
                fail(kNoData);
                break;
            }
            const int b = next_byte();
            if (b < 0) {
                fail(kFileNotFound);
                break;
            }
            header[i] = static_cast<std::uint8_t>(b);
            ++m_p;
            if (i == 7) {
                size = le32(&header[4]);
            }
            if (m_p >= m_length) {
                fail(kNoData);
                break;
            }
        }
        if (m_stop) {
            break;
        }
        if (std::memcmp(header.data(), "data", 4) == 0) {
            found = true;
        } else if (size > 0) {
            if (m_p + size >= m_length) {
                m_p = m_length; // a skip stops at the end of the file
                fail(kNoData);
            } else if (skip_bytes(size)) {
                m_p += size;
            } else {
                fail(kFileNotFound);
            }
        }
    }
    m_s.wavdatalen = size;
}

void Decoder::emit_sample(std::uint8_t v) {
    m_s.wavdata[static_cast<std::size_t>(m_n)] = v;
    ++m_n;
    if (m_n > kMaxSamples) {
        fail(kTooLong);
    }
}

// Converts the bytes behind the data chunk header, up to the next progress change, in one go.
void Decoder::sample_bytes() {
    if (m_pos == m_filled && !fill()) {
        fail(kFileNotFound);
        return;
    }
    const std::int64_t until = std::min(m_length, next_permille_change(m_p, m_length));
    const std::int64_t count =
        std::min<std::int64_t>(static_cast<std::int64_t>(m_filled - m_pos), until - m_p);
    const std::uint8_t* d = m_buffer + m_pos;
    const int align = m_s.wavblockalign;
    const bool stereo8 = align == 2 && m_s.wavchannels == 2;
    std::int64_t i = 0;

    auto complete_frame = [&] {
        if (align == 1 || stereo8) {
            emit_sample(from8(m_frame[0]));
        } else {
            emit_sample(from16high(m_frame[1]));
        }
    };
    // A frame begun in the previous block.
    while (i < count && m_k != 0 && !m_stop) {
        m_frame[static_cast<std::size_t>(m_k++)] = d[i++];
        if (m_k == align) {
            m_k = 0;
            complete_frame();
        }
    }
    if (!m_stop) {
        // Whole frames, at most as many as the buffer still takes.
        const std::int64_t room = static_cast<std::int64_t>(kMaxSamples) - (m_n - 1);
        const std::int64_t frames = std::min((count - i) / align, room);
        std::uint8_t* out = m_s.wavdata.data() + m_n;
        const std::uint8_t* in = d + i;
        if (align == 1) {
            convert_frames<1, 0, false>(in, out, frames);
        } else if (stereo8) {
            convert_frames<2, 0, false>(in, out, frames);
        } else if (align == 2) {
            convert_frames<2, 1, true>(in, out, frames);
        } else {
            convert_frames<4, 1, true>(in, out, frames);
        }
        m_n += static_cast<std::int32_t>(frames);
        i += frames * align;
        if (m_n > kMaxSamples) {
            fail(kTooLong);
        }
    }
    // The start of a frame that the next block completes.
    while (i < count && !m_stop) {
        m_frame[static_cast<std::size_t>(m_k++)] = d[i++];
        if (m_k == align) {
            m_k = 0;
            complete_frame();
        }
    }
    m_pos += static_cast<std::size_t>(i);
    m_p += i;
    report_progress();
}

void Decoder::epilogue() {
    DecodedSound& s = m_s;
    s.wavend = m_n - 1;
    const double declared = s.declared_samples.value_or(0.0);
    if (declared < s.wavend) {
        // Bytes behind the data chunk (further chunks) were converted too; cut them off.
        s.wavend = static_cast<std::int32_t>(declared);
        s.wavcorrected = true;
    }
    s.spinner_reset = true;
}

std::uint8_t Decoder::run() {
    DecodedSound& s = m_s;
    m_code = kFileTooShort;
    const std::optional<std::int64_t> length = m_src.length();

    s.panel = DecodePanel{};
    s.declared_samples.reset();
    s.wavdatastart = 44;
    s.wavcorrected = false;
    s.status.clear();
    s.total_text.reset();
    s.shown_path.reset();
    s.progress_label_reset = false;
    s.spinner_reset = false;

    s.wavfilelen = length.value_or(0);
    if (!length || *length < 0) {
        m_code = kFileNotFound;
    } else if (*length > std::numeric_limits<std::int32_t>::max()) {
        // File positions are 32-bit: more than 2 GiB is more than any sound can hold.
        s.panel.filelaenge = std::to_string(*length);
        m_code = kTooLong;
    } else {
        m_length = *length;
        s.panel.filelaenge = std::to_string(m_length);
        s.progress_label_reset = true;
        bool read_anything = true;
        if (m_length > 44) {
            s.status = "Lese WAV-File";
            s.shown_path = m_path;
            m_code = kDecodeOk;
            if (!m_src.open()) {
                // Known length but unreadable: like a missing file, the samples stay as they were.
                m_code = kFileNotFound;
                read_anything = false;
            } else {
                while (m_p < m_length && !m_stop) {
                    if (m_in_data) {
                        sample_bytes();
                        continue;
                    }
                    const int b = next_byte();
                    if (b < 0) {
                        fail(kFileNotFound);
                        break;
                    }
                    ++m_p;
                    report_progress();
                    if (m_p <= 36) {
                        m_head[static_cast<std::size_t>(m_p)] = static_cast<std::uint8_t>(b);
                    }
                    if (m_p == 20) {
                        header_check();
                    }
                    if (!m_stop && m_fmt_end && m_p == *m_fmt_end) {
                        format_parse();
                    }
                }
                // A file that ends before its fmt chunk does has no format.
                if (m_code == kDecodeOk && !m_in_data) {
                    m_code = kNoData;
                }
                m_src.close();
            }
        }
        if (m_alles && read_anything) {
            epilogue();
        }
    }
    s.status = m_code != kDecodeOk ? "Fehler in WAV-Datei: " + std::to_string(m_code) : "WAV-File ok";
    return m_code;
}

} // namespace

void DecodedSound::ensure_buffer() {
    if (wavdata.empty()) {
        wavdata.allocate(static_cast<std::size_t>(kMaxSamples) + 1);
    }
}

std::string wav_format_name(int tag) {
    switch (tag) {
    case 1:
        return "uncompressed PCM";
    case 2:
        return "ADPCM";
    case 7:
        return "µ-Law";
    case 17:
        return "4-bit ADPCM";
    case 34:
        return "Truespeech";
    case 49:
        return "GSM";
    case 85:
        return "MP3";
    case 112:
        return "Learnout&Hauspie CELP";
    case 114:
        return "Learnout&Hauspie SBC";
    default:
        return "";
    }
}

std::uint8_t decode_sound(ByteSource& source, const std::string& path, bool alles,
                          DecodedSound& sound, DecodeProgress* progress) {
    Decoder decoder(source, path, alles, sound, progress);
    return decoder.run();
}

std::uint8_t decode_sound(const std::string& path, bool alles, DecodedSound& sound,
                          DecodeProgress* progress) {
    FileSource source(path);
    return decode_sound(source, path, alles, sound, progress);
}

} // namespace melo

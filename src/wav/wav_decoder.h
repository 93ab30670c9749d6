#pragma once

#include "common/big_buffer.h"
#include "common/progress.h"
#include "wav/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace melo {

// Result codes of decode_sound. 0 is success; wavdecoderesult_text() turns a code into words.
enum DecodeCode : std::uint8_t {
    kDecodeOk = 0,
    kFileTooShort = 1,      // 44 bytes or fewer
    kNotWav = 2,            // in the message table only; never produced
    kFileNotFound = 3,      // length unknown, or the file cannot be opened or read
    kNotPcm = 9,            // format tag is not 1
    kBadChannels = 10,      // channel count not 1 or 2
    kBadBits = 11,          // bits per sample not 8 or 16
    kBadBlockAlign = 12,    // channels * bits differs from block align * 8
    kNoRiff = 13,
    kNoWave = 14,
    kNoFmt = 15,            // no "fmt " chunk at position 13, or one shorter than 16 bytes
    kNoData = 16,           // the file ends before the fmt chunk or the data chunk header
    kTooLong = 99,          // the sample buffer is full, or the file is larger than 2 GiB
};

// The most samples one decode stores (2^23); the buffer holds one more byte, index 0 unused.
inline constexpr std::int32_t kMaxSamples = 8388608;

// Texts of the "WAV-Info" panel fields that every decode empties and then fills.
struct DecodePanel {
    std::string filelaenge;    // file length
    std::string samples;       // declared sample count, general number format
    std::string bytesjesek;    // bytes per second
    std::string bits;          // bits per sample
    std::string freq;          // "22050 Hz (5622)"
    std::string kanaele;       // channel count
    std::string time;          // "1m 15.50s"
    std::string dataanf;       // wavdatastart
    std::string fmtlen;        // fmt chunk length
    std::string wavformat;     // format tag
    std::string wavformattext; // name of the format tag
};

// The decoded sound: format values, converted samples and the texts the decode shows.
// Values a decode does not reach keep what the previous decode left.
struct DecodedSound {
    // Allocates the sample buffer at its full size; the first full decode does so, and the
    // buffer is then kept and only overwritten.
    void ensure_buffer();

    std::int32_t wavfreq = 0;
    std::int32_t wavbytespersec = 0;
    std::int16_t wavchannels = 0;
    std::int16_t wavblockalign = 0;
    std::int16_t wavbits = 0;
    std::int32_t wavdatalen = 0;
    std::int32_t wavdatastart = 44;
    double wavtime = 0.0;
    BigBuffer wavdata; // kMaxSamples + 1 bytes once allocated, index 0 unused
    std::int32_t wavend = 0;
    bool wavcorrected = false;
    std::int64_t wavfilelen = 0; // the file's length in bytes, when it could be determined

    // The declared sample count (wavdatalen / wavblockalign) as the panel shows it; nothing
    // when the decode did not reach the data chunk header (the field is then empty).
    std::optional<double> declared_samples;

    // Decimal separator of the user's locale, used in the sample count and progress texts.
    char decimal_separator = '.';

    // What the last decode showed.
    DecodePanel panel;
    std::string status;                    // the decoder's own status text
    std::optional<std::string> total_text; // " total=N Bytes", when the data chunk was found
    std::optional<std::string> shown_path; // the path, when the file was opened
    bool progress_label_reset = false;     // the progress label was set to "0.0"
    bool spinner_reset = false;            // full decode: spinner limit := wavend, value := 1
};

// Told of the per-mille progress of a decode each time it changes (at most 1001 times), and
// of the format values as soon as the data chunk header is read. A decode is not cancelled.
class DecodeProgress : public ProgressObserver {
public:
    virtual void format_known(const DecodedSound& sound) { (void)sound; }
};

// Reads, checks and (with `alles`) converts a WAV file into `sound`. Returns the result
// code; every failure is a code, never an exception. Without `alles` the decode stops after
// the data chunk header and leaves wavdata, wavend and the spinner untouched.
std::uint8_t decode_sound(const std::string& path, bool alles, DecodedSound& sound,
                          DecodeProgress* progress = nullptr);

// The same over any byte source; `path` is only shown.
std::uint8_t decode_sound(ByteSource& source, const std::string& path, bool alles,
                          DecodedSound& sound, DecodeProgress* progress = nullptr);

// The name of a WAV format tag, or "" for a tag without one.
std::string wav_format_name(int tag);

} // namespace melo

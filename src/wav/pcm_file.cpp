#include "wav/pcm_file.h"

#include "wav/byte_source.h"
#include "wav/wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace melo {
namespace {

bool valid_format(int rate, int channels, int bits) {
    return rate > 0 && (channels == 1 || channels == 2) && (bits == 8 || bits == 16);
}

// One sample as a signed 16-bit value.
int sample_at(const PcmSound& s, std::size_t index) {
    if (s.bits == 8) {
        return (static_cast<unsigned char>(s.data[index]) - 128) * 256;
    }
    const auto lo = static_cast<unsigned char>(s.data[2 * index]);
    const auto hi = static_cast<unsigned char>(s.data[2 * index + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
}

void append_sample(std::string& out, int bits, double value) {
    if (bits == 8) {
        const long v = std::lround(value / 256.0) + 128;
        out += static_cast<char>(std::clamp<long>(v, 0, 255));
        return;
    }
    const auto v = static_cast<std::uint16_t>(
        static_cast<std::int16_t>(std::clamp<long>(std::lround(value), -32768, 32767)));
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

} // namespace

bool load_pcm(const std::string& path, PcmSound& sound) {
    DecodedSound header; // a header-only decode leaves the sample buffer unallocated
    if (decode_sound(path, false, header) != kDecodeOk || header.wavfreq <= 0) {
        return false;
    }
    FileSource file(path);
    const std::optional<std::int64_t> length = file.length();
    if (!length || !file.open() || !file.skip(header.wavdatastart)) {
        return false;
    }
    // The buffer is sized from the bytes the file holds, not from the declared length: a
    // small file that declares gigabytes must not take them.
    const std::int64_t align = header.wavblockalign;
    std::int64_t held = std::min<std::int64_t>(header.wavdatalen, *length - header.wavdatastart);
    held = std::min(held, kMaxPlayFrames * align);
    held -= held % align;
    if (held <= 0) {
        return false;
    }
    std::string data(static_cast<std::size_t>(held), '\0');
    const std::int64_t got = file.read(reinterpret_cast<std::uint8_t*>(data.data()), held);
    if (got < align) {
        return false; // a read error, or the file shrank under us
    }
    data.resize(static_cast<std::size_t>(got - got % align));
    sound.channels = header.wavchannels;
    sound.rate = header.wavfreq;
    sound.bits = header.wavbits;
    sound.block_align = header.wavblockalign;
    sound.data = std::move(data);
    return true;
}

bool convert_pcm(PcmSound& sound, int rate, int channels, int bits) {
    if (!valid_format(rate, channels, bits) ||
        !valid_format(sound.rate, sound.channels, sound.bits) ||
        sound.block_align != sound.channels * sound.bits / 8) {
        return false;
    }
    if (sound.rate == rate && sound.channels == channels && sound.bits == bits) {
        return true;
    }
    const auto frames = static_cast<std::int64_t>(sound.data.size()) / sound.block_align;
    // The frames as one channel or two, in 16-bit scale.
    std::vector<std::vector<double>> mixed(static_cast<std::size_t>(channels),
                                           std::vector<double>(static_cast<std::size_t>(frames)));
    for (std::int64_t f = 0; f < frames; ++f) {
        const auto first = static_cast<std::size_t>(f * sound.channels);
        const int a = sample_at(sound, first);
        const int b = sound.channels == 2 ? sample_at(sound, first + 1) : a;
        if (channels == 1) {
            mixed[0][static_cast<std::size_t>(f)] = (a + b) / 2.0;
        } else {
            mixed[0][static_cast<std::size_t>(f)] = a;
            mixed[1][static_cast<std::size_t>(f)] = b;
        }
    }
    const auto out_frames =
        std::max<std::int64_t>(1, std::llround(static_cast<double>(frames) * rate / sound.rate));
    const int out_align = channels * bits / 8;
    std::string out;
    out.reserve(static_cast<std::size_t>(out_frames * out_align));
    const double step = static_cast<double>(sound.rate) / rate;
    for (std::int64_t j = 0; j < out_frames; ++j) {
        const double at = static_cast<double>(j) * step;
        const auto i = std::min<std::int64_t>(static_cast<std::int64_t>(at), frames - 1);
        const auto k = std::min<std::int64_t>(i + 1, frames - 1);
        const double t = at - static_cast<double>(i);
        for (const std::vector<double>& channel : mixed) {
            const double v = channel[static_cast<std::size_t>(i)] * (1 - t) +
                             channel[static_cast<std::size_t>(k)] * t;
            append_sample(out, bits, v);
        }
    }
    sound.rate = rate;
    sound.channels = channels;
    sound.bits = bits;
    sound.block_align = out_align;
    sound.data = std::move(out);
    return true;
}

} // namespace melo

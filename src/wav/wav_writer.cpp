#include "wav/wav_writer.h"

namespace melo {
namespace {

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string pcm_wav_header(int rate, int channels, int bits, std::size_t data_bytes) {
    const auto align = static_cast<std::uint32_t>(channels * bits / 8);
    std::string header = "RIFF";
    header.reserve(kWavHeaderBytes);
    put32(header, static_cast<std::uint32_t>(36 + data_bytes));
    header += "WAVEfmt ";
    put32(header, 16);
    put16(header, 1);
    put16(header, static_cast<std::uint32_t>(channels));
    put32(header, static_cast<std::uint32_t>(rate));
    put32(header, static_cast<std::uint32_t>(rate) * align);
    put16(header, align);
    put16(header, static_cast<std::uint32_t>(bits));
    header += "data";
    put32(header, static_cast<std::uint32_t>(data_bytes));
    return header;
}

std::string pcm_wav(int rate, int channels, int bits, std::string_view frames) {
    std::string file = pcm_wav_header(rate, channels, bits, frames.size());
    file += frames;
    return file;
}

void append_sample16(std::string& frames, std::int16_t sample) {
    put16(frames, static_cast<std::uint16_t>(sample));
}

} // namespace melo

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

std::string pcm_wav(int rate, int channels, int bits, std::string_view frames) {
    const auto align = static_cast<std::uint32_t>(channels * bits / 8);
    std::string file = "RIFF";
    put32(file, static_cast<std::uint32_t>(36 + frames.size()));
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, 1);
    put16(file, static_cast<std::uint32_t>(channels));
    put32(file, static_cast<std::uint32_t>(rate));
    put32(file, static_cast<std::uint32_t>(rate) * align);
    put16(file, align);
    put16(file, static_cast<std::uint32_t>(bits));
    file += "data";
    put32(file, static_cast<std::uint32_t>(frames.size()));
    file += frames;
    return file;
}

void append_sample16(std::string& frames, std::int16_t sample) {
    put16(frames, static_cast<std::uint16_t>(sample));
}

} // namespace melo

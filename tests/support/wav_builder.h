#pragma once

// Builds WAV file bytes in tests, so every test shows exactly what it feeds the decoder.

#include <cstdint>
#include <fstream>
#ifdef _WIN32
#include "platform/paths.h"
#endif
#include <initializer_list>
#include <string>
#include <vector>

namespace wavb {

inline std::string le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string le32(std::uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A chunk: id, size (the body's, unless given) and body, without a fill byte.
inline std::string chunk(const std::string& id, const std::string& body, std::int64_t size = -1) {
    return id + le32(static_cast<std::uint32_t>(size < 0 ? body.size() : size)) + body;
}

// "RIFF", size, "WAVE", then the chunks.
inline std::string riff(const std::string& chunks) {
    return "RIFF" + le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

struct Format {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 13021;
    std::uint16_t bits = 8;
    int align = -1; // -1: channels * bits / 8
    std::string extra; // bytes behind the 16-byte record (fmt length 16 + extra)
};

inline std::string fmt_chunk(const Format& f) {
    const std::uint16_t align =
        static_cast<std::uint16_t>(f.align < 0 ? f.channels * f.bits / 8 : f.align);
    const std::string body = le16(f.tag) + le16(f.channels) + le32(f.rate) +
                             le32(f.rate * align) + le16(align) + le16(f.bits) + f.extra;
    return chunk("fmt ", body);
}

// A canonical PCM file: fmt chunk, data chunk.
inline std::string wav(const Format& f, const std::string& data) {
    return riff(fmt_chunk(f) + chunk("data", data));
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v & 0xFF);
    }
    return out;
}

inline std::string samples16(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += le16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
    }
    return out;
}

inline void write_file(const std::string& path, const std::string& contents) {
#ifdef _WIN32
    std::ofstream out(melo::native_path(path), std::ios::binary); // any name, not the ANSI code page
#else
    std::ofstream out(path, std::ios::binary);
#endif
    out << contents;
}

} // namespace wavb

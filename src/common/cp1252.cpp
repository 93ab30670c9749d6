#include "common/cp1252.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace melo {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t byte_to_codepoint(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        return kHighControls[b - 0x80];
    }
    return b;
}

int codepoint_to_byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// True when `text` is valid UTF-8; `multibyte` tells whether it holds a non-ASCII character.
bool valid_utf8(std::string_view text, bool& multibyte) {
    multibyte = false;
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (!next_utf8(text, i, cp)) {
            return false;
        }
        multibyte = multibyte || cp >= 0x80;
    }
    return true;
}

} // namespace

bool next_utf8(std::string_view text, std::size_t& i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    if (lead < 0x80) {
        length = 1;
        cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return false;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) {
        return false;
    }
    for (int k = 1; k < length; ++k) {
        const auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((cont & 0xC0) != 0x80) {
            return false;
        }
        cp = (cp << 6) | (cont & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        return false;
    }
    i += static_cast<std::size_t>(length);
    return true;
}

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string cp1252_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        append_utf8(out, byte_to_codepoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<std::string> utf8_to_cp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (!next_utf8(text, i, cp)) {
            return std::nullopt;
        }
        const int byte = codepoint_to_byte(cp);
        if (byte < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

std::string file_text_to_utf8(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bytes.remove_prefix(kUtf8Bom.size());
    }
    bool multibyte = false;
    if (valid_utf8(bytes, multibyte) && multibyte) {
        return std::string(bytes);
    }
    return cp1252_to_utf8(bytes);
}

std::string utf8_to_file_text(std::string_view text) {
    std::optional<std::string> bytes = utf8_to_cp1252(text);
    bool multibyte = false;
    // Windows-1252 bytes that happen to form UTF-8 ("Ã¤" is C3 A4) or begin like a byte-order
    // mark would read back as other characters: such a text stays UTF-8.
    if (bytes && !(valid_utf8(*bytes, multibyte) && multibyte) && bytes->substr(0, kUtf8Bom.size()) != kUtf8Bom) {
        return *bytes;
    }
    return std::string(text);
}

namespace {
bool is_control(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}
} // namespace

bool has_control_character(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (!next_utf8(text, i, cp)) {
            cp = static_cast<unsigned char>(text[i++]);
            if (cp < 0x80 && is_control(cp)) {
                return true;
            }
        } else if (is_control(cp)) {
            return true;
        }
    }
    return false;
}

std::string visible_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        char32_t cp = 0;
        const bool valid = next_utf8(text, i, cp);
        if (!valid) {
            cp = static_cast<unsigned char>(text[i++]);
        }
        char code[8];
        if (cp < 0x20 || cp == 0x7F || (!valid && cp >= 0x80)) {
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(cp));
            out += code; // a byte that is no character of its own is shown too
        } else if (cp >= 0x80 && cp <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(cp));
            out += code;
        } else {
            out.append(text.substr(at, i - at));
        }
    }
    return out;
}

} // namespace melo

#include "common/lenient_number.h"

#include "common/number_format.h"

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace melo {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

double radix_number(std::string_view s, std::size_t& i, int radix) {
    std::uint64_t value = 0;
    bool big = false;
    for (; i < s.size(); ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
        int digit = -1;
        if (is_digit(c)) {
            digit = c - '0';
        } else if (radix == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= radix) {
            break;
        }
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            big = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (big) {
        return 1e300; // larger than any 32-bit value
    }
    if (value <= 0xFFFF) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Scans the number at the start of `s`; `used` receives the number of characters it takes
// (0 when there is no number).
double scan_number(std::string_view s, std::size_t& used) {
    used = 0;
    if (s.size() >= 2 && s[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        if (kind == 'H' || kind == 'O') {
            std::size_t i = 2;
            const double value = radix_number(s, i, kind == 'H' ? 16 : 8);
            used = i > 2 ? i : 0;
            return used > 0 ? value : 0;
        }
        return 0;
    }
    std::size_t i = 0;
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        number += s[i++];
    }
    bool digits = false;
    while (i < s.size() && is_digit(s[i])) {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && is_digit(s[i])) {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits) {
        return 0;
    }
    if (i < s.size() && std::strchr("EeDd", s[i]) != nullptr) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            exponent += s[j++];
        }
        const std::size_t exp_start = j;
        while (j < s.size() && is_digit(s[j])) {
            exponent += s[j++];
        }
        if (j > exp_start) {
            number += exponent;
            i = j;
        }
    }
    used = i;
    // strtod reads the decimal point of the process's locale (a comma under a German one
    // once Qt has set it): the point written here becomes that character first.
    if (const auto dot = number.find('.'); dot != std::string::npos) {
        number[dot] = *std::localeconv()->decimal_point;
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : (value < 0 ? -1e300 : 1e300);
}

} // namespace

double lenient_number(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!is_blank(c)) {
            compact += c;
        }
    }
    std::size_t used = 0;
    return scan_number(compact, used);
}

WholeNumber convert_whole_number(std::string_view text, long long minimum, long long maximum) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    WholeNumber result;
    std::size_t used = 0;
    const double value = round_half_even(scan_number(text, used));
    if (text.empty() || used != text.size()) {
        result.error_number = 13;
        result.error_text = "Typen unverträglich";
        return result;
    }
    if (value < static_cast<double>(minimum) || value > static_cast<double>(maximum)) {
        result.error_number = 6;
        result.error_text = "Überlauf";
        return result;
    }
    result.ok = true;
    result.value = static_cast<long long>(value);
    return result;
}

} // namespace melo

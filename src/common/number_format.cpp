#include "common/number_format.h"

#include <cmath>
#include <cstdio>

namespace melo {

std::string format_digits(std::int64_t value, int digits) {
    const bool negative = value < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value)
                                       : static_cast<std::uint64_t>(value);
    std::string text = std::to_string(magnitude);
    if (static_cast<int>(text.size()) < digits) {
        text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    }
    return negative ? "-" + text : text;
}

std::string format_one_decimal(double value, char decimal_separator) {
    // Round to tenths half away from zero on the scaled integer, so 0.05 -> 0.1.
    const double scaled = std::round(value * 10.0);
    const bool negative = scaled < 0;
    const auto tenths = static_cast<std::int64_t>(negative ? -scaled : scaled);
    std::string text = std::to_string(tenths / 10);
    text += decimal_separator;
    text += static_cast<char>('0' + tenths % 10);
    return negative && tenths != 0 ? "-" + text : text;
}

std::string permille_label(int permille, char decimal_separator) {
    return format_one_decimal(permille / 10.0, decimal_separator) + " %";
}

std::string format_fixed(double value, int decimals, char decimal_separator) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (const auto dot = text.find('.'); dot != std::string::npos) {
        text[dot] = decimal_separator;
    }
    return text;
}

std::string seconds_text(double seconds, int decimals, char decimal_separator) {
    return format_fixed(seconds, decimals, decimal_separator) + " s";
}

std::string format_general(double value, char decimal_separator) {
    if (std::isnan(value) || std::isinf(value)) {
        return "0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    if (decimal_separator != '.') {
        for (char& c : text) {
            if (c == '.') {
                c = decimal_separator;
            }
        }
    }
    return text;
}

std::string play_time_text(double t) {
    const double minutes = std::floor(t / 60);
    const double seconds = std::floor(t - 60 * minutes);
    const double hundredths = std::floor((t - std::floor(t)) * 100);
    return format_digits(static_cast<std::int64_t>(minutes), 1) + "m " +
           format_digits(static_cast<std::int64_t>(seconds), 1) + "." +
           format_digits(static_cast<std::int64_t>(hundredths), 2) + "s";
}

double round_half_even(double value) {
    return std::nearbyint(value); // the default floating-point rounding mode is half-to-even
}

std::string hexx(std::int32_t value, int min_width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    std::string text = buffer;
    if (static_cast<int>(text.size()) < min_width) {
        text.insert(0, static_cast<std::size_t>(min_width) - text.size(), '0');
    }
    return text;
}

} // namespace melo

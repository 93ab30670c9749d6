#pragma once

#include <string>
#include <string_view>

namespace melo {

// Reads the leading number of a text the lenient way of a typed number field: blanks, tabs and
// line feeds anywhere are skipped; an optional sign; "&H" (hexadecimal) or "&O" (octal)
// prefixes, whose values wrap as 16-bit and then 32-bit two's complement; a decimal point and an
// exponent (E or D). Anything after the number is ignored; a text without one gives 0.
double lenient_number(std::string_view text);

// A settings value converted to a whole number: the whole text (blanks around it allowed) must
// be one number of the lenient form; it is rounded half to even and must lie in [min, max].
// A failure carries the number and description the start-up message shows.
struct WholeNumber {
    bool ok = false;
    long long value = 0;
    int error_number = 0;
    std::string error_text;
};
WholeNumber convert_whole_number(std::string_view text, long long minimum, long long maximum);

} // namespace melo

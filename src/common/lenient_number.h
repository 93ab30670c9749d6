#pragma once

#include <string_view>

namespace melo {

// Reads the leading number of a text the lenient way of a typed number field: blanks, tabs and
// line feeds anywhere are skipped; an optional sign; "&H" (hexadecimal) or "&O" (octal)
// prefixes, whose values wrap as 16-bit and then 32-bit two's complement; a decimal point and an
// exponent (E or D). Anything after the number is ignored; a text without one gives 0.
double lenient_number(std::string_view text);

} // namespace melo

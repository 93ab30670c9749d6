#pragma once

#include <cstdint>
#include <string>

namespace melo {

// Integer with at least `digits` digits, zero-padded ("00" and "0000" patterns; "#0" is 1 digit).
// A negative value keeps its sign in front of the padded digits.
std::string format_digits(std::int64_t value, int digits);

// The "##0.0" pattern: at least one integer digit, exactly one decimal, rounded half away
// from zero, with the given decimal separator. 12.34 -> "12.3", 0 -> "0.0".
std::string format_one_decimal(double value, char decimal_separator = '.');

// A percentage label from a per-mille value: "##0.0" of permille/10 followed by " %".
std::string permille_label(int permille, char decimal_separator = '.');

// `value` with exactly `decimals` decimals, rounded, with the given decimal separator.
std::string format_fixed(double value, int decimals, char decimal_separator = '.');

// A time in seconds with exactly `decimals` decimals and the given separator, and " s":
// "0.400 s", "0,400 s". The one form of seconds in the texts the program adds.
std::string seconds_text(double seconds, int decimals = 3, char decimal_separator = '.');

// The "general number" form of a double: up to 15 significant digits, no exponent for
// ordinary magnitudes, no trailing zeros, the separator only when there is a fraction.
std::string format_general(double value, char decimal_separator = '.');

// A play time in seconds as the panels show it: minutes "#0", "m ", seconds "#0", ".",
// hundredths "00", "s" (75.5 -> "1m 15.50s"), each part cut, not rounded.
std::string play_time_text(double seconds);

// Rounds to the nearest integer, an exact half to the even neighbour (banker's rounding).
double round_half_even(double value);

// Upper-case hexadecimal of `value` (a negative value as its 32-bit two's complement),
// padded with "0" to at least `min_width` digits and never cut.
std::string hexx(std::int32_t value, int min_width);

} // namespace melo

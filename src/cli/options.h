#pragma once

#include "prepare/sound_preparation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace melo::cli {

// Prints "melo-dsu COMMAND: TEXT (siehe melo-dsu --help)" on stderr. Returns false.
bool usage_error(const char* command, const std::string& text);

// The number `text` holds in full ("1.5", "-3", "2e3"), or nothing.
std::optional<double> parse_number(const std::string& text);

// The value of the option at args[i], given as "--name=value" or "--name value"; `i` moves
// past a separate value. Returns false after a usage error when there is none.
bool option_value(const char* command, const std::vector<std::string>& args, std::size_t& i,
                  const std::string& name, std::string& value);

// Takes args[i], which no option of the command itself matched: a preparation option
// (--rate HZ, --bits 8|16, --dither none|tpdf, --normalize[=DB], --loudness[=LUFS], --trim[=DB])
// into `options`, anything not starting with '-' into `inputs`. Returns false after a usage
// error: a bad preparation value or an unknown option.
bool prepare_option_or_input(const char* command, const std::vector<std::string>& args,
                             std::size_t& i, PrepareOptions& options,
                             std::vector<std::string>& inputs);

} // namespace melo::cli

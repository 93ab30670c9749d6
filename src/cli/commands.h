#pragma once

#include <string>
#include <vector>

namespace melo::cli {

inline constexpr int kUsageError = 2;

// The decimal separator of the play-time budget line that build and dump print, as scripts
// that read it have always seen it.
inline constexpr char kBudgetSeparator = ',';

// Each command takes its arguments after the command word and returns the exit status.
int inspect(const std::vector<std::string>& args);
int build(const std::vector<std::string>& args);
int dump(const std::vector<std::string>& args);
int convert(const std::vector<std::string>& args);
int loop(const std::vector<std::string>& args);

// Splits arguments into positional ones and the allowed flags; reports anything else as a
// usage error on stderr. Returns false on a usage error.
bool parse_args(const char* command, const std::vector<std::string>& args,
                const std::vector<std::string>& allowed_flags, std::size_t positional_count,
                std::vector<std::string>& positional, std::vector<std::string>& flags);

} // namespace melo::cli

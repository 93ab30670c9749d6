#include <algorithm>
#include <cstdio>

#include "cli/commands.h"

namespace melo::cli {

bool parse_args(const char* command, const std::vector<std::string>& args,
                const std::vector<std::string>& allowed_flags, std::size_t positional_count,
                std::vector<std::string>& positional, std::vector<std::string>& flags) {
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            if (std::find(allowed_flags.begin(), allowed_flags.end(), a) == allowed_flags.end()) {
                std::fprintf(stderr, "melo-dsu %s: unbekannte Option '%s' (siehe melo-dsu --help)\n", command,
                             a.c_str());
                return false;
            }
            flags.push_back(a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != positional_count) {
        std::fprintf(stderr, "melo-dsu %s: %zu Dateiangabe%s erwartet (siehe melo-dsu --help)\n", command,
                     positional_count, positional_count == 1 ? "" : "n");
        return false;
    }
    return true;
}

} // namespace melo::cli

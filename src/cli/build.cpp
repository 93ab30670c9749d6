#include <cstdio>

#include "cli/commands.h"

namespace melo::cli {

int build(const std::vector<std::string>&) {
    std::fputs("melo-dsu build: not available yet\n", stderr);
    return kUsageError;
}

int dump(const std::vector<std::string>&) {
    std::fputs("melo-dsu dump: not available yet\n", stderr);
    return kUsageError;
}

} // namespace melo::cli

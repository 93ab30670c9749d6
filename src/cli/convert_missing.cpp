// `convert` in a build without the sound preparation (a Windows build made without
// libsndfile and libsoxr): the command exists and says why it cannot work.

#include <cstdio>

#include "cli/commands.h"

namespace melo::cli {

int convert(const std::vector<std::string>&) {
    std::fputs("melo-dsu convert: Diese Ausgabe von melo-dsu kann keine Tondateien umwandeln "
               "(ohne libsndfile und libsoxr gebaut).\n",
               stderr);
    return 1;
}

} // namespace melo::cli

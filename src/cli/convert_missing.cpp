// `convert` and `loop` in a build without the sound preparation and the loop finder (a
// Windows build made without libsndfile, libsoxr, libebur128 and KissFFT): the commands exist
// and say why they cannot work.

#include <cstdio>

#include "cli/commands.h"

namespace melo::cli {
namespace {

int not_in_this_build(const char* command) {
    std::fprintf(stderr,
                 "melo-dsu %s: Diese Ausgabe von melo-dsu kann keine Tondateien umwandeln und keine "
                 "Loops suchen (ohne libsndfile, libsoxr, libebur128 und KissFFT gebaut).\n",
                 command);
    return 1;
}

} // namespace

int convert(const std::vector<std::string>&) {
    return not_in_this_build("convert");
}

int loop(const std::vector<std::string>&) {
    return not_in_this_build("loop");
}

} // namespace melo::cli

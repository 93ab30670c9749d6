// melo-dsu without the sound preparation and the loop finder (a Windows build made without
// libsndfile, libsoxr, libebur128 and KissFFT): `convert` and `loop` exist and say why they
// cannot work, and `inspect` says that it cannot measure loudness.

#include <cstdio>

#include "cli/commands.h"
#include "prepare/loudness.h"

namespace melo {

bool measure_file_loudness(const std::string&, Loudness&, std::string& error) {
    error = "diese Ausgabe von melo-dsu ist ohne libebur128 gebaut";
    return false;
}

std::string loudness_text(const Loudness&) {
    return {};
}

namespace cli {
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

} // namespace cli
} // namespace melo

// melo-dsu: the command-line face of MELO Sound-Manager. It calls the same core as the
// window, so its files are byte for byte the window's.

#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/process_signals.h"
#include "common/version.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: melo-dsu COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  build PROJECT.DSP [--log] [--debug-log] [--verbose]\n"
    "      Runs the generation of the project's .DSU image and prints the log.\n"
    "      --log        also write the .LOG file\n"
    "      --debug-log  also write the .DBG file\n"
    "      --verbose    print the debug view's lines instead of the log view's\n"
    "  inspect WAVFILE [--header-only]\n"
    "      Decodes a WAV file and prints the fields of the inspection panel, then its\n"
    "      integrated loudness (EBU R128) and true peak.\n"
    "  dump IMAGE.DSU\n"
    "      Lists the address table of an image and checks it.\n"
    "  convert IN... [--out FILE | --into DIR] [--force] [--rate HZ] [--bits 8|16]\n"
    "          [--dither none|tpdf] [--normalize[=DB] | --loudness[=LUFS]] [--trim[=DB]]\n"
    "      Converts audio files (WAV of any PCM or float width, AIFF, FLAC, Ogg Vorbis/Opus,\n"
    "      MP3 ...) into mono PCM WAV at 13021 Hz, the rate the module plays: unsigned 8-bit\n"
    "      samples within 1..254, rounded, which the image takes byte for byte.\n"
    "      Each output is named after its input with the extension .wav (NAME_RATE.wav\n"
    "      where that would be the input itself), beside the input or in DIR. An existing\n"
    "      file is replaced only when --out names it or with --force.\n"
    "      --out FILE        the output file (one input only)\n"
    "      --into DIR        the directory of the outputs\n"
    "      --force           replace existing outputs (an input is never replaced)\n"
    "      --rate HZ         another output rate (1000 to 192000)\n"
    "      --bits 8|16       8 (default): the module's samples; 16: a master to keep, which\n"
    "                        the image build truncates to 8 bits\n"
    "      --dither none|tpdf  8 bits: round (none, default) or add triangular dither first,\n"
    "                        which turns the distortion of quiet tones into steady noise;\n"
    "                        silence and stretches below half a step for 50 ms stay 128\n"
    "      --normalize[=DB]  raise or lower the peak to DB dBFS (default -1) of the output's\n"
    "                        range (1..254 around 128 for 8 bits)\n"
    "      --loudness[=LUFS] match the integrated loudness (EBU R128) to LUFS (default -16,\n"
    "                        -40 to -5); where peaks would leave the range, the gain stops at\n"
    "                        the peak and the loudness reached is printed\n"
    "      --trim[=DB]       cut leading and trailing silence below DB dBFS (default -48)\n"
    "  loop IN --into DIR [--name STEM] [--force] [--range A:B] [--loop A:B [--exact]]\n"
    "       [--min S] [--max S] [--crossfade MS] [--candidates N] plus the options of convert\n"
    "      Prepares one recording as convert does and cuts it into a start part, a loop part\n"
    "      that repeats without a click and an end part: STEM_anfang.wav, STEM_loop.wav and\n"
    "      STEM_ende.wav in DIR (STEM: the input's name). Prints the chosen loop, its seam\n"
    "      (step in 8-bit values against the loop's own steps, correlation, level\n"
    "      difference) and the other candidates. A recording that does not repeat (noise,\n"
    "      speech, changing chords, silence) is refused with the reason, unless a crossfade\n"
    "      is asked for.\n"
    "      --force           replace existing parts whose contents differ\n"
    "      --range A:B       search between A and B seconds (default: the steady middle,\n"
    "                        without attack and decay)\n"
    "      --loop A:B        loop from A to B seconds, moved to the best seam within 5 ms\n"
    "                        (0:END: the whole recording, without start and end part)\n"
    "      --exact           keep the --loop points as given\n"
    "      --min S, --max S  shortest and longest loop in seconds (default 0.2, the range)\n"
    "      --crossfade MS    blend the loop's end into the sound before its start\n"
    "      --candidates N    how many candidates to list (default 5, at most 50)\n"
    "\n"
    "Options:\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 success, 1 a failed run, check, decode or conversion, 2 a usage error\n"
    "or an input that does not exist or cannot be read.\n";

int run(std::vector<std::string> args) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("melo-dsu%s\n", melo::versionfull().c_str());
            return 0;
        }
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return melo::cli::kUsageError;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "inspect") {
        return melo::cli::inspect(args);
    }
    if (command == "build") {
        return melo::cli::build(args);
    }
    if (command == "dump") {
        return melo::cli::dump(args);
    }
    if (command == "convert") {
        return melo::cli::convert(args);
    }
    if (command == "loop") {
        return melo::cli::loop(args);
    }
    std::fprintf(stderr, "melo-dsu: unbekannter Befehl '%s' (siehe melo-dsu --help)\n",
                 command.c_str());
    return melo::cli::kUsageError;
}

} // namespace

int main(int argc, char** argv) {
    melo::ignore_file_size_signal();
    const int status = run(melo::program_arguments(argc, argv));
    // Output that did not arrive (a full disk, a closed pipe) is a failure, as with the
    // standard tools.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error_number = errno;
    if (!flushed || std::ferror(stdout)) {
        // The reason is known only where this last flush met it.
        const std::string reason =
            !flushed && error_number != 0 ? ": " + melo::file_error_text(error_number) : "";
        std::fprintf(stderr, "melo-dsu: Standardausgabe nicht geschrieben%s\n", reason.c_str());
        return status == 0 ? 1 : status;
    }
    return status;
}

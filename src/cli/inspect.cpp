#include <algorithm>
#include <cstdio>

#include "cli/commands.h"
#include "prepare/loudness.h"
#include "common/captions.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

namespace melo::cli {

int inspect(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::vector<std::string> flags;
    if (!parse_args("inspect", args, {"--header-only"}, 1, files, flags)) {
        return kUsageError;
    }
    const bool alles = flags.empty();
    static DecodedSound sound;
    const int code = decode_sound(files[0], alles, sound);

    const DecodePanel& p = sound.panel;
    std::string format = p.wavformat;
    if (!p.wavformattext.empty()) {
        format += " " + p.wavformattext;
    }
    const PanelCaptions& c = kPanelCaptions;
    const std::pair<const char*, const std::string*> lines[] = {
        {c.filelaenge, &p.filelaenge}, {c.samples, &p.samples}, {c.bytesjesek, &p.bytesjesek},
        {c.bits, &p.bits},             {c.freq, &p.freq},       {c.kanaele, &p.kanaele},
        {c.time, &p.time},             {c.dataanf, &p.dataanf}, {c.fmtlen, &p.fmtlen},
        {c.wavformat, &format},
    };
    for (const auto& [caption, text] : lines) {
        std::printf("%s %s\n", caption, text->c_str());
    }
    std::printf("Status: %s\n", wavdecoderesult_text(code, sound).c_str());
    // How loud the file is, so parts from different sources can be compared; not a field of
    // the panel, and only after a full decode that found the file sound.
    if (alles && code == 0) {
        Loudness loudness;
        std::string error;
        if (measure_file_loudness(files[0], loudness, error)) {
            std::printf("%s\n", loudness_text(loudness).c_str());
        } else {
            std::printf("Lautheit nicht messbar: %s\n", error.c_str());
        }
    }
    // A file that cannot be opened or read is a missing input (status 2, as --help says); a
    // file the decoder rejects is a failed check.
    return code == kDecodeOk ? 0 : (code == kFileNotFound ? kUsageError : 1);
}

} // namespace melo::cli

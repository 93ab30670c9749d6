#pragma once

#include <string>

#include "wav/wav_decoder.h"

namespace melo {

// The message for a decode result code, "" for a code without one.
std::string wavdecoderesult_message(int code);

// The status text the result display shows for `code` after a decode into `sound`:
// "WAV decodiert, Ende=N" (with the cut-back note) for 0, else "Fehler in WAV-Datei: " with
// the message, the code in "(#N)" and, for code 9, the format tag and its name.
std::string wavdecoderesult_text(int code, const DecodedSound& sound);

} // namespace melo

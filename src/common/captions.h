#pragma once

#include <string>

// The captions the window, the waveform view and the command-line tool share, so each is
// written once.

namespace melo {

// "Sound A (200)" to "Sound D (203)" for the sound rows 0 to 3.
std::string row_title(int row);

// "Anfang", "Loop" and "Ende" for the parts 0 to 2 of a row.
std::string part_title(int part);

// "Sound A (200) Anfang" for slot 1 and so on to slot 12.
std::string slot_title(int slot);

// The field `index` of a project in its file's order: "Sound A (200) Anfang" for 0 and so on
// to "Sound D (203) Ende" for 11, "Basis-Soundfile" for 12.
std::string field_title(int index);

// The captions of the WAV inspection panel, one per field of the decode's panel texts;
// `melo-dsu inspect` prints exactly these.
struct PanelCaptions {
    const char* filelaenge = "Filelänge (Bytes)";
    const char* samples = "Anzahl Samples:";
    const char* bytesjesek = "Bytes/Sekunde:";
    const char* bits = "bits/Sample:";
    const char* freq = "Samplefrequenz:";
    const char* kanaele = "Anzahl Kanäle:";
    const char* time = "Dauer:";
    const char* dataanf = "\"data\"-chunk anf:";
    const char* fmtlen = "\"fmt \"-chunk len:";
    const char* wavformat = "WAVformat:";
};
inline constexpr PanelCaptions kPanelCaptions;

} // namespace melo

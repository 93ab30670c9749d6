#include "wav/decode_result.h"

namespace melo {

std::string wavdecoderesult_message(int code) {
    switch (code) {
    case 1:
        return "File zu kurz";
    case 2:
        return "Kein WAV-File";
    case 3:
        return "File nicht gefunden";
    case 9:
        return "WAV ist kein PCM-Format";
    case 10:
        return "Kanalanzahl nicht 1 oder 2";
    case 11:
        return "WAV nicht 8 oder 16 bit";
    case 12:
        return "WAV bits/Sample und Kanalanzahl unpassend";
    case 13:
        return "Kein WAV-File: 'RIFF' fehlt";
    case 14:
        return "Kein WAV-File: 'WAVE' fehlt";
    case 15:
        return "Kein WAV-File: 'fmt ' fehlt";
    case 16:
        return "'data'-chunk nicht gefunden";
    case 99:
        return "File zu lang";
    default:
        return "";
    }
}

std::string wavdecoderesult_text(int code, const DecodedSound& sound) {
    if (code == 0) {
        std::string text = "WAV decodiert, Ende=" + std::to_string(sound.wavend);
        if (sound.wavcorrected) {
            text += " (falsche '0' am Ende korrigiert)";
        }
        return text;
    }
    std::string text = "Fehler in WAV-Datei: " + wavdecoderesult_message(code) + " (#" +
                       std::to_string(code) + ")";
    if (code == 9) {
        text += ": " + sound.panel.wavformat + "=" + sound.panel.wavformattext;
    }
    return text;
}

} // namespace melo

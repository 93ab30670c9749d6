#include "common/captions.h"

namespace melo {

std::string row_title(int row) {
    static const char* const kSounds[4] = {"Sound A (200)", "Sound B (201)", "Sound C (202)",
                                           "Sound D (203)"};
    return kSounds[row];
}

std::string part_title(int part) {
    static const char* const kParts[3] = {"Anfang", "Loop", "Ende"};
    return kParts[part];
}

std::string slot_title(int slot) {
    return row_title((slot - 1) / 3) + " " + part_title((slot - 1) % 3);
}

std::string field_title(int index) {
    return index == 12 ? "Basis-Soundfile" : slot_title(index + 1);
}

} // namespace melo

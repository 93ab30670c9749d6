#include "flash/image_dump.h"

#include "flash/flash_image.h"
#include "flash/generation_run.h"

namespace melo {

std::string row_title(int row) {
    static const char* const kSounds[4] = {"Sound A (200)", "Sound B (201)", "Sound C (202)", "Sound D (203)"};
    return kSounds[row];
}

std::string part_title(int part) {
    static const char* const kParts[3] = {"Anfang", "Loop", "Ende"};
    return kParts[part];
}

std::string slot_title(int slot) {
    return row_title((slot - 1) / 3) + " " + part_title((slot - 1) % 3);
}

ImageDump dump_image(const std::string& image) {
    ImageDump dump;
    dump.size = static_cast<std::int64_t>(image.size());
    if (dump.size < kAddressTableEnd) {
        dump.problems.push_back("Image zu kurz für die Adresstabelle (" + std::to_string(dump.size) +
                                " Bytes statt mindestens " + std::to_string(kAddressTableEnd) + ")");
        dump.unreadable = dump.problems.back();
        return dump;
    }
    auto byte = [&](std::int64_t at) { return static_cast<unsigned char>(image[static_cast<std::size_t>(at)]); };
    std::int64_t previous_marker = -1;
    const auto broken = [&](const std::string& problem) {
        dump.problems.push_back(problem);
        if (dump.unreadable.empty()) {
            dump.unreadable = problem;
        }
    };
    for (int slot = 1; slot <= 12; ++slot) {
        SlotDump s;
        s.slot = slot;
        const std::int64_t at = kAddressTable + 3 * (slot - 1);
        s.address = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16;
        const std::string name = "Slot " + std::to_string(slot) + " (" + slot_title(slot) + "): ";
        if (s.address >= dump.size) {
            broken(name + "Adresse " + std::to_string(s.address) + " liegt hinter dem Ende des Images");
            dump.slots.push_back(s);
            previous_marker = -1;
            continue;
        }
        if (s.address < kAddressTableEnd) {
            broken(name + "Adresse " + std::to_string(s.address) + " liegt in der Adresstabelle");
        }
        std::int64_t p = s.address;
        while (p < dump.size && byte(p) != 0 && byte(p) != 255) {
            ++p;
        }
        s.samples = p - s.address;
        if (p == dump.size) {
            dump.problems.push_back(name + "kein Markerbyte bis zum Ende des Images");
        } else {
            s.marker = byte(p);
            // An end part closes with 0, a start or loop part with 255; an empty start or loop
            // part closes with 0 when it names no file and with 255 when its file declared no
            // samples, so both are right there.
            const bool end_part = slot % 3 == 0;
            const int expected = end_part || s.samples == 0 ? 0 : 255;
            const bool accepted = s.marker == expected || (!end_part && s.samples == 0 && s.marker == 255);
            if (!accepted) {
                dump.problems.push_back(name + "Markerbyte " + std::to_string(s.marker) + " statt " +
                                        std::to_string(expected));
            }
        }
        if (previous_marker >= 0 && s.address != previous_marker + 1) {
            broken(name + "folgt nicht direkt auf Slot " + std::to_string(slot - 1));
        }
        previous_marker = s.marker >= 0 ? p : -1;
        dump.slots.push_back(s);
    }
    if (previous_marker >= 0 && previous_marker + 1 != dump.size) {
        dump.problems.push_back(std::to_string(dump.size - previous_marker - 1) +
                                " Bytes hinter dem letzten Teil (Slot 12)");
    }
    // The run writes such an image and names it in its size line only; read back, it is
    // one that cannot go into the flash as it is.
    if (too_big_for_flash(dump.size)) {
        dump.problems.push_back("Image zu groß für 32Mbit: " + std::to_string(dump.size - kFlashCapacity) +
                                " Bytes zuviel");
    }
    return dump;
}

} // namespace melo

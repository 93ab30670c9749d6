#include "flash/image_dump.h"

#include "common/captions.h"
#include "flash/generation_run.h"
#include "flash/part_placement.h"

namespace melo {

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
        while (p < dump.size && byte(p) != kEndMarker && byte(p) != kPartMarker) {
            ++p;
        }
        s.samples = p - s.address;
        if (p == dump.size) {
            dump.problems.push_back(name + "kein Markerbyte bis zum Ende des Images");
        } else {
            s.marker = byte(p);
            // An empty part may name no file or a file that declared no samples: either
            // marker is right behind it.
            const int with_file = slot_marker(slot, kPartMarker);
            const int expected = s.samples == 0 ? slot_marker(slot, kEndMarker) : with_file;
            const bool accepted = s.marker == expected || (s.samples == 0 && s.marker == with_file);
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

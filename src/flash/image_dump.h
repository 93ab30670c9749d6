#pragma once

#include <cstdint>
#include <string>
#include <vector>


namespace melo {

// One entry of an image's address table, read back.
struct SlotDump {
    int slot = 0;                 // 1 to 12
    std::int64_t address = 0;     // the start address in the table
    std::int64_t samples = 0;     // bytes from the address up to the marker byte
    int marker = -1;              // the marker byte (0 or 255), -1 when none was found
};

// An image read back: the twelve table entries and every inconsistency found, in words.
struct ImageDump {
    std::int64_t size = 0;
    std::vector<SlotDump> slots;
    std::vector<std::string> problems;
    // The first problem that leaves nothing to show: no address table, or one whose parts do
    // not follow each other inside the image (random bytes); "" when the parts can be shown.
    std::string unreadable;
};

// Reads the address table of an image (the bytes of a .DSU file) and checks that the parts
// follow each other behind their addresses, each closed by the marker its slot should have,
// and that the image ends with the last part's marker and fits the flash.
ImageDump dump_image(const std::string& image);

} // namespace melo

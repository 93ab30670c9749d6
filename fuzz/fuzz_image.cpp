// Feeds arbitrary bytes as an image (.DSU) to the image check and to the waveform model of an
// image, and checks what the viewer and `dump` rely on: every table entry and every sample
// range lies inside the image, and a range of samples is what the samples hold.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "flash/image_dump.h"
#include "flash/waveform_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string image(reinterpret_cast<const char*>(data), size);
    const melo::ImageDump dump = melo::dump_image(image);
    if (dump.size != static_cast<std::int64_t>(size) || dump.slots.size() > 12) {
        std::abort();
    }
    for (const melo::SlotDump& slot : dump.slots) {
        if (slot.slot < 1 || slot.slot > 12 || slot.samples < 0 || slot.marker < -1 || slot.marker > 255) {
            std::abort();
        }
    }
    const melo::ImageRows rows = melo::image_rows(image);
    std::int64_t total = 0;
    for (const melo::WaveformRow& row : rows.rows) {
        for (int p = 0; p < 3; ++p) {
            const melo::WaveformPart& part = row.parts[static_cast<std::size_t>(p)];
            total += part.count();
            if (part.address >= 0 && part.address + part.count() > static_cast<std::int64_t>(size)) {
                std::abort(); // samples from beyond the image
            }
            if (!part.samples.empty()) {
                const melo::SampleRange all = part.range(0, part.count());
                const auto [lo, hi] = std::minmax_element(part.samples.begin(), part.samples.end());
                if (all.lo != *lo || all.hi != *hi) {
                    std::abort();
                }
                // A stretch in the middle, as a pixel column asks for it.
                const std::int64_t a = part.count() / 3, b = part.count() - part.count() / 4;
                const melo::SampleRange mid = part.range(a, b);
                if (a < b && (mid.lo < all.lo || mid.hi > all.hi)) {
                    std::abort();
                }
                (void)melo::loop_seam(part, 16);
            }
        }
        if (row.length() < 0) {
            std::abort();
        }
    }
    if (total > static_cast<std::int64_t>(size)) {
        std::abort();
    }
    return 0;
}

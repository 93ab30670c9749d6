#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/captions.h"
#include "common/module_constants.h"
#include "common/number_format.h"
#include "flash/generation_run.h"
#include "flash/image_dump.h"
#include "flash/sound_budget.h"
#include "platform/paths.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>

namespace melo::cli {

int dump(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::vector<std::string> flags;
    if (!parse_args("dump", args, {}, 1, files, flags)) {
        return kUsageError;
    }
    // The file's type and size first: a device or a FIFO would never end, and no image is
    // larger than the image buffer.
    std::error_code ec;
    const auto status = std::filesystem::status(native_path(files[0]), ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        std::fprintf(stderr, "melo-dsu dump: '%s' %s\n", files[0].c_str(),
                     ec || !std::filesystem::exists(status) ? "existiert nicht"
                                                            : "ist keine gewöhnliche Datei");
        return kUsageError;
    }
    const std::uintmax_t size = std::filesystem::file_size(native_path(files[0]), ec);
    if (!ec && size > static_cast<std::uintmax_t>(kImageBufferSize)) {
        std::printf("Fehler: Image ist %ju Bytes groß, ein Image hat höchstens %lld Bytes\n1 "
                    "Fehler gefunden.\n",
                    size, static_cast<long long>(kImageBufferSize));
        return 1;
    }
    std::string image;
    std::string error;
    if (ec || !read_file(files[0], image, static_cast<std::size_t>(kImageBufferSize), &error)) {
        std::fprintf(stderr, "melo-dsu dump: Image '%s' nicht lesbar: %s\n", files[0].c_str(),
                     error.c_str());
        return kUsageError;
    }
    const ImageDump d = dump_image(image);
    for (const SlotDump& s : d.slots) {
        std::printf("Slot %2d  %-20s  Adresse %7lld (%s)  Samples %7lld  Marker %s\n", s.slot,
                    slot_title(s.slot).c_str(), static_cast<long long>(s.address),
                    hexx(static_cast<std::int32_t>(s.address), 6).c_str(),
                    static_cast<long long>(s.samples),
                    s.marker < 0 ? "--" : hexx(s.marker, 2).c_str());
    }
    std::printf(
        "Belegt: %lld Bytes; %s\n", static_cast<long long>(d.size),
        size_message(static_cast<std::int32_t>(std::min<std::int64_t>(d.size, INT32_MAX))).c_str());
    std::printf("%s\n", sound_budget_text(d.size, kBudgetSeparator).c_str());
    for (const std::string& problem : d.problems) {
        std::printf("Fehler: %s\n", problem.c_str());
    }
    std::printf(d.problems.empty() ? "Konsistent.\n" : "%zu Fehler gefunden.\n", d.problems.size());
    return d.problems.empty() ? 0 : 1;
}

} // namespace melo::cli

#include "flash/sound_budget.h"

#include "common/number_format.h"
#include "flash/flash_image.h"
#include "flash/generation_run.h"
#include "platform/paths.h"
#include "project/project_path.h"
#include "wav/wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

namespace melo {

std::int64_t free_samples(std::int64_t used) {
    return std::max<std::int64_t>(0, kFlashCapacity - used);
}

bool fits_free_flash(std::int64_t samples, std::int64_t free) {
    return samples < 0 || !too_big_for_flash(kFlashCapacity - free + samples);
}

std::string sound_budget_text(std::int64_t used) {
    // Tenths rounded down: the budget never promises more than there is.
    const double tenths = std::floor(static_cast<double>(free_samples(used)) * 10.0 / kTargetFreq);
    return "noch " + format_one_decimal(tenths / 10.0, ',') + " s frei bei " +
           std::to_string(kTargetFreq) + " Hz";
}

std::int64_t project_image_size(const ProjectFields& fields, const std::string& projfiledir,
                                std::span<const int> skip) {
    std::int64_t size = 0;
    const ProjectFile base = resolve_project_file(projfiledir, fields.dsdfilename);
    std::error_code ec;
    if (!fields.dsdfilename.empty() && !base.outside &&
        std::filesystem::is_regular_file(native_path(base.path), ec)) {
        const std::uintmax_t length = std::filesystem::file_size(native_path(base.path), ec);
        size = ec ? 0 : static_cast<std::int64_t>(length);
    }
    auto sound = std::make_unique<DecodedSound>(); // 8 MiB: not on the stack
    for (int index = 0; index < 12; ++index) {
        size += 1; // the end marker, also of an empty part
        const std::string& name = project_field(fields, index);
        if (std::ranges::find(skip, index) != skip.end() || is_empty_part(name)) {
            continue;
        }
        const ProjectFile file = resolve_project_file(projfiledir, name);
        if (!file.outside && decode_sound(file.path, false, *sound) == kDecodeOk &&
            sound->declared_samples) {
            size +=
                static_cast<std::int64_t>(std::max(0.0, std::nearbyint(*sound->declared_samples)));
        }
    }
    return size;
}

} // namespace melo

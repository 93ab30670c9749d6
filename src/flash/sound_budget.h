#pragma once

#include "project/project_file.h"

#include <cstdint>
#include <span>
#include <string>

namespace melo {

// The samples the flash still takes behind `used` bytes of image: what the size line calls
// free (4,194,304 − used), 0 when the image is full or too big.
std::int64_t free_samples(std::int64_t used);

// True when parts of `samples` samples more (unknown below 0) fit where `free` samples are
// free: the image stays below the capacity, as the run's size check wants.
bool fits_free_flash(std::int64_t samples, std::int64_t free);

// "noch 318,4 s frei bei 13021 Hz" (with `decimal_separator`): the play time that
// `free_samples(used)` holds at the module's rate, rounded down to tenths.
std::string sound_budget_text(std::int64_t used, char decimal_separator);

// The image size the project in `projfiledir` will have (check_project's): the base file's
// length and a header check of each part (its declared samples and its end marker); a part
// whose file is missing or no WAV counts with its marker only. The fields in `skip` (0 to 11
// in file order) count as empty: their parts are about to be replaced.
std::int64_t project_image_size(const ProjectFields& fields, const std::string& projfiledir,
                                std::span<const int> skip = {});

} // namespace melo

#include "flash/sound_budget.h"

#include "common/module_constants.h"
#include "common/number_format.h"
#include "flash/field_check.h"
#include "flash/generation_run.h"

#include <algorithm>
#include <cmath>

namespace melo {

std::int64_t free_samples(std::int64_t used) {
    return std::max<std::int64_t>(0, kFlashCapacity - used);
}

bool fits_free_flash(std::int64_t samples, std::int64_t free) {
    return samples < 0 || !too_big_for_flash(kFlashCapacity - free + samples);
}

std::string sound_budget_text(std::int64_t used, char decimal_separator) {
    // Tenths rounded down: the budget never promises more than there is.
    const double tenths = std::floor(static_cast<double>(free_samples(used)) * 10.0 / kTargetFreq);
    return "noch " + format_one_decimal(tenths / 10.0, decimal_separator) + " s frei bei " +
           std::to_string(kTargetFreq) + " Hz";
}

std::int64_t project_image_size(const ProjectFields& fields, const std::string& projfiledir,
                                std::span<const int> skip) {
    return check_project(fields, projfiledir, '.', skip).image_size;
}

} // namespace melo

#include "tools/flash_budget.h"

#include "common/module_constants.h"
#include "common/number_format.h"
#include "flash/sound_budget.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "gui/status_line.h"

#include <QLabel>

namespace {

QString budget_text(std::int64_t freeSamples) {
    return q(melo::sound_budget_text(melo::kFlashCapacity - freeSamples, decimal_separator()));
}

QString result_text(const QString& result, std::int64_t samples) {
    return result.arg(q(melo::play_time_text(static_cast<double>(samples) / melo::kTargetFreq)));
}

} // namespace

void show_flash_budget(QLabel* label, const QString& result, std::int64_t samples,
                       std::int64_t freeSamples) {
    if (melo::fits_free_flash(samples, freeSamples)) {
        show_status(label, "Flash: " + budget_text(freeSamples), false);
    } else {
        show_status(label,
                    result_text(result, samples) +
                        " nicht in den freien Flash: " + budget_text(freeSamples) + ".",
                    true);
    }
    label->setVisible(true);
}

bool confirm_flash_budget(Prompts& prompts, const QString& result, std::int64_t samples,
                          std::int64_t freeSamples, const QString& action) {
    return melo::fits_free_flash(samples, freeSamples) ||
           prompts.askYesNo("Zu lang für den Flash",
                            result_text(result, samples) + " nicht in den freien Flash (" +
                                budget_text(freeSamples) + ").\nTrotzdem " + action + "?") ==
               Prompts::Answer::Yes;
}

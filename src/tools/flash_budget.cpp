#include "tools/flash_budget.h"

#include "common/module_constants.h"
#include "common/number_format.h"
#include "flash/sound_budget.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"

#include <QLabel>

namespace {

QString budget_text(std::int64_t freeSamples) {
    return q(melo::sound_budget_text(melo::kFlashCapacity - freeSamples, decimal_separator()));
}

QString result_text(const QString& result, std::int64_t samples) {
    return result.arg(q(melo::play_time_text(static_cast<double>(samples) / melo::kTargetFreq)));
}

} // namespace

bool fits_flash(std::int64_t samples, std::int64_t freeSamples) {
    return samples < 0 || samples < freeSamples;
}

void show_flash_budget(QLabel* label, const QString& result, std::int64_t samples,
                       std::int64_t freeSamples) {
    if (fits_flash(samples, freeSamples)) {
        label->setText("Flash: " + budget_text(freeSamples));
        label->setStyleSheet("");
    } else {
        label->setText(result_text(result, samples) +
                       " nicht in den freien Flash: " + budget_text(freeSamples) + ".");
        label->setStyleSheet("color: rgb(255, 0, 0);");
    }
    label->setVisible(true);
}

bool confirm_flash_budget(Prompts& prompts, const QString& result, std::int64_t samples,
                          std::int64_t freeSamples, const QString& action) {
    return fits_flash(samples, freeSamples) ||
           prompts.askYesNo("Zu lang für den Flash",
                            result_text(result, samples) + " nicht in den freien Flash (" +
                                budget_text(freeSamples) + ").\nTrotzdem " + action + "?") ==
               Prompts::Answer::Yes;
}

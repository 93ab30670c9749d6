#pragma once

#include <QString>
#include <cstdint>

class Prompts;
class QLabel;

// What the windows that make parts (the conversion, the loop workshop) tell about the free
// flash. `result` is the sentence's subject with its verb ("Das Ergebnis (%1) passt", "Die
// drei Teile (%1) passen"), %1 becoming the result's play time; `samples` is the result's
// length (-1 when unknown) and `freeSamples` what the flash still takes for it.

// "Flash: noch … frei …", or in red what does not fit.
void show_flash_budget(QLabel* label, const QString& result, std::int64_t samples,
                       std::int64_t freeSamples);

// True when the result fits, or when the user wants it anyway (`action`: "umwandeln").
bool confirm_flash_budget(Prompts& prompts, const QString& result, std::int64_t samples,
                          std::int64_t freeSamples, const QString& action);

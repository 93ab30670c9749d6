#pragma once

#include <QString>
#include <cstdint>

class Prompts;
class QLineEdit;
namespace melo {
struct ProjectFields;
struct SourceInfo;
} // namespace melo

// Assigning a chosen or dropped file to one of the project's file fields (a part or the base
// file), the same way wherever the file comes from.

// True, after telling the user under `title`, for a chosen or dropped name that holds a line
// break and so cannot go into the project.
bool refusedName(Prompts& prompts, const QString& name, const QString& title);

// Puts the file at `path` into `field` by its bare name, as the project stores it: a name with
// a line break is refused (reported under `errorTitle`); a file from outside the project folder
// is offered for copying in (asking first before it replaces a different file of that name,
// saying which of the project's `fields` use that file). Returns true when the field got the
// name, false when nothing changed.
bool assignFile(Prompts& prompts, const QString& projfiledir, const melo::ProjectFields& fields,
                const QString& path, QLineEdit* field, const QString& errorTitle);

// Opens the conversion window for the audio file at `path` (described by `info`), telling it
// the samples the flash still takes for the part; the file it writes into the project folder
// is assigned to `field`. Before it replaces a file it says which of the project's `fields`
// use it.
void openConversion(Prompts& prompts, const QString& projfiledir, const melo::ProjectFields& fields,
                    const QString& path, const melo::SourceInfo& info, std::int64_t freeSamples,
                    QLineEdit* field);

// For a file that the sound preparation reads but the module would not play as it is (one the
// WAV decoder refuses, such as an MP3 named ".wav" or a 24-bit WAV, or a WAV at another rate):
// what it is, and that "Umwandeln und zuweisen…" converts it. "" for any other file.
QString conversionHint(const QString& path);

// The chooser's offer for such a file: tells what it is and why, and asks whether to convert
// it; on "Ja" opens the conversion window for `field`.
enum class ConversionOffer {
    NotNeeded,  // no such file: nothing was asked
    Declined,   // "Nein": the user knows and wants the file as it is
    Converting, // the conversion window is open and will assign its output
};
ConversionOffer offerConversion(Prompts& prompts, const QString& projfiledir,
                                const melo::ProjectFields& fields, const QString& path,
                                std::int64_t freeSamples, QLineEdit* field);

// For a chosen file the module cannot use at all (a text file named ".wav"): tells why under
// `title` and asks "Trotzdem zuweisen?". True for any other file, or on "Ja".
bool acceptUnusable(Prompts& prompts, const QString& path, const QString& title);

#pragma once

#include "project/project_file.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// What a project's fields will meet in a run, found before the run: each part's header check
// (the one the run makes), its rate, and its place in the flash behind the parts before it.
// Header-only, so the window can ask at every edit.

namespace melo {

enum class FieldIssue {
    None,      // fine, or a part field that names no file
    NoBase,    // the base field names no file; the run needs one
    Missing,   // no file of that name in the project folder
    Unusable,  // named but not usable: unreadable, out of the folder, or refused by the check
    OtherRate, // a WAV at another rate than the module's: played at the wrong speed
    TooLong,   // does not fit into the flash behind the base file and the parts before it
};

struct FieldCheck {
    FieldIssue issue = FieldIssue::None;
    // German, for the field's tool tip and the result line's: what is wrong and what the run
    // will do; "" for FieldIssue::None.
    std::string reason;
    // An error fails the run; the other issues are warnings (the run still writes the image).
    bool error() const {
        return issue == FieldIssue::NoBase || issue == FieldIssue::Missing ||
               issue == FieldIssue::Unusable;
    }
};

// Index of the base file's field in ProjectCheck::fields; 0 to 11 are the parts in file
// order (sound A start, loop, end, sound B start ...).
inline constexpr int kBaseField = 12;

struct ProjectCheck {
    std::array<FieldCheck, kProjectKeyCount> fields;
    // The image size the run will reach: the base file's length, each usable part's declared
    // samples and every part's marker byte.
    std::int64_t image_size = 0;
};

// The header check of the WAV file at `path` (shown as its bare name), as a part: None,
// Missing, Unusable or OtherRate. For a file chosen or dropped before it is assigned.
FieldCheck check_part_file(const std::string& path);

// Checks the thirteen fields of a project in `projfiledir` as the run will find them; the
// reasons' numbers carry `decimal_separator`. The part fields in `skip` (0 to 11) count as
// empty: their parts are about to be replaced. Never fails: what cannot be read is an issue.
ProjectCheck check_project(const ProjectFields& fields, const std::string& projfiledir,
                           char decimal_separator, std::span<const int> skip = {});

} // namespace melo

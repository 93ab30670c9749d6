#pragma once

#include <QString>

class Prompts;

// The choose-time step for a file chosen or dropped from outside the project folder, whose
// projects store only bare names and look for them in the project folder. It asks whether to
// copy the file in (Ja: copy, asking first when the folder holds a different file of that
// name; Nein: the bare name is stored as it always was). A file in the project folder, or one
// whose namesake there is identical, needs no question. Returns true when the file's bare
// name is to be assigned, false when nothing is to change (a replacement refused, a failed
// copy, which it reports).
bool takeIntoProject(Prompts& prompts, const QString& projfiledir, const QString& path);

// True when `name` may go into a project value: CR and LF never do.
bool fitsProjectValue(const QString& name);

// True, after telling the user under `title`, for a chosen or dropped name that holds a line
// break and so cannot go into the project.
bool refusedName(Prompts& prompts, const QString& name, const QString& title);

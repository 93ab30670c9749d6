#pragma once

#include <QString>

class Prompts;
class QLineEdit;

// Assigning a chosen or dropped file to one of the project's file fields (a part or the base
// file), the same way wherever the file comes from.

// True, after telling the user under `title`, for a chosen or dropped name that holds a line
// break and so cannot go into the project.
bool refusedName(Prompts& prompts, const QString& name, const QString& title);

// Puts the file at `path` into `field` by its bare name, as the project stores it: a name with
// a line break is refused (reported under `errorTitle`); a file from outside the project folder
// is offered for copying in (asking first before it replaces a different file of that name).
// Returns true when the field got the name, false when nothing changed.
bool assignFile(Prompts& prompts, const QString& projfiledir, const QString& path, QLineEdit* field,
                const QString& errorTitle);

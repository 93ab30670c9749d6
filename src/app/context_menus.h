#pragma once

#include <QMenu>
#include <QWidget>
#include <functional>

// Extra entries in the context menu of a control of the main window. A text field keeps its
// standard entries (undo, copy, paste ...) and gets the extra ones below them; any other
// control gets a menu of the extra entries only. Several features can add entries to the
// same control; each callback adds its own actions when the menu opens.
void add_context_entries(QWidget* widget, std::function<void(QMenu& menu)> addEntries);

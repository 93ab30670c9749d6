#pragma once

class Form1;
struct Form1Controls;

// The main window's keyboard: Ctrl+O chooses a project, Ctrl+S saves it, F5 runs
// "DSU-File erzeugen", Ctrl+Q ends as "Ende" does (save prompt included), F1 opens the about
// box. Each key does what its control's click does, so a locked command stays locked. Tab
// moves through the controls in reading order, beginning at the top left: the project frame,
// "Ende", then the frame of sound files row by row (the row's title, whose menu Enter opens,
// then its parts), then (in the debug mode) the inspection panel; the fields that only show
// results come after all controls.
void install_keyboard(Form1& form, const Form1Controls& c);

// Shift+F10 and the menu key open the context menu of the control that has the focus, in
// every window of the program. Installed once for the application.
void install_context_menu_keys();

#pragma once

class Form1;

// The main window's ways into the waveform window, all by context menu: "Wellenform
// anzeigen…" on each sound row's title and on its three part fields, and "DSU-Image
// ansehen…" on the project name field.
void install_waveform_entries(Form1& form);

// The main window's ways into the loop workshop: "Aus einer Aufnahme schneiden…" on each
// sound row's title, and an audio file dropped there.
void install_loop_workshop_entries(Form1& form);

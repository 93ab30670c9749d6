#pragma once

class Form1;

// The main window's ways into the waveform window, all by context menu: "Wellenform
// anzeigen…" on each sound row's title and on its three part fields, and "DSU-Image
// ansehen…" on the project name field.
void install_waveform_entries(Form1& form);

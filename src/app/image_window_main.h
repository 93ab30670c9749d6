#pragma once

#include <QString>

// "melo-sound-manager --image FILE.DSU": the waveform window of an image on its own, with a
// sound output of its own, until it is closed. Returns the exit status: 0, or 1 (after a
// message) when the file cannot be read.
int run_image_window(const QString& path);

#pragma once

class QWidget;

// Shows `window` (a window of its own, such as the waveform or the loop workshop) centred over
// `owner`, the window it belongs to, kept inside the screen that shows the owner; then raises
// and activates it. A window that is open already only comes to the front.
void show_over(QWidget* window, const QWidget* owner);

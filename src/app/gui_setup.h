#pragma once

class QApplication;

// The program's look: Fusion style and a plain sans-serif face at the design's 8 point size,
// the same under X11, Wayland and the offscreen test platform.
void setup_application_look(QApplication& app);

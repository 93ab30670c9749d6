#pragma once

#include <QString>

class Prompts;
class AudioSystem;

// Where the application lives and how it talks to the outside world. The real program
// fills it from the executable's location; tests point it at temporary directories and
// hand in test doubles for dialogs and audio.
struct AppEnvironment {
    QString appDir;       // directory of the executable, without a trailing separator
    QString settingsPath; // full path of the settings file
    Prompts* prompts = nullptr;
    AudioSystem* audio = nullptr;
    // Until start-up reads the settings file, the two modes are given directly.
    bool debugMode = false;
    bool listenMode = false;
};

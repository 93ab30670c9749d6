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
};

// The environment of the running executable. The settings file is the executable's
// directory, "/", its base name and ".INI"; where that directory cannot be written and the
// file does not exist there, the per-user configuration directory holds it instead.
AppEnvironment executable_environment();

// The same for an executable named `baseName` in `appDir`.
AppEnvironment environment_for(const QString& appDir, const QString& baseName);

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
    QString startDir;     // the folders' default before a project is stored; "" for appDir
    Prompts* prompts = nullptr;
    AudioSystem* audio = nullptr;
};

// The environment of an executable named `baseName` in `appDir`. The settings file is the
// directory, "/", the base name and ".INI"; where that directory cannot be written, or is the
// bin directory of an installed tree, and the file does not exist there, the per-user
// configuration directory holds it instead (created when missing). The folders then start in
// the user's documents folder, or the home folder where there is none, not in the program's.
AppEnvironment environment_at(const QString& appDir, const QString& baseName);

// The environment of the running executable (environment_at its directory and base name).
AppEnvironment executable_environment();

// The full path of a result sound ("ok.wav", "warn.wav", "nok.wav"): beside the executable,
// else in the data directory relative to it (bin/../share/melo-sound-manager, wherever the
// tree was installed), else in the configured installation prefix's data directory. When no
// directory holds it, the path beside the executable.
QString result_sound_path(const QString& appDir, const QString& name);

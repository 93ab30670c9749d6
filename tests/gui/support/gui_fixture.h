#pragma once

#include <memory>
#include <string>

#include "app/form1.h"
#include <QDir>
#include "fake_audio.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "wav_builder.h"

// A temporary application directory with its settings file, a scripted dialog double and
// the main window started on them.
struct GuiFixture {
    TempDir dir;
    ScriptedPrompts prompts;
    FakeAudio audio;
    AppEnvironment env;

    GuiFixture() {
        env.appDir = QString::fromStdString(dir.root());
        env.settingsPath = QString::fromStdString(dir.path("melo-sound-manager.INI"));
        env.prompts = &prompts;
        env.audio = &audio;
    }

    // Writes the settings file, "\n" becoming CR LF.
    void settings(const std::string& text) const {
        std::string crlf;
        for (char c : text) {
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        wavb::write_file(dir.path("melo-sound-manager.INI"), crlf);
    }

    std::string settingsFile() const {
        std::string text;
        std::ifstream in(dir.path("melo-sound-manager.INI"), std::ios::binary);
        std::getline(in, text, '\0');
        return text;
    }

    // `name` in the application directory, with the separators the program shows ("\" on Windows).
    QString path(const std::string& name) const {
        return QDir::toNativeSeparators(QString::fromStdString(dir.path(name)));
    }

    // A started and shown window; nullptr when start-up failed.
    std::unique_ptr<Form1> start() {
        auto form = std::make_unique<Form1>(env);
        failure = form->startUp();
        if (failure) {
            return nullptr;
        }
        form->show();
        return form;
    }

    std::optional<StartupFailure> failure;
};

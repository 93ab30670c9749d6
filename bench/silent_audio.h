#pragma once

// A sound output that plays nothing, so the window benchmarks measure the window.

#include "tools/audio_system.h"

class SilentAudio : public AudioSystem, public FilePlayer {
public:
    bool open(long&, QString&) override { return true; }
    std::unique_ptr<PlayBuffer> createBuffer(const QString&) override { return nullptr; }
    std::unique_ptr<PlayBuffer> createBuffer(melo::PcmSound) override { return nullptr; }
    std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>&) override {
        return nullptr;
    }
    FilePlayer& filePlayer() override { return *this; }
    void close() override {}
    void setFile(const QString&) override {}
    void play() override {}
    void stop() override {}
};

#pragma once

#include <QAudioDevice>

#include "tools/audio_system.h"

// The sound output through Qt Multimedia (PulseAudio on Linux).
class QtAudioSystem : public AudioSystem {
public:
    QtAudioSystem();
    ~QtAudioSystem() override;

    bool open(long& errorNumber, QString& errorText) override;
    std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) override;
    FilePlayer& filePlayer() override;
    void close() override;

private:
    class Player;
    QAudioDevice m_device;
    std::unique_ptr<Player> m_player;
};

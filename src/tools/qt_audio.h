#pragma once

#include "tools/audio_system.h"

// The sound output through Qt Multimedia (PulseAudio on Linux). A stream is a QIODevice that
// the output pulls from: it hands over the parts back to back in one format, so the joins
// are sample-exact, and keeps the output's buffer short, so a press is heard at once.
class QtAudioSystem : public AudioSystem {
public:
    QtAudioSystem();
    ~QtAudioSystem() override;

    bool open(long& errorNumber, QString& errorText) override;
    std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) override;
    std::unique_ptr<PlayBuffer> createBuffer(melo::PcmSound sound) override;
    std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts,
                                            NextPart next) override;
    FilePlayer& filePlayer() override;
    void close() override;

private:
    class Player;
    std::unique_ptr<Player> m_player;
};

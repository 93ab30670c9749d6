#pragma once

#include "tools/audio_system.h"

// The sound output through Qt Multimedia (PulseAudio on Linux, WASAPI on Windows). Every
// stream plays on an audio thread of its own, which the first stream starts and close() ends:
// it opens an output per stream, keeps the output's short buffer filled from the stream's
// parts and tells what has been heard. The window's thread hands a stream over through a
// lock-free queue and only ever passes words to it, so a busy window never runs the sound dry.
class QtAudioSystem : public AudioSystem {
public:
    QtAudioSystem();
    // Ends the audio thread: no thread outlives the sound output.
    ~QtAudioSystem() override;

    bool open(long& errorNumber, QString& errorText) override;
    std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) override;
    std::unique_ptr<PlayBuffer> createBuffer(melo::PcmSound sound) override;
    std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts) override;
    FilePlayer& filePlayer() override;
    void close() override;

    // True while the audio thread runs.
    bool audioThreadRunning() const;

private:
    class AudioThread;
    class Player;
    std::unique_ptr<AudioThread> m_thread;
    std::unique_ptr<Player> m_player;
};

#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

// A sound held in memory, played once at a time.
class PlayBuffer {
public:
    virtual ~PlayBuffer() = default;
    // Plays the sound once from its start.
    virtual void play() = 0;
    // The play position in bytes: away from 0 while it plays, 0 before and after.
    virtual qint64 playCursor() = 0;
    virtual bool isPlaying() = 0;
    virtual void stop() = 0;
};

// Plays whole WAV files: the inspection panel's Play and Stop buttons and the result sounds.
class FilePlayer {
public:
    virtual ~FilePlayer() = default;
    virtual void setFile(const QString& path) = 0;
    // Starts the file set last and returns at once; a missing or unplayable file plays nothing.
    virtual void play() = 0;
    virtual void stop() = 0;
};

// The sound output. The listen mode opens it once at start-up and closes it at shut-down.
class AudioSystem {
public:
    virtual ~AudioSystem() = default;
    // Sets up the output for the listen playback; false, with a number and a description for
    // the start-up message, when there is no sound device.
    virtual bool open(long& errorNumber, QString& errorText) = 0;
    // A buffer holding a WAV file in its own format; nullptr for a missing or unreadable file.
    virtual std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) = 0;
    virtual FilePlayer& filePlayer() = 0;
    // Releases what open() set up.
    virtual void close() = 0;
};

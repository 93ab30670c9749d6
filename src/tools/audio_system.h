#pragma once

#include "playback/part_sequence.h"
#include "wav/pcm_file.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <memory>

// A sound held in memory, ready to be played in an output stream.
class PlayBuffer {
public:
    virtual ~PlayBuffer() = default;
};

// What an output stream plays at a moment.
using HeardPosition = melo::HeardPosition;

// One playback of up to three parts in an output of its own: the start part once, the loop
// part at least once and again after each pass until release(), then the end part, every
// join sample-exact. The sound is made on an audio thread; these calls only pass a word to
// it or read what it last told, so none of them waits and none can hold up the sound.
// Destroying the stream silences it.
class PlayStream {
public:
    virtual ~PlayStream() = default;
    // What is heard now; Ended once the last part has been heard, or the output has stopped.
    virtual HeardPosition heard() = 0;
    // The loop part ends with the pass being handed to the output.
    virtual void release() = 0;
    // Silences the output at once.
    virtual void stop() = 0;
    // Loop passes begun so far.
    virtual int loopPasses() const = 0;
    // True when the output could not be opened or broke off (the device went away).
    virtual bool failed() const = 0;
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
    // Checks that there is a sound output for the listen playback; false, with a number and a
    // description for the start-up message, when there is no sound device. Each stream opens
    // the output that is the default when it starts.
    virtual bool open(long& errorNumber, QString& errorText) = 0;
    // A buffer holding a WAV file in its own format; nullptr for a missing or unreadable file.
    virtual std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) = 0;
    // A buffer holding samples already in memory; nullptr when they cannot be played.
    virtual std::unique_ptr<PlayBuffer> createBuffer(melo::PcmSound sound) = 0;
    // Starts one playback of `parts` (the start, loop and end part; nullptr where a part is
    // missing), held until its release(). Parts of another format than the first one present
    // play converted to it; the stream keeps what it needs of the buffers. nullptr when there
    // is nothing to play or no sound output.
    virtual std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts) = 0;
    virtual FilePlayer& filePlayer() = 0;
    // Ends the sound output at shut-down: every stream falls silent and the audio thread ends.
    virtual void close() = 0;
};

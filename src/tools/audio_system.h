#pragma once

#include "wav/pcm_file.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>
#include <memory>

// A sound held in memory, ready to be played in an output stream.
class PlayBuffer {
public:
    virtual ~PlayBuffer() = default;
};

// What an output stream plays at a moment.
struct HeardPosition {
    enum State { Waiting, Playing, Ended };
    State state = Waiting; // Waiting: nothing heard yet; Ended: the last part has been heard
    int part = 0;          // while Playing: the part heard (1 to 3)
    qint64 cursor = 0;     // its play position in bytes
    qint64 length = 0;     // its length in bytes
};

// One continuous output: the parts it is handed play one after the other, every join
// sample-exact. Stopping it or letting it go silences it at once.
class PlayStream {
public:
    virtual ~PlayStream() = default;
    virtual HeardPosition heard() = 0;
    virtual void stop() = 0;
};

// Told by a stream that it has taken the whole of a part (or is about to begin): answers the
// part to play next (1 to 3), or 0 when nothing follows.
using NextPart = std::function<int()>;

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
    // Starts one output stream over `parts` (entries for the parts 1 to 3, nullptr where a
    // part is missing; they must outlive the stream). It asks `next` for its first part at
    // once and for each following one when it has taken the whole of the part before, on
    // this thread; parts of another format than the first one it plays are converted to that
    // format. nullptr when no output can be opened.
    virtual std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts,
                                                    NextPart next) = 0;
    virtual FilePlayer& filePlayer() = 0;
    // Ends the sound output at shut-down: stops the file player (streams end with their owners).
    virtual void close() = 0;
};

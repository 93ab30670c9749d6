#pragma once

#include "tools/audio_system.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <variant>

class QWidget;

// What a press plays of one part: a WAV file, samples in memory, or nothing (a missing part).
using ListenSource = std::variant<std::monostate, QString, melo::PcmSound>;

// Shows why a listen press was not heard (ListenPlayback::problem) beside `near`, for a few
// seconds: nothing of the window moves, and no dialog stands in the way of the next press.
void show_listen_problem(QWidget* near, const QString& problem);

// Listening to a sound row while its button is held: the start part once, the loop part at
// least once and again after each pass while the button is held, then the end part once.
// Parts that are missing or cannot be loaded are left out. A press loads the parts and hands
// them to the sound output, whose audio thread plays them in one stream, every join
// sample-exact, whatever the window's thread is busy with; a release reaches the stream at
// once and takes effect at the end of the loop pass being handed to the output, a little
// ahead of the pass being heard. poll() reads what is heard, from a timer of its own.
class ListenPlayback : public QObject {
public:
    enum Part { kStart = 1, kLoop = 2, kEnd = 3 };

    // `partPath` gives the file of a part of a row ("" for none); `showCursor` receives each
    // play position read while a part plays, and 0 at the end.
    ListenPlayback(AudioSystem& audio, std::function<QString(int row, int part)> partPath,
                   std::function<void(qint64)> showCursor);

    // A press on a row's listen button; ignored while a playback runs.
    void press(int row);
    // A press that plays the given sources for the parts 1 to 3; ignored while a playback
    // runs. `owner` says who pressed (position() is theirs while it plays).
    void press(std::array<ListenSource, 3> parts, const void* owner);
    // The release of the button: the loop part ends with its current pass.
    void release();
    // One step: reads what is heard, shows it, and notes the end of the playback.
    void poll();

    // True when no playback runs (listenready).
    bool ready() const { return m_listenready; }
    bool loaded(Part part) const { return m_loaded[part - 1]; }
    // The part heard now, 0 when none.
    int playingPart() const { return m_listenready ? 0 : m_position.part; }
    // What was heard at the last poll, and who pressed for it (nullptr: a listen button).
    const HeardPosition& position() const { return m_position; }
    const void* owner() const { return m_owner; }
    // Loop passes the playback has begun so far.
    int loopPasses() const { return m_passes; }
    // Why the last press was not heard, or not to its end, in German: no sound output, or
    // the output went away while it played; "" when nothing went wrong.
    const QString& problem() const { return m_problem; }

    // Shut-down: no step touches a buffer again, and the output stops.
    void stopAll();
    // Shut-down, after the wait: the stream and the buffers are released.
    void releaseBuffers();

private:
    void loadlistensound(std::array<ListenSource, 3>& parts);

    AudioSystem& m_audio;
    std::function<QString(int, int)> m_partPath;
    std::function<void(qint64)> m_showCursor;
    QTimer m_pollTimer;

    std::array<std::unique_ptr<PlayBuffer>, 3> m_dsbuf;
    std::array<bool, 3> m_loaded{};
    std::unique_ptr<PlayStream> m_stream;
    bool m_listenready = true;
    bool m_stopplay = false;
    int m_passes = 0;
    HeardPosition m_position;
    const void* m_owner = nullptr;
    QString m_problem;
};

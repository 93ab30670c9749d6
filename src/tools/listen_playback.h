#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "tools/audio_system.h"

// Listening to a sound row while its button is held: the start part once, the loop part at
// least once and again after each pass while the button is held, then the end part once.
// Parts that are missing or cannot be loaded are left out. It is driven by poll(), which the
// window calls from a timer, so the window stays responsive and nothing waits in a loop.
class ListenPlayback {
public:
    enum Part { kStart = 1, kLoop = 2, kEnd = 3 };

    // `partPath` gives the file of a part of a row; `showCursor` receives each play position
    // read while a part plays.
    ListenPlayback(AudioSystem& audio, std::function<QString(int row, int part)> partPath,
                   std::function<void(qint64)> showCursor);

    // A press on a row's listen button; ignored while a playback runs.
    void press(int row);
    // The release of the button: the loop part ends with its current pass.
    void release() { m_listenheld = false; }
    // One step: reads the playing part's cursor and moves on when the part has ended.
    void poll();

    // True when no playback runs (listenready).
    bool ready() const { return m_listenready; }
    bool loaded(Part part) const { return m_loaded[part - 1]; }
    // The part playing now, 0 when none.
    int playingPart() const { return m_listenready ? 0 : m_part; }

    // Shut-down: no step touches a buffer again, and the loaded parts stop.
    void stopAll();
    // Shut-down, after the wait: the buffers are released.
    void releaseBuffers();

private:
    void loadlistensound(int row);
    void startPart(Part part);
    void afterPart();
    void loopOrEnd();
    void endPart();
    PlayBuffer* buffer(Part part) { return m_loaded[part - 1] ? m_dsbuf[part - 1].get() : nullptr; }

    AudioSystem& m_audio;
    std::function<QString(int, int)> m_partPath;
    std::function<void(qint64)> m_showCursor;

    std::array<std::unique_ptr<PlayBuffer>, 3> m_dsbuf;
    std::array<bool, 3> m_loaded{};
    bool m_listenready = true;
    bool m_listenheld = false;
    bool m_stopplay = false;
    bool m_first = false;
    Part m_part = kStart;
    bool m_started = false; // the playing part's cursor has been seen away from 0
};

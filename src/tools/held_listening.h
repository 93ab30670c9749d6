#pragma once

#include "tools/listen_playback.h"

#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>

// Listening while the space bar is held, for a window that shows a sound: a press plays the
// window's start, loop and end part through the listen player, the loop repeating until the
// release, and the heard position is handed on at the display's pace so a play line can run
// along. Key repeats, whether marked by Qt or sent as release/press pairs, keep it looping;
// leaving the window counts as a release.
class HeldListening : public QObject {
public:
    // How long a space bar release waits for a press that makes it a key repeat.
    static constexpr int kRepeatGap = 90; // milliseconds

    using Sources = std::function<std::array<ListenSource, 3>()>;
    // Receives what is heard while the window's playback runs; nullptr once it has ended.
    using Heard = std::function<void(const HeardPosition* heard)>;

    HeldListening(ListenPlayback& player, QObject* owner, Sources sources, Heard heard);
    // A row still held plays out its loop pass and its end part.
    ~HeldListening() override;

    // What the space bar does: a press starts the parts, the release ends their loop.
    void press();
    void release();
    bool holding() const { return m_holding; }
    // The window's space bar events; true when the event was one.
    bool keyPress(QKeyEvent* event);
    bool keyRelease(QKeyEvent* event);

protected:
    // A window left while the space bar is held never sees its release.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();

    QPointer<ListenPlayback> m_player;
    QObject* m_owner;
    Sources m_sources;
    Heard m_heard;
    bool m_holding = false;
    QTimer m_follow;
    QTimer m_spaceUp; // runs from a space bar release until it counts
};

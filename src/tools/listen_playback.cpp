#include "tools/listen_playback.h"

#include <QToolTip>
#include <QWidget>

namespace {
const char* const kNoOutput = "Keine Tonausgabe: Kein Audio-Ausgabegerät gefunden";
const char* const kOutputLost =
    "Die Tonausgabe ist abgebrochen: Das Audio-Ausgabegerät ist nicht mehr verfügbar";
} // namespace

void show_listen_problem(QWidget* near, const QString& problem) {
    if (near != nullptr && !problem.isEmpty()) {
        QToolTip::showText(near->mapToGlobal(near->rect().center()), problem, near);
    }
}

ListenPlayback::ListenPlayback(AudioSystem& audio, std::function<QString(int, int)> partPath,
                               std::function<void(qint64)> showCursor)
    : m_audio(audio), m_partPath(std::move(partPath)), m_showCursor(std::move(showCursor)) {
    // The play position is shown as often as the event loop allows; the sound itself does
    // not depend on it.
    m_pollTimer.setInterval(5);
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &ListenPlayback::poll);
}

void ListenPlayback::loadlistensound(std::array<ListenSource, 3>& parts) {
    for (int part = kStart; part <= kEnd; ++part) {
        // A new buffer replaces the old one; a source that cannot be loaded leaves the part out.
        ListenSource& source = parts[part - 1];
        std::unique_ptr<PlayBuffer>& buffer = m_dsbuf[part - 1];
        if (const QString* path = std::get_if<QString>(&source);
            path != nullptr && !path->isEmpty()) {
            buffer = m_audio.createBuffer(*path);
        } else if (melo::PcmSound* sound = std::get_if<melo::PcmSound>(&source)) {
            buffer = m_audio.createBuffer(std::move(*sound));
        } else {
            buffer.reset();
        }
        m_loaded[part - 1] = buffer != nullptr;
    }
}

void ListenPlayback::press(int row) {
    std::array<ListenSource, 3> parts;
    if (m_listenready && !m_stopplay) {
        for (int part = kStart; part <= kEnd; ++part) {
            parts[part - 1] = m_partPath(row, part);
        }
    }
    press(std::move(parts), nullptr);
}

void ListenPlayback::press(std::array<ListenSource, 3> parts, const void* owner) {
    if (!m_listenready || m_stopplay) {
        return;
    }
    m_listenready = false;
    m_passes = 0;
    m_position = HeardPosition{};
    m_owner = owner;
    m_problem.clear();
    m_stream.reset(); // the last playback's stream, silent by now
    loadlistensound(parts);
    if (loaded(kStart) || loaded(kLoop) || loaded(kEnd)) {
        m_stream = m_audio.startStream({m_dsbuf[0].get(), m_dsbuf[1].get(), m_dsbuf[2].get()});
        if (!m_stream) {
            m_problem = kNoOutput;
        }
    }
    if (!m_stream) {
        m_listenready = true; // nothing to play
        return;
    }
    m_pollTimer.start();
}

void ListenPlayback::release() {
    if (m_stream && !m_listenready) {
        m_stream->release();
    }
}

void ListenPlayback::poll() {
    if (m_listenready || m_stopplay || !m_stream) {
        m_pollTimer.stop();
        return;
    }
    const HeardPosition heard = m_stream->heard();
    m_passes = m_stream->loopPasses();
    if (heard.state == HeardPosition::Waiting) {
        return;
    }
    m_position = heard;
    if (heard.state == HeardPosition::Playing) {
        m_showCursor(heard.cursor);
        return;
    }
    if (m_stream->failed()) {
        m_problem = kOutputLost;
    }
    // The stream stays until the next press; it has closed its output by itself.
    m_listenready = true;
    m_pollTimer.stop();
    m_showCursor(0);
}

void ListenPlayback::stopAll() {
    m_stopplay = true;
    m_pollTimer.stop();
    if (m_stream) {
        m_stream->stop();
    }
}

void ListenPlayback::releaseBuffers() {
    m_stream.reset();
    for (auto& b : m_dsbuf) {
        b.reset();
    }
    m_loaded = {};
}

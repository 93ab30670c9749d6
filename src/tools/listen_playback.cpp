#include "tools/listen_playback.h"

ListenPlayback::ListenPlayback(AudioSystem& audio, std::function<QString(int, int)> partPath,
                               std::function<void(qint64)> showCursor)
    : m_audio(audio), m_partPath(std::move(partPath)), m_showCursor(std::move(showCursor)) {}

void ListenPlayback::loadlistensound(int row) {
    for (int part = kStart; part <= kEnd; ++part) {
        // A new buffer replaces the old one; a file that cannot be loaded leaves the part out.
        m_dsbuf[part - 1] = m_audio.createBuffer(m_partPath(row, part));
        m_loaded[part - 1] = m_dsbuf[part - 1] != nullptr;
    }
}

void ListenPlayback::press(int row) {
    if (!m_listenready || m_stopplay) {
        return;
    }
    m_listenready = false;
    m_listenheld = true;
    m_first = true;
    loadlistensound(row);
    if (loaded(kStart)) {
        startPart(kStart);
    } else {
        loopOrEnd();
    }
}

void ListenPlayback::startPart(Part part) {
    m_part = part;
    m_started = false;
    buffer(part)->play();
}

void ListenPlayback::poll() {
    if (m_listenready || m_stopplay) {
        return;
    }
    PlayBuffer* playing = buffer(m_part);
    const qint64 cursor = playing->playCursor();
    if (!m_started) {
        // Waiting for the part to start. A part so short that it ended before its cursor was
        // ever seen away from 0 is over when the buffer no longer plays.
        if (cursor != 0) {
            m_started = true;
            m_showCursor(cursor);
        } else if (!playing->isPlaying()) {
            afterPart();
        }
        return;
    }
    m_showCursor(cursor);
    if (cursor == 0 || !playing->isPlaying()) {
        afterPart();
    }
}

void ListenPlayback::afterPart() {
    switch (m_part) {
    case kStart:
    case kLoop:
        loopOrEnd();
        break;
    case kEnd:
        buffer(kEnd)->stop();
        m_listenready = true;
        break;
    }
}

void ListenPlayback::loopOrEnd() {
    // The loop part plays at least once, and again after every pass while the button is held.
    if ((m_first || m_listenheld) && loaded(kLoop)) {
        m_first = false;
        startPart(kLoop);
        return;
    }
    if (loaded(kLoop)) {
        buffer(kLoop)->stop();
    }
    endPart();
}

void ListenPlayback::endPart() {
    if (loaded(kEnd)) {
        startPart(kEnd);
    } else {
        m_listenready = true;
    }
}

void ListenPlayback::stopAll() {
    m_stopplay = true;
    for (int part = kStart; part <= kEnd; ++part) {
        if (m_loaded[part - 1]) {
            m_dsbuf[part - 1]->stop();
        }
    }
}

void ListenPlayback::releaseBuffers() {
    for (auto& b : m_dsbuf) {
        b.reset();
    }
    m_loaded = {};
}

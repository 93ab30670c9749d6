// Sound: the listen playback of a sound row, the result sounds, and the release of the
// sound objects at shut-down.

#include <QDir>
#include <QEventLoop>

#include "app/form1.h"
#include "tools/audio_system.h"
#include "tools/listen_playback.h"

void Form1::listenPress(int row) {
    // Without the listen mode there are no sound objects; Command3 then does nothing.
    if (!m_listenPlayback) {
        return;
    }
    m_listenPlayback->press(row);
    if (!m_listenPlayback->ready()) {
        m_listenTimer.start();
    }
}

void Form1::listenPoll() {
    if (!m_listenPlayback || m_listenPlayback->ready()) {
        m_listenTimer.stop();
        return;
    }
    m_listenPlayback->poll();
}

void Form1::playResultSound(const QString& name) {
    audio().filePlayer().setFile(result_sound_path(m_env.appDir, name));
    audio().filePlayer().play();
}

void Form1::freeme() {
    m_listenTimer.stop();
    if (m_listenPlayback) {
        m_listenPlayback->stopAll();
    }
    // About half a second in which pending events are handled, then the release in order:
    // the buffers, then the sound output.
    m_waitdone = false;
    m_timer2.setInterval(500);
    m_timer2.start();
    while (!m_waitdone) {
        QEventLoop loop;
        connect(&m_timer2, &QTimer::timeout, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_timer2.stop();
    if (m_listenPlayback) {
        m_listenPlayback->releaseBuffers();
    }
    audio().close();
}

std::optional<StartupFailure> Form1::openListenSound() {
    long number = 0;
    QString text;
    if (!audio().open(number, text)) {
        return StartupFailure{number, text};
    }
    m_listenPlayback = std::make_unique<ListenPlayback>(
        audio(),
        [this](int row, int part) {
            const QLineEdit* field = part == ListenPlayback::kStart  ? m_c.txt_useranf[row]
                                     : part == ListenPlayback::kLoop ? m_c.txt_userloop[row]
                                                                     : m_c.txt_userend[row];
            return m_projfiledir + QDir::separator() + field->text();
        },
        [this](qint64 cursor) { m_c.Text1->setText(QString::number(cursor)); });
    return std::nullopt;
}

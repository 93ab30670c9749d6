// Sound: the listen playback of a sound row, the result sounds, and the release of the
// sound objects at shut-down.

#include "app/form1.h"
#include "gui/qt_text.h"
#include "project/project_file.h"
#include "project/project_path.h"
#include "tools/audio_system.h"
#include "tools/listen_playback.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

void Form1::listenPress(int row) {
    // Without the listen mode there are no sound objects; Command3 then does nothing.
    if (m_listen == 0 || !m_listenPlayback) {
        return;
    }
    m_listenPlayback->press(row);
    m_listenRow = row;
    show_listen_problem(m_c.cmd_listen[static_cast<std::size_t>(row)], m_listenPlayback->problem());
}

void Form1::playResultSound(const QString& name) {
    audio().filePlayer().setFile(result_sound_path(m_env.appDir, name));
    audio().filePlayer().play();
}

void Form1::freeme() {
    if (m_listenPlayback) {
        m_listenPlayback->stopAll();
    }
    // The playback runs on events, never further down this call stack, and stopAll() has
    // silenced it: what is still queued for it runs now, and the release follows at once (no
    // half-second wait) in its order: the buffers, then the sound output.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (m_listenPlayback) {
        m_listenPlayback->releaseBuffers();
    }
    audio().close();
}

ListenPlayback& Form1::listenPlayer() {
    if (!m_listenPlayback) {
        // A part's file is found in the project folder as the generation run finds it; a
        // name leading out of the folder is left out like a missing file.
        m_listenPlayback = std::make_unique<ListenPlayback>(
            audio(),
            [this](int row, int part) {
                const std::string name = partField(row, part - 1)->text().toStdString();
                if (melo::is_empty_part(name)) {
                    return QString();
                }
                const melo::ProjectFile file =
                    melo::resolve_project_file(file_path(m_projfiledir), name);
                return file.outside ? QString() : q_path(file.path);
            },
            [this](qint64 cursor) {
                m_c.Text1->setText(QString::number(cursor));
                // A playback of the listen buttons that broke off says why where it was pressed.
                if (cursor == 0 && m_listenPlayback->owner() == nullptr) {
                    show_listen_problem(m_c.cmd_listen[static_cast<std::size_t>(m_listenRow)],
                                        m_listenPlayback->problem());
                }
            });
    }
    return *m_listenPlayback;
}

std::optional<StartupFailure> Form1::openListenSound() {
    long number = 0;
    QString text;
    if (!audio().open(number, text)) {
        return StartupFailure{number, text};
    }
    listenPlayer();
    return std::nullopt;
}

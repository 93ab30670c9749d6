#include "app/image_window_main.h"

#include "gui/prompts.h"
#include "tools/listen_playback.h"
#include "tools/qt_audio.h"
#include "tools/waveform_window.h"

#include <QApplication>
#include <memory>

int run_image_window(const QString& path) {
    QtAudioSystem audio;
    // An image has no WAV files and no listen buttons: the player only plays what the window
    // hands it.
    ListenPlayback player(
        audio, [](int, int) { return QString(); }, [](qint64) {});
    QString error;
    std::unique_ptr<WaveformWindow> window(WaveformWindow::forImage(player, path, error));
    if (!window) {
        QtPrompts().message("MELO Sound-Manager", error);
        return 1;
    }
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    const int status = QApplication::exec();
    window.reset();
    player.stopAll();
    player.releaseBuffers();
    audio.close();
    return status;
}

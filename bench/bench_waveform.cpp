// Times the waveform window on the offscreen platform for a sound row whose loop part holds
// one million samples: the open (model, window, first full paint) and one frame while the
// mouse wheel zooms in and out again.
//   bench_waveform [RUNS]

#include "app/gui_setup.h"
#include "silent_audio.h"
#include "temp_dir.h"
#include "tools/listen_playback.h"
#include "tools/waveform_view.h"
#include "tools/waveform_window.h"
#include "wav/wav_writer.h"
#include "wav_builder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// 16-bit mono at 13021 Hz: a tone with a slow swell, so every column has something to draw.
void write_part(const std::string& path, int samples) {
    std::string frames;
    frames.reserve(static_cast<std::size_t>(samples) * 2);
    for (int i = 0; i < samples; ++i) {
        const double v = std::sin(i * 0.07) * (0.3 + 0.6 * std::abs(std::sin(i * 1e-5)));
        melo::append_sample16(frames, static_cast<std::int16_t>(v * 32000));
    }
    wavb::write_file(path, melo::pcm_wav(13021, 1, 16, frames));
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-26s median %6.2f ms, 99th percentile %6.2f ms, max %6.2f ms (%zu)\n", what,
                ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setup_application_look(app);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 11;

    TempDir dir;
    write_part(dir.path("an.wav"), 13021);
    write_part(dir.path("lauf.wav"), 1000000);
    write_part(dir.path("aus.wav"), 13021);
    SilentAudio silent;
    ListenPlayback player(
        silent, [](int, int) { return QString(); }, [](qint64) {});

    std::vector<double> open;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<WaveformWindow> window(WaveformWindow::forProjectRow(
            player, QString::fromStdString(dir.root()), 0, {"an.wav", "lauf.wav", "aus.wav"}));
        window->resize(1280, 600);
        window->show();
        window->grab(); // the first full paint
        open.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    report("open (1 M samples)", open);

    std::unique_ptr<WaveformWindow> window(WaveformWindow::forProjectRow(
        player, QString::fromStdString(dir.root()), 0, {"an.wav", "lauf.wav", "aus.wav"}));
    window->resize(1280, 600);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        return 1;
    }
    WaveformView* view = window->view();
    std::vector<double> frames;
    std::vector<double> whole;
    for (int pass = 0; pass < runs; ++pass) {
        // From the whole row down to single samples and back, one wheel notch per frame.
        for (int step = 0; step < 120; ++step) {
            QElapsedTimer clock;
            clock.start();
            view->zoom(step < 60 ? 0.8 : 1.25, view->width() * 0.4);
            view->repaint();
            frames.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        QElapsedTimer clock;
        clock.start();
        view->repaint();
        whole.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    report("zoom frame", frames);
    report("frame, whole row in view", whole);
    return 0;
}

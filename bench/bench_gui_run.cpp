// Times the window's generation run from the click on "DSU-File erzeugen" to the result, on
// the offscreen platform, for the project "full.DSP" in the given directory.
//   bench_gui_run PROJECT_DIR [RUNS]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cstdio>

#include "app/form1.h"
#include "app/gui_setup.h"
#include "gui/prompts.h"
#include "silent_audio.h"

namespace {
// No dialogs and no sound: the benchmark measures the run.
class Silent : public Prompts, public SilentAudio {
public:
    OpenFileResult openFile(const OpenFileRequest&) override { return {}; }
    void message(const QString&, const QString&) override {}
    Answer askYesNoCancel(const QString&, const QString&) override { return Answer::No; }
};
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setup_application_look(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_gui_run PROJECT_DIR [RUNS]\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    const QString settings = dir + "/bench.INI";
    QFile file(settings);
    file.open(QIODevice::WriteOnly);
    file.write(("[DIRS]\r\nprojfiledir=" + dir + "\r\nprojname=full.DSP\r\n").toUtf8());
    file.close();

    Silent silent;
    AppEnvironment env;
    env.appDir = dir;
    env.settingsPath = settings;
    env.prompts = &silent;
    env.audio = &silent;
    Form1 form(env);
    if (form.startUp()) {
        return 1;
    }
    form.show();
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form.controls().cmd_konvertieren, Qt::LeftButton);
        times.append(clock.nsecsElapsed() / 1e6);
        if (!form.controls().txt_genstatus->text().startsWith("Ergebnis = OK")) {
            std::fprintf(stderr, "run failed: %s\n", qPrintable(form.controls().txt_genstatus->text()));
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("%-10s median %8.2f ms (click to result, offscreen, %d runs)\n", "window", times[runs / 2], runs);
    return 0;
}

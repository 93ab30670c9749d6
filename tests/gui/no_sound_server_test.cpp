// With no sound server, the listen mode cannot start: the window takes the start-up failure
// path with the sound output's own message, and a press elsewhere says why nothing is heard.
// Run with PULSE_SERVER pointing nowhere.

#include "app/gui_setup.h"
#include "gui_fixture.h"
#include "tools/listen_playback.h"
#include "tools/qt_audio.h"

#include <QApplication>
#include <QTest>

class NoSoundServerTest : public QObject {
    Q_OBJECT

private slots:
    void listenModeFailsAtStartUp() {
        GuiFixture f;
        f.env.audio = nullptr; // the real output
        f.settings("[VARS]\nlisten=1\n");
        QVERIFY(!f.start());
        QCOMPARE(startupFailureText(*f.failure),
                 QString("Direct Sound Objekt konnte nicht initialisiert werden.\r\n"
                         "Prüfe ob eine SoundKarte installiert ist und ob sie funktioniert.\r"
                         "-2005401480/Kein Audio-Ausgabegerät gefunden"));
    }
    void withoutListenModeTheWindowStarts() {
        GuiFixture f;
        f.env.audio = nullptr;
        auto form = f.start();
        QVERIFY(form);
        form->controls().txt_sndfilename->setText(f.path("none.wav"));
        QTest::mouseClick(form->controls().cmd_play, Qt::LeftButton); // plays nothing, no harm
        form->playResultSound("ok.wav");
    }
    void aPressSaysThatThereIsNoOutputAndStartsNoThread() {
        GuiFixture f;
        wavb::write_file(f.dir.path("a.wav"), wavb::wav({}, std::string(1000, '\x90')));
        QtAudioSystem audio;
        ListenPlayback playback(
            audio, [&](int, int) { return f.path("a.wav"); }, [](qint64) {});
        playback.press(0);
        QVERIFY(playback.ready());
        QCOMPARE(playback.problem(), QString("Keine Tonausgabe: Kein Audio-Ausgabegerät gefunden"));
        QVERIFY(!audio.audioThreadRunning());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    NoSoundServerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "no_sound_server_test.moc"

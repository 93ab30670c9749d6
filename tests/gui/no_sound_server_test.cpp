// With no sound server, the listen mode cannot start: the window takes the start-up failure
// path with the sound output's own message. Run with PULSE_SERVER pointing nowhere.

#include <QApplication>
#include <QTest>

#include "app/gui_setup.h"
#include "gui_fixture.h"

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
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    NoSoundServerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "no_sound_server_test.moc"

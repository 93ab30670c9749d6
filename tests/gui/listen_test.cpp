#include "app/gui_setup.h"
#include "gui_fixture.h"
#include "tools/listen_playback.h"

#include <QApplication>
#include <QTest>
#include <QToolTip>

class ListenTest : public QObject {
    Q_OBJECT

private slots:
    void aPressPlaysTheRowsPartsAndShowsWhereItIs();
    void pressesDuringAPlaybackAreIgnored();
    void noOutputOrALostOneIsSaidInGerman();
    void shutDownDuringAPlaybackTouchesNoReleasedBuffer();
    void windowWiring();
};

namespace {

// A listen playback over the fake output; part files are "<row><part>.wav" ("a1.wav" is
// the start part of row 0).
struct Machine {
    FakeAudio audio;
    QList<qint64> shown;
    ListenPlayback playback{
        audio,
        [](int row, int part) { return QString("/p/%1%2.wav").arg(QChar('a' + row)).arg(part); },
        [this](qint64 c) { shown << c; }};

    // Polls until the playback is idle; fails the test rather than spin forever.
    int runToEnd() {
        int polls = 0;
        while (!playback.ready() && polls < 1000) {
            playback.poll();
            ++polls;
        }
        return polls;
    }
    // Polls until the given part has started `passes` times.
    void pollUntilPlayed(const QString& name, int passes) {
        for (int i = 0; i < 1000 && audio.log.count("play " + name) < passes; ++i) {
            playback.poll();
        }
    }
    QStringList plays() const { return audio.log.filter(QRegularExpression("^(play|stop) ")); }
};

} // namespace

void ListenTest::aPressPlaysTheRowsPartsAndShowsWhereItIs() {
    Machine m;
    for (const char* name : {"a1.wav", "a2.wav", "a3.wav"}) {
        m.audio.addSound(name);
    }
    m.playback.press(0);
    QVERIFY(!m.playback.ready());
    m.playback.release();
    QVERIFY(m.runToEnd() < 1000);
    QCOMPARE(m.plays(), QStringList({"play a1.wav", "play a2.wav", "play a3.wav"}));
    // The play position of each part, and 0 once the last byte has been heard.
    QCOMPARE(m.shown, QList<qint64>({100, 200, 300, 100, 200, 300, 100, 200, 0}));

    // Held, the loop repeats; the release reaches the stream and ends it with its pass.
    m.audio.addSound("b1.wav");
    m.audio.addSound("b2.wav", {.steps = 2});
    m.audio.addSound("b3.wav");
    m.playback.press(1);
    m.pollUntilPlayed("b2.wav", 4);
    QCOMPARE(m.playback.playingPart(), int(ListenPlayback::kLoop));
    m.playback.release();
    m.runToEnd();
    QCOMPARE(m.playback.loopPasses(), 4);
    QCOMPARE(m.plays().mid(m.plays().size() - 2), QStringList({"play b2.wav", "play b3.wav"}));

    Machine empty; // nothing loads: nothing plays, and the playback ends at once
    empty.playback.press(0);
    QVERIFY(empty.playback.ready());
    QVERIFY(empty.plays().isEmpty());
    QVERIFY(empty.playback.problem().isEmpty());
}

void ListenTest::pressesDuringAPlaybackAreIgnored() {
    Machine m;
    m.audio.addSound("a1.wav");
    m.audio.addSound("b1.wav");
    m.playback.press(0);
    m.playback.poll();
    m.playback.press(1);
    m.runToEnd();
    QVERIFY(!m.audio.log.contains("load b1.wav"));
    m.playback.press(1); // once idle, a press plays again
    m.runToEnd();
    QVERIFY(m.audio.log.contains("play b1.wav"));
}

void ListenTest::noOutputOrALostOneIsSaidInGerman() {
    Machine m;
    m.audio.addSound("a2.wav", {.steps = 1000});
    m.audio.noOutput = true;
    m.playback.press(0);
    QVERIFY(m.playback.ready());
    QCOMPARE(m.playback.problem(), QString("Keine Tonausgabe: Kein Audio-Ausgabegerät gefunden"));

    m.audio.noOutput = false;
    m.playback.press(0);
    QVERIFY(m.playback.problem().isEmpty());
    m.pollUntilPlayed("a2.wav", 1);
    m.audio.outputGone = true; // the device is unplugged while it plays
    QVERIFY(m.runToEnd() < 5);
    QCOMPARE(m.playback.problem(),
             QString("Die Tonausgabe ist abgebrochen: Das Audio-Ausgabegerät ist nicht mehr "
                     "verfügbar"));
    QCOMPARE(m.shown.last(), 0);
}

void ListenTest::shutDownDuringAPlaybackTouchesNoReleasedBuffer() {
    Machine m;
    m.audio.addSound("a1.wav");
    m.audio.addSound("a2.wav", {.steps = 1000});
    m.playback.press(0);
    m.pollUntilPlayed("a2.wav", 1);
    m.playback.stopAll();
    QCOMPARE(m.audio.log.filter("stop").size(), 1); // the output stops
    m.playback.releaseBuffers();
    const QStringList before = m.audio.log;
    m.playback.poll(); // the playback sees the stop request and touches nothing
    m.playback.release();
    m.playback.press(1);
    QCOMPARE(m.audio.log, before);
    QCOMPARE(m.audio.released, 2);
}

void ListenTest::windowWiring() {
    {
        // Listen mode: the sound output is opened at start-up; a close during a playback stops
        // it, then releases the buffer and the output, in that order.
        GuiFixture f;
        f.settings("[VARS]\nlisten=1\n");
        f.audio.addSound("a1.wav", {.steps = 100000});
        f.prompts.chooseFile(f.path("a1.wav"));
        auto form = f.start();
        QCOMPARE(f.audio.log, QStringList({"open"}));
        QTest::mouseClick(form->controls().lab_useranf[0], Qt::LeftButton);
        QTest::mousePress(form->controls().cmd_listen[0], Qt::LeftButton);
        QTRY_VERIFY(form->controls().Text1->text().toInt() > 0);
        form->close(); // during the playback
        QVERIFY(!form->isVisible());
        QCOMPARE(f.audio.log.mid(f.audio.log.size() - 3),
                 QStringList({"stop", "release a1.wav", "close"}));
    }
    {
        // Without listen mode: no sound objects, Command3 does nothing, nothing to release.
        GuiFixture f;
        f.audio.addSound("c1.wav");
        auto form = f.start();
        QTest::mousePress(form->controls().Command3, Qt::LeftButton);
        QTest::mouseRelease(form->controls().Command3, Qt::LeftButton);
        form->controls().txt_sndfilename->setText("/x/y.wav");
        QTest::mouseClick(form->controls().cmd_play, Qt::LeftButton);
        QTest::mouseClick(form->controls().cmd_stop, Qt::LeftButton);
        form->close();
        QCOMPARE(f.audio.log, QStringList({"file play /x/y.wav", "file stop"}));
    }
    {
        // No output for a press, or lost while it plays: the button says why, in German.
        GuiFixture f;
        f.settings("[VARS]\nlisten=1\n");
        f.audio.addSound("a1.wav", {.steps = 100000});
        f.prompts.chooseFile(f.path("a1.wav"));
        auto form = f.start();
        QTest::mouseClick(form->controls().lab_useranf[0], Qt::LeftButton);
        f.audio.noOutput = true;
        QTest::mousePress(form->controls().cmd_listen[0], Qt::LeftButton);
        QCOMPARE(QToolTip::text(), QString("Keine Tonausgabe: Kein Audio-Ausgabegerät gefunden"));
        QTest::mouseRelease(form->controls().cmd_listen[0], Qt::LeftButton);
        QToolTip::hideText();
        f.audio.noOutput = false;
        QTest::mousePress(form->controls().cmd_listen[0], Qt::LeftButton);
        QTRY_VERIFY(form->controls().Text1->text().toInt() > 0);
        f.audio.outputGone = true;
        QTRY_VERIFY(QToolTip::text().startsWith("Die Tonausgabe ist abgebrochen"));
        QTest::mouseRelease(form->controls().cmd_listen[0], Qt::LeftButton);
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    ListenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "listen_test.moc"

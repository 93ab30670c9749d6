// Plays sounds through the real Qt Multimedia output into a PulseAudio null sink and checks,
// from the play positions and from a recording of the sink's monitor, that they were heard.
// scripts/test starts the server; without one the test fails when MELO_REQUIRE_AUDIO is set.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "temp_dir.h"
#include "tools/listen_playback.h"
#include "tools/qt_audio.h"
#include "wav_builder.h"

class RealAudioTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void bufferPlaysOnceAndReportsItsPosition();
    void listenPlaybackIsHeardWithShortLoopGaps();
    void filePlayerPlaysAWholeFile();
    void cleanupTestCase();

private:
    QString wav(const std::string& name, int rate, int channels, int bits, double seconds, double hz);
    // Seconds of sound recorded so far.
    double recorded() const;
    // Loud stretches of the recording from `from` to `until` seconds, as (start, length) in ms;
    // waits until the recording reaches `until`.
    QList<QPair<double, double>> loudStretches(double from, double until);

    TempDir m_dir;
    QtAudioSystem m_audio;
    QProcess m_recorder;
    QString m_recording;
};

namespace {
constexpr int kRecordRate = 22050;
}

QString RealAudioTest::wav(const std::string& name, int rate, int channels, int bits, double seconds, double hz) {
    std::string data;
    const int frames = static_cast<int>(rate * seconds);
    for (int i = 0; i < frames; ++i) {
        const double v = std::sin(2 * M_PI * hz * i / rate) * 0.6;
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) {
                data += static_cast<char>(static_cast<int>(128 + v * 127));
            } else {
                data += wavb::le16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767)));
            }
        }
    }
    const std::string path = m_dir.path(name);
    wavb::write_file(path, wavb::wav({.channels = static_cast<std::uint16_t>(channels),
                                      .rate = static_cast<std::uint32_t>(rate),
                                      .bits = static_cast<std::uint16_t>(bits)},
                                     data));
    return QString::fromStdString(path);
}

void RealAudioTest::initTestCase() {
    long number = 0;
    QString text;
    if (!m_audio.open(number, text)) {
        if (qEnvironmentVariableIsSet("MELO_REQUIRE_AUDIO")) {
            QFAIL("no sound server: scripts/test starts PulseAudio with a null sink");
        }
        QSKIP("no sound server (run through scripts/test)");
    }
    // Recording the sink's monitor keeps the null sink running; it needs a moment to settle
    // before the first sound is heard in full.
    m_recording = QString::fromStdString(m_dir.path("monitor.raw"));
    m_recorder.setStandardOutputFile(m_recording);
    m_recorder.start("parec", {"-d", "@DEFAULT_MONITOR@", "--latency-msec=5", "--raw", "--format=s16le",
                               QString("--rate=%1").arg(kRecordRate), "--channels=1"});
    QVERIFY2(m_recorder.waitForStarted(), "parec is needed (pulseaudio-utils)");
    QTest::qWait(2500);
}

void RealAudioTest::cleanupTestCase() {
    m_recorder.terminate();
    m_recorder.waitForFinished();
    m_audio.close();
}

double RealAudioTest::recorded() const {
    return static_cast<double>(QFileInfo(m_recording).size()) / (2.0 * kRecordRate);
}

QList<QPair<double, double>> RealAudioTest::loudStretches(double from, double until) {
    QElapsedTimer clock;
    clock.start();
    while (recorded() < until && clock.elapsed() < 5000) {
        QTest::qWait(20);
    }
    QFile file(m_recording);
    file.open(QIODevice::ReadOnly);
    const QByteArray raw = file.read(static_cast<qint64>(until * kRecordRate) * 2);
    const auto* samples = reinterpret_cast<const qint16*>(raw.constData());
    const qsizetype count = raw.size() / 2;
    const int window = kRecordRate / 400; // 2.5 ms
    QList<QPair<double, double>> stretches;
    bool loud = false;
    double start = 0;
    for (qsizetype w = static_cast<qsizetype>(from * kRecordRate); w + window <= count; w += window) {
        int peak = 0;
        for (int i = 0; i < window; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(samples[w + i])));
        }
        const double ms = 1000.0 * static_cast<double>(w) / kRecordRate;
        if (peak > 1000 && !loud) {
            loud = true;
            start = ms;
        } else if (peak <= 1000 && loud) {
            loud = false;
            stretches.append({start, ms - start});
        }
    }
    return stretches;
}

void RealAudioTest::bufferPlaysOnceAndReportsItsPosition() {
    const double from = recorded();
    std::unique_ptr<PlayBuffer> buffer = m_audio.createBuffer(wav("once.wav", 13021, 1, 8, 0.4, 440));
    QVERIFY(buffer);
    QVERIFY(!m_audio.createBuffer(QString::fromStdString(m_dir.path("missing.wav"))));
    buffer->play();
    qint64 last = 0;
    QElapsedTimer clock;
    clock.start();
    while (buffer->isPlaying() && clock.elapsed() < 3000) {
        const qint64 cursor = buffer->playCursor();
        QVERIFY(cursor >= last || cursor == 0);
        last = std::max(last, cursor);
        QTest::qWait(5);
    }
    QVERIFY(!buffer->isPlaying());
    QCOMPARE(buffer->playCursor(), 0);
    QVERIFY2(last > 4000, qPrintable(QString("highest position %1 of 5208").arg(last)));
    QVERIFY(clock.elapsed() >= 350);
    const auto heard = loudStretches(from, from + 1.2);
    QVERIFY2(!heard.isEmpty(), "nothing arrived at the sink");
    QVERIFY2(std::abs(heard.first().second - 400) < 40, qPrintable(QString::number(heard.first().second)));
}

void RealAudioTest::listenPlaybackIsHeardWithShortLoopGaps() {
    wav("a1.wav", 13021, 1, 8, 0.3, 440);  // start: 8-bit mono
    wav("a2.wav", 22050, 2, 16, 0.2, 880); // loop: 16-bit stereo at another rate
    wav("a3.wav", 8000, 1, 16, 0.3, 330);  // end: 16-bit mono
    const QString dir = QString::fromStdString(m_dir.root());
    QList<qint64> shown;
    ListenPlayback playback(
        m_audio, [&](int, int part) { return dir + QString("/a%1.wav").arg(part); },
        [&](qint64 c) { shown << c; });
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] { playback.poll(); });

    const double from = recorded();
    playback.press(0);
    poll.start();
    QTest::qWait(900); // held: start part, then the loop part several times
    playback.release();
    QTRY_VERIFY_WITH_TIMEOUT(playback.ready(), 5000);
    poll.stop();
    QVERIFY(!shown.isEmpty() && shown.last() == 0);

    const auto heard = loudStretches(from, recorded() + 1.0);
    QString report;
    for (const auto& [start, length] : heard) {
        report += QString(" %1+%2").arg(start - heard.first().first, 0, 'f', 1).arg(length, 0, 'f', 1);
    }
    qInfo("heard (ms from first sound, length):%s", qPrintable(report));
    // Start part, at least three loop passes, end part; gaps between them are short.
    QVERIFY2(heard.size() >= 5, qPrintable(report));
    for (int i = 1; i < heard.size(); ++i) {
        const double gap = heard[i].first - (heard[i - 1].first + heard[i - 1].second);
        QVERIFY2(gap < 80, qPrintable(QString("gap of %1 ms:%2").arg(gap).arg(report)));
    }
    QVERIFY2(std::abs(heard.last().second - 300) < 40, qPrintable(report));
}

void RealAudioTest::filePlayerPlaysAWholeFile() {
    const double from = recorded();
    m_audio.filePlayer().setFile(wav("whole.wav", 44100, 2, 16, 0.25, 500));
    m_audio.filePlayer().play();
    QTest::qWait(600);
    m_audio.filePlayer().setFile(QString::fromStdString(m_dir.path("none.wav")));
    m_audio.filePlayer().play(); // a missing file plays nothing and does no harm
    m_audio.filePlayer().stop();
    const auto heard = loudStretches(from, from + 1.0);
    QCOMPARE(heard.size(), 1);
    QVERIFY(std::abs(heard.first().second - 250) < 40);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RealAudioTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "real_audio_test.moc"

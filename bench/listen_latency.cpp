// Listen playback as a listener hears it: presses a row's listen button again and again
// through the real sound output and records the output's monitor (PulseAudio, parec) to
// measure, for each press, the time from the press to the first sample heard, and whether
// start, loop passes and end were heard as one unbroken sound of the right length. Run it
// through bench/listen_latency.sh, which starts a sound server with a null sink of its own.
//
//   listen_latency [PRESSES] [HOLD_MS] [BUSY_MS]
// HOLD_MS: how long each press is held (0: a click); BUSY_MS: the window's thread is kept
// busy that long in the middle of each hold.

#include "tools/listen_playback.h"
#include "tools/qt_audio.h"
#include "wav_builder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecordRate = 44100;

// `frames` frames of a sine of `cycles` whole periods, half the full scale.
void write_tone(const QString& path, int channels, int bits, int frames, int cycles) {
    std::string data;
    for (int i = 0; i < frames; ++i) {
        const double v = 0.5 * std::sin(2 * M_PI * cycles * i / frames);
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) {
                data += static_cast<char>(std::lround(128 + v * 127));
            } else {
                data += wavb::le16(
                    static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767))));
            }
        }
    }
    wavb::write_file(path.toStdString(),
                     wavb::wav({.channels = static_cast<std::uint16_t>(channels),
                                .bits = static_cast<std::uint16_t>(bits)},
                               data));
}

class Recorder {
public:
    explicit Recorder(QString path) : m_path(std::move(path)) {
        m_process.setStandardOutputFile(m_path);
        m_process.start("parec",
                        {"-d", "@DEFAULT_MONITOR@", "--latency-msec=5", "--raw", "--format=s16le",
                         QString("--rate=%1").arg(kRecordRate), "--channels=1"});
    }
    ~Recorder() {
        m_process.terminate();
        m_process.waitForFinished();
    }
    bool started() { return m_process.waitForStarted(); }
    // Seconds recorded so far.
    double recorded() const {
        return static_cast<double>(QFileInfo(m_path).size()) / (2.0 * kRecordRate);
    }
    // Loud stretches from `from` on, as (start, length) in ms after `from`, 1 ms windows.
    std::vector<std::pair<double, double>> loud(double from) const {
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        file.seek(static_cast<qint64>(from * kRecordRate) * 2);
        const QByteArray raw = file.readAll();
        const auto* x = reinterpret_cast<const qint16*>(raw.constData());
        const qsizetype n = raw.size() / 2;
        std::vector<std::pair<double, double>> stretches;
        double start = -1;
        for (qsizetype i = 0; i < n; ++i) {
            const bool isLoud = std::abs(static_cast<int>(x[i])) > 1000;
            const double ms = 1000.0 * static_cast<double>(i) / kRecordRate;
            if (isLoud && start < 0) {
                start = ms;
            }
            // A stretch ends after 1 ms without a loud sample.
            if (start >= 0 && !isLoud && i + kRecordRate / 1000 < n) {
                bool quiet = true;
                for (qsizetype k = i; k < i + kRecordRate / 1000 && quiet; ++k) {
                    quiet = std::abs(static_cast<int>(x[k])) <= 1000;
                }
                if (quiet) {
                    stretches.emplace_back(start, ms - start);
                    start = -1;
                }
            }
        }
        return stretches;
    }

private:
    QString m_path;
    QProcess m_process;
};

void busy(int ms) {
    QElapsedTimer clock;
    clock.start();
    volatile double sink = 0;
    while (clock.elapsed() < ms) {
        sink = sink + std::sqrt(static_cast<double>(clock.nsecsElapsed()));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each press as it is measured
    const int presses = argc > 1 ? std::atoi(argv[1]) : 40;
    const int holdMs = argc > 2 ? std::atoi(argv[2]) : 0;
    const int busyMs = argc > 3 ? std::atoi(argv[3]) : 0;

    // Start 0.3 s, loop 0.2 s, end 0.3 s at 13021 Hz, in three formats as projects have them.
    QTemporaryDir dir;
    write_tone(dir.filePath("p1.wav"), 1, 16, 3906, 150);
    write_tone(dir.filePath("p2.wav"), 1, 8, 2604, 100);
    write_tone(dir.filePath("p3.wav"), 2, 16, 3906, 90);
    Recorder recorder(dir.filePath("monitor.raw"));
    if (!recorder.started()) {
        std::fprintf(stderr, "listen_latency: parec (pulseaudio-utils) is needed\n");
        return 2;
    }
    QtAudioSystem audio;
    ListenPlayback playback(
        audio, [&](int, int part) { return dir.filePath(QString("p%1.wav").arg(part)); },
        [](qint64) {});
    QTest::qWait(2500); // the null sink settles

    std::vector<double> latencies;
    int broken = 0;
    for (int i = 0; i < presses; ++i) {
        QTest::qWait(150 + 37 * (i % 7)); // presses fall at every phase of the server's blocks
        const double from = recorder.recorded();
        playback.press(0);
        if (busyMs > 0) {
            QTest::qWait(std::max(0, (holdMs - busyMs) / 2));
            busy(busyMs);
            QTest::qWait(std::max(0, (holdMs - busyMs) / 2));
        } else {
            QTest::qWait(holdMs);
        }
        playback.release();
        if (!QTest::qWaitFor([&] { return playback.ready(); }, 10000)) {
            std::fprintf(stderr, "listen_latency: a playback did not end\n");
            return 1;
        }
        const int passes = playback.loopPasses();
        QTest::qWait(250);
        const auto loud = recorder.loud(from);
        const double expected = (3906 + passes * 2604 + 3906) * 1000.0 / 13021;
        const bool whole = loud.size() == 1 && std::abs(loud.front().second - expected) < 2;
        broken += whole ? 0 : 1;
        if (!loud.empty()) {
            latencies.push_back(loud.front().first);
        }
        std::printf("press %2d: %6.1f ms to the first sample, %zu stretch(es), %.1f ms of %.1f%s\n",
                    i + 1, loud.empty() ? -1.0 : loud.front().first, loud.size(),
                    loud.empty() ? 0.0 : loud.front().second, expected, whole ? "" : "  BROKEN");
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        const auto at = [&](double q) {
            return latencies[static_cast<std::size_t>(q *
                                                      static_cast<double>(latencies.size() - 1))];
        };
        std::printf("latency ms: min %.1f  median %.1f  p90 %.1f  max %.1f  (%zu presses)\n",
                    latencies.front(), at(0.5), at(0.9), latencies.back(), latencies.size());
    }
    std::printf("heard whole: %d of %d\n", presses - broken, presses);
    return broken == 0 ? 0 : 1;
}

#include "tools/qt_audio.h"

#include "gui/qt_text.h"
#include "platform/thread_priority.h"
#include "playback/shared_playback.h"
#include "playback/spsc_queue.h"

#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The DirectSound "no driver" code, the number the start-up message has always shown when
// there is no sound device.
constexpr long kNoDriver = -2005401480;

// The output buffer asked for. The first sample is heard as soon as the sound server takes
// it, whatever the buffer; the buffer is how far the audio thread may fall behind before the
// sound runs dry, and how far ahead of what is heard a release is decided. PulseAudio grants
// a little over half of it (170 ms of 300, the rest being the device's share): on a machine
// busy with builds the thread was seen to wait up to 70 ms, at times 170 ms, for its turn.
constexpr int kBufferMs = 300;
// Silence at the start of a stream: the sound server may swallow the first milliseconds of a
// new stream while it brings it in (4 ms on a null sink), and they must not be the start
// part's.
constexpr int kLeadInMs = 10;
// How often the audio thread tops the buffers up: often enough that a buffer is never more
// than this short of full.
constexpr int kFeedMs = 5;
// Silence played behind the last part before the output is closed, so that what the sound
// server still holds is heard to its end.
constexpr int kTailMs = 150;
// How long the sink of a closed output that ran dry is kept before it is deleted. Qt's
// PulseAudio sink (6.4), when it runs dry in push mode, asks the server to drain and is
// called back with the answer; closing it does not withdraw that question until the server
// has confirmed the close, so a sink deleted at once could be called back after its end and
// take the program down. A sink that never ran dry asked nothing and goes at once.
constexpr int kLingerMs = 1000;
// An output whose play position stands still this long has stalled (the sound server went
// away); the stream then counts as ended rather than hang its listener.
constexpr int kStallMs = 1500;

// A part in memory, in its own format; streams share it.
class QtPlayBuffer : public PlayBuffer {
public:
    explicit QtPlayBuffer(melo::PcmSound sound)
        : pcm(std::make_shared<const melo::PcmSound>(std::move(sound))) {}
    std::shared_ptr<const melo::PcmSound> pcm;
};

QAudioFormat audio_format(const melo::PcmSound& s) {
    QAudioFormat format;
    format.setSampleRate(s.rate);
    format.setChannelCount(s.channels);
    format.setSampleFormat(s.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return format;
}

// A stream on its way to the audio thread.
struct Handover {
    std::shared_ptr<melo::SharedPlayback> playback;
    QAudioDevice device;
};

// One stream's output, opened, fed and closed on the audio thread. A closed output keeps its
// sink until it is destroyed: destroying a sink handles pending events (Qt's PulseAudio sink
// does), which must not happen while the outputs are being walked.
class Output {
public:
    explicit Output(Handover handover);
    ~Output() { close(false); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Tops the output's buffer up with the stream's next bytes and tells the stream what has
    // been heard; false once the output is closed.
    bool feed();
    // Closes the output; `failed` when it broke off before the end was heard.
    void close(bool failed);
    // True when the output may have run dry (the audio thread fell behind).
    bool ranDry() const { return m_ranDry; }

private:
    std::shared_ptr<melo::SharedPlayback> m_playback;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    bool m_closed = false;
    bool m_ranDry = false;
    qint64 m_written = 0; // bytes handed to the sink
    std::vector<char> m_block;
    qint64 m_rate = 1;
    qint64 m_frame = 1;
    qint64 m_leadIn = 0;     // bytes of silence in front of the stream
    qint64 m_leadInLeft = 0; // of them still to be written
    char m_silence = 0;
    QElapsedTimer m_clock;
    qint64 m_lastProcessed = -1;
    qint64 m_lastMove = 0;
    qint64 m_endHeard = -1;
};

Output::Output(Handover handover) : m_playback(std::move(handover.playback)) {
    const melo::PcmSound& first = m_playback->sequence().format();
    m_rate = first.rate;
    m_frame = first.block_align;
    m_leadIn = m_rate * kLeadInMs / 1000 * m_frame;
    m_leadInLeft = m_leadIn;
    m_silence = first.bits == 8 ? '\x80' : '\0';
    const QAudioFormat format = audio_format(first);
    m_block.resize(static_cast<std::size_t>(format.bytesForDuration(2 * kBufferMs * 1000)));
    m_clock.start();
    m_sink = std::make_unique<QAudioSink>(handover.device, format);
    m_sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
    // Pushed, not pulled: the sink's own pull timer would wait a period before the first read.
    m_io = m_sink->start();
    if (m_io == nullptr || m_sink->error() != QAudio::NoError) {
        close(true);
    }
}

bool Output::feed() {
    if (m_closed) {
        return false;
    }
    if (m_playback->stopRequested()) {
        close(false);
        return false;
    }
    // An output whose device went away has no room (PulseAudio says -1) or has stopped. The
    // write follows at once, so the window in which the device can vanish in between is
    // as short as it can be.
    const qsizetype room = m_sink->bytesFree();
    const QAudio::Error error = m_sink->error();
    if (room < 0 || m_sink->state() == QAudio::StoppedState || error == QAudio::OpenError ||
        error == QAudio::IOError || error == QAudio::FatalError) {
        close(true);
        return false;
    }
    // Heard: what the sink says it played, but never more than it took from the buffer. Qt's
    // Windows sink (6.4) counts as played every byte handed to it, so there the bytes still
    // waiting in the buffer are taken off.
    const qint64 processed = m_sink->processedUSecs();
    const qint64 waiting = std::max<qint64>(0, m_sink->bufferSize() - room);
    const qint64 played = std::min(processed * m_rate / 1000000 * m_frame, m_written - waiting);
    // Less than half the granted buffer ahead of what is heard: the audio thread fell far
    // behind, and the sink may have run dry before this feed.
    if (m_written > 0 && m_written - played < m_sink->bufferSize() / 2) {
        m_ranDry = true;
    }
    const qint64 bytes = room - room % m_frame;
    if (bytes > 0) {
        if (static_cast<std::size_t>(bytes) > m_block.size()) {
            m_block.resize(static_cast<std::size_t>(bytes));
        }
        const qint64 silence = std::min(bytes, m_leadInLeft);
        std::fill_n(m_block.data(), silence, m_silence);
        m_leadInLeft -= silence;
        m_playback->render(m_block.data() + silence, static_cast<std::size_t>(bytes - silence));
        m_written += std::max<qint64>(0, m_io->write(m_block.data(), bytes));
    }
    const qint64 now = m_clock.elapsed();
    if (processed != m_lastProcessed) {
        m_lastProcessed = processed;
        m_lastMove = now;
    } else if (now - m_lastMove > kStallMs) {
        close(true);
        return false;
    }
    const HeardPosition heard = m_playback->played(played - m_leadIn);
    if (heard.state == HeardPosition::Ended) {
        if (m_endHeard < 0) {
            m_endHeard = now;
        }
        if (now - m_endHeard >= kTailMs) {
            close(false);
            return false;
        }
    }
    return true;
}

void Output::close(bool failed) {
    if (!m_closed) {
        m_closed = true;
        m_sink->stop();
        m_playback->closed(failed);
    }
}

class QtPlayStream : public PlayStream {
public:
    explicit QtPlayStream(std::shared_ptr<melo::SharedPlayback> playback)
        : m_playback(std::move(playback)) {}
    ~QtPlayStream() override { m_playback->stop(); }

    HeardPosition heard() override { return m_playback->heard(); }
    void release() override { m_playback->release(); }
    void stop() override { m_playback->stop(); }
    int loopPasses() const override { return m_playback->loopPasses(); }
    bool failed() const override { return m_playback->failed(); }

private:
    std::shared_ptr<melo::SharedPlayback> m_playback;
};

} // namespace

// The audio thread: it owns every output, opens it when a stream arrives, feeds it from a
// timer of its own and closes it when the stream has been heard, was stopped or broke off;
// a closed output that ran dry is deleted kLingerMs later, any other one at once.
class QtAudioSystem::AudioThread : public QThread {
public:
    AudioThread() {
        m_inbox.moveToThread(this);
        start();
    }
    ~AudioThread() override {
        quit();
        wait();
    }

    // The window's thread: hands a stream over; false when the queue is full.
    bool submit(Handover handover) {
        if (!m_queue.push(std::move(handover))) {
            return false;
        }
        QMetaObject::invokeMethod(
            &m_inbox, [this] { takeNew(); }, Qt::QueuedConnection);
        return true;
    }

protected:
    void run() override {
        // The sound must not wait for the CPU behind busy processes: whenever this thread or
        // the sound server client's thread waited its turn for longer than the buffer (seen:
        // 120 to 170 ms beside two busy processes of the same session), the output ran dry.
        // The client's thread is started by the first output opened here, so it inherits
        // this thread's scheduling.
        melo::raise_sound_thread_priority();
        QTimer feed;
        feed.setTimerType(Qt::PreciseTimer);
        feed.setInterval(kFeedMs);
        connect(&feed, &QTimer::timeout, &feed, [this] { feedAll(); });
        m_feed = &feed;
        m_clock.start();
        exec();
        // The outputs are closed and deleted on the thread that opened them; streams that
        // arrive meanwhile are not opened any more.
        m_ending = true;
        for (std::unique_ptr<Output>& output : m_outputs) {
            output->close(false);
            retire(std::move(output), m_clock.elapsed());
        }
        m_outputs.clear();
        while (!m_closedNow.empty() || !m_closed.empty()) {
            std::vector<Closed> closed;
            closed.swap(m_closedNow);
            closed.clear();
            if (!m_closed.empty()) {
                QThread::msleep(static_cast<unsigned long>(
                    std::max<qint64>(0, kLingerMs - (m_clock.elapsed() - m_closed.back().at))));
                closed.swap(m_closed);
            }
        }
        m_feed = nullptr;
    }

private:
    void takeNew() {
        while (std::optional<Handover> handover = m_queue.pop()) {
            if (m_ending) {
                handover->playback->closed(false);
            } else {
                m_outputs.push_back(std::make_unique<Output>(std::move(*handover)));
            }
        }
        if (!m_ending) {
            feedAll();
        }
    }
    void feedAll() {
        const qint64 now = m_clock.elapsed();
        for (auto it = m_outputs.begin(); it != m_outputs.end();) {
            if ((*it)->feed()) {
                ++it;
            } else {
                retire(std::move(*it), now);
                it = m_outputs.erase(it);
            }
        }
        // Deleting a sink handles pending events (Qt's PulseAudio sink does), so it happens
        // last, when no list is being walked any more.
        std::vector<Closed> expired = std::move(m_closedNow);
        m_closedNow.clear();
        const auto end = std::find_if(m_closed.begin(), m_closed.end(),
                                      [&](const Closed& c) { return now - c.at < kLingerMs; });
        std::move(m_closed.begin(), end, std::back_inserter(expired));
        m_closed.erase(m_closed.begin(), end);
        if (m_outputs.empty() && m_closed.empty()) {
            m_feed->stop();
        } else if (!m_feed->isActive()) {
            m_feed->start();
        }
    }

    melo::SpscQueue<Handover, 16> m_queue;
    QObject m_inbox; // lives on the audio thread: what is invoked on it runs there
    // Only the audio thread touches these.
    QTimer* m_feed = nullptr;
    QElapsedTimer m_clock;
    bool m_ending = false;
    std::vector<std::unique_ptr<Output>> m_outputs;
    struct Closed {
        qint64 at = 0; // when it was closed
        std::unique_ptr<Output> output;
    };
    std::vector<Closed> m_closed;    // that ran dry, oldest first
    std::vector<Closed> m_closedNow; // to be deleted at the end of this feed

    void retire(std::unique_ptr<Output> output, qint64 now) {
        std::vector<Closed>& list = output->ranDry() ? m_closed : m_closedNow;
        list.push_back({now, std::move(output)});
    }
};

class QtAudioSystem::Player : public FilePlayer {
public:
    explicit Player(QtAudioSystem& audio) : m_audio(audio) {}
    void setFile(const QString& path) override { m_path = path; }
    void play() override {
        stop();
        melo::PcmSound pcm;
        if (!melo::load_pcm(file_path(m_path), pcm)) {
            return;
        }
        QtPlayBuffer buffer(std::move(pcm));
        m_stream = m_audio.startStream({&buffer, nullptr, nullptr});
    }
    void stop() override { m_stream.reset(); }

private:
    QtAudioSystem& m_audio;
    QString m_path;
    std::unique_ptr<PlayStream> m_stream;
};

QtAudioSystem::QtAudioSystem() : m_player(std::make_unique<Player>(*this)) {}

QtAudioSystem::~QtAudioSystem() {
    close();
}

bool QtAudioSystem::open(long& errorNumber, QString& errorText) {
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        errorNumber = kNoDriver;
        errorText = "Kein Audio-Ausgabegerät gefunden";
        return false;
    }
    return true;
}

std::unique_ptr<PlayBuffer> QtAudioSystem::createBuffer(const QString& wavPath) {
    melo::PcmSound pcm;
    if (!melo::load_pcm(file_path(wavPath), pcm)) {
        return nullptr;
    }
    return std::make_unique<QtPlayBuffer>(std::move(pcm));
}

std::unique_ptr<PlayBuffer> QtAudioSystem::createBuffer(melo::PcmSound sound) {
    if (sound.data.empty() || !melo::convert_pcm(sound, sound.rate, sound.channels, sound.bits)) {
        return nullptr;
    }
    return std::make_unique<QtPlayBuffer>(std::move(sound));
}

std::unique_ptr<PlayStream> QtAudioSystem::startStream(const std::array<PlayBuffer*, 3>& parts) {
    melo::PlayParts pcm;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] != nullptr) {
            pcm[i] = static_cast<QtPlayBuffer*>(parts[i])->pcm;
        }
    }
    auto playback = std::make_shared<melo::SharedPlayback>(melo::same_format_parts(pcm));
    if (!playback->sequence().playable()) {
        return nullptr;
    }
    // Asked here, on the window's thread: Qt's list of devices keeps a sound server
    // connection of its own, which belongs to the thread that lives as long as the program.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return nullptr;
    }
    if (!m_thread) {
        m_thread = std::make_unique<AudioThread>();
    }
    if (!m_thread->submit({playback, device})) {
        return nullptr;
    }
    return std::make_unique<QtPlayStream>(std::move(playback));
}

FilePlayer& QtAudioSystem::filePlayer() {
    return *m_player;
}

void QtAudioSystem::close() {
    m_player->stop();
    m_thread.reset();
}

bool QtAudioSystem::audioThreadRunning() const {
    return m_thread && m_thread->isRunning();
}

#include "tools/qt_audio.h"

#include "gui/qt_text.h"

#include <QAudioSink>
#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The DirectSound "no driver" code, the number the start-up message has always shown when
// there is no sound device.
constexpr long kNoDriver = -2005401480;

// How much sound the output holds ahead of what is heard: little, so that a release takes
// effect with the pass being heard, yet enough to ride out the output's own 20 ms refills
// and the sound server's blocks (60 ms were too few for the null sink).
constexpr int kBufferMs = 100;
// Silence at the start of a stream: the sound server may swallow the first milliseconds of a
// new stream while it brings it in, and they must not be the start part's.
constexpr int kLeadInMs = 10;
// Silence played behind the last part before the output is closed, so that what the sound
// server still holds is heard to its end.
constexpr int kTailMs = 150;
// An output whose play position stands still this long has stalled (the sound server went
// away); the stream then counts as ended rather than hang its listener.
constexpr int kStallMs = 1500;

// A part in memory, in the format the stream plays it in.
class QtPlayBuffer : public PlayBuffer {
public:
    explicit QtPlayBuffer(melo::PcmSound sound) : pcm(std::move(sound)) {}
    melo::PcmSound pcm;
};

QAudioFormat audio_format(const melo::PcmSound& s) {
    QAudioFormat format;
    format.setSampleRate(s.rate);
    format.setChannelCount(s.channels);
    format.setSampleFormat(s.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return format;
}

// The bytes of one output stream: the parts its listener names, back to back, then
// silence. The output pulls them as it needs them, so the joins are whatever the parts'
// own bytes are: no gap, nothing repeated or dropped.
class PartSequence : public QIODevice {
public:
    struct Segment {
        qint64 begin = 0; // stream position of the part's first byte
        int part = 0;
        qint64 length = 0;
    };

    PartSequence(const std::array<QtPlayBuffer*, 3>& parts, NextPart next)
        : m_parts(parts), m_next(std::move(next)) {}

    // Asks for the first part, to begin behind `leadInMs` of silence; false when there is none.
    bool begin(int leadInMs) {
        takeNext();
        if (m_ended) {
            return false;
        }
        const melo::PcmSound& pcm = first();
        m_silence = pcm.bits == 8 ? '\x80' : '\0';
        m_leadIn = static_cast<qint64>(pcm.rate) * leadInMs / 1000 * pcm.block_align;
        m_segments.front().begin = m_leadIn;
        return open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    const melo::PcmSound& first() const { return m_parts[m_segments.front().part - 1]->pcm; }
    bool ended() const { return m_ended; }
    // The stream position behind the last part, once it has been taken.
    qint64 end() const { return m_end; }
    // The segment holding stream position `at`; nullptr behind the last one.
    const Segment* segmentAt(qint64 at) const {
        auto it = std::upper_bound(m_segments.begin(), m_segments.end(), at,
                                   [](qint64 v, const Segment& s) { return v < s.begin; });
        if (it == m_segments.begin()) {
            return nullptr;
        }
        --it;
        return at < it->begin + it->length ? &*it : nullptr;
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return std::numeric_limits<int>::max(); }

protected:
    qint64 readData(char* data, qint64 max) override {
        qint64 done = std::min(max, m_leadIn);
        std::memset(data, m_silence, static_cast<std::size_t>(done));
        m_leadIn -= done;
        while (done < max) {
            if (m_ended) {
                std::memset(data + done, m_silence, static_cast<std::size_t>(max - done));
                done = max;
                break;
            }
            const Segment& s = m_segments.back();
            const std::string& bytes = m_parts[s.part - 1]->pcm.data;
            const qint64 n = std::min(max - done, s.length - m_offset);
            std::memcpy(data + done, bytes.data() + m_offset, static_cast<std::size_t>(n));
            done += n;
            m_offset += n;
            if (m_offset == s.length) {
                takeNext();
            }
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void takeNext() {
        const qint64 at =
            m_segments.empty() ? 0 : m_segments.back().begin + m_segments.back().length;
        // A part that could not be converted has no samples: the next one plays in its place.
        // (A held loop part without samples would come back for ever: a few tries, then the end.)
        int part = m_next();
        const QtPlayBuffer* buffer = part >= 1 && part <= 3 ? m_parts[part - 1] : nullptr;
        for (int tries = 0; buffer != nullptr && buffer->pcm.data.empty() && tries < 4; ++tries) {
            part = m_next();
            buffer = part >= 1 && part <= 3 ? m_parts[part - 1] : nullptr;
        }
        if (buffer == nullptr || buffer->pcm.data.empty()) {
            m_ended = true;
            m_end = at;
            return;
        }
        m_segments.push_back({at, part, static_cast<qint64>(buffer->pcm.data.size())});
        m_offset = 0;
    }

    std::array<QtPlayBuffer*, 3> m_parts;
    NextPart m_next;
    std::vector<Segment> m_segments;
    qint64 m_offset = 0;
    qint64 m_leadIn = 0;
    bool m_ended = false;
    qint64 m_end = 0;
    char m_silence = 0;
};

class QtPlayStream : public PlayStream {
public:
    QtPlayStream(const QAudioDevice& device, const std::array<QtPlayBuffer*, 3>& parts,
                 NextPart next)
        : m_sequence(parts, std::move(next)) {
        if (!m_sequence.begin(kLeadInMs)) {
            return;
        }
        // Every part plays in the first part's format.
        const melo::PcmSound& first = m_sequence.first();
        for (QtPlayBuffer* p : parts) {
            if (p != nullptr &&
                !melo::convert_pcm(p->pcm, first.rate, first.channels, first.bits)) {
                p->pcm.data.clear(); // cannot be played: the stream skips it
            }
        }
        m_rate = first.rate;
        m_align = first.block_align;
        const QAudioFormat format = audio_format(first);
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
        m_sink->start(&m_sequence);
        m_clock.start();
        // Watched also when nobody asks what is heard (the file player), so that the output
        // is closed once the sound is over.
        m_watch.setInterval(50);
        QObject::connect(&m_watch, &QTimer::timeout, [this] { heard(); });
        m_watch.start();
    }
    ~QtPlayStream() override { stop(); }

    bool playing() const { return m_sink != nullptr; }

    HeardPosition heard() override {
        HeardPosition h;
        if (!m_sink) {
            h.state = HeardPosition::Ended;
            return h;
        }
        const qint64 processed = m_sink->processedUSecs();
        if (processed != m_lastProcessed) {
            m_lastProcessed = processed;
            m_lastMove = m_clock.elapsed();
        }
        const qint64 at = processed * m_rate / 1000000 * m_align;
        const bool stalled =
            m_clock.elapsed() - m_lastMove > kStallMs || m_sink->state() == QAudio::StoppedState;
        if (stalled || (m_sequence.ended() && at >= m_sequence.end())) {
            h.state = HeardPosition::Ended;
            if (m_endHeard < 0) {
                m_endHeard = m_clock.elapsed();
            }
            if (stalled || m_clock.elapsed() - m_endHeard >= kTailMs) {
                stop();
            }
            return h;
        }
        if (const PartSequence::Segment* s = m_sequence.segmentAt(at)) {
            h.state = HeardPosition::Playing;
            h.part = s->part;
            h.cursor = at - s->begin;
            h.length = s->length;
        }
        return h;
    }

    void stop() override {
        m_watch.stop();
        if (m_sink) {
            m_sink->stop();
            m_sink.reset();
        }
    }

private:
    PartSequence m_sequence;
    std::unique_ptr<QAudioSink> m_sink;
    int m_rate = 1;
    int m_align = 1;
    QElapsedTimer m_clock;
    qint64 m_lastProcessed = -1;
    qint64 m_lastMove = 0;
    qint64 m_endHeard = -1;
    QTimer m_watch;
};

std::unique_ptr<PlayStream> start_stream(const std::array<PlayBuffer*, 3>& parts, NextPart next) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return nullptr;
    }
    std::array<QtPlayBuffer*, 3> ours{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ours[i] = static_cast<QtPlayBuffer*>(parts[i]);
    }
    auto stream = std::make_unique<QtPlayStream>(device, ours, std::move(next));
    if (!stream->playing()) {
        return nullptr;
    }
    return stream;
}

} // namespace

class QtAudioSystem::Player : public FilePlayer {
public:
    void setFile(const QString& path) override { m_path = path; }
    void play() override {
        stop();
        melo::PcmSound pcm;
        if (!melo::load_pcm(file_path(m_path), pcm)) {
            return;
        }
        m_buffer = std::make_unique<QtPlayBuffer>(std::move(pcm));
        bool given = false;
        m_stream = start_stream({m_buffer.get(), nullptr, nullptr}, [given]() mutable {
            const bool first = !given;
            given = true;
            return first ? 1 : 0;
        });
    }
    void stop() override {
        m_stream.reset();
        m_buffer.reset();
    }

private:
    QString m_path;
    std::unique_ptr<QtPlayBuffer> m_buffer;
    std::unique_ptr<PlayStream> m_stream;
};

QtAudioSystem::QtAudioSystem() : m_player(std::make_unique<Player>()) {}

QtAudioSystem::~QtAudioSystem() = default;

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

std::unique_ptr<PlayStream> QtAudioSystem::startStream(const std::array<PlayBuffer*, 3>& parts,
                                                       NextPart next) {
    return start_stream(parts, std::move(next));
}

FilePlayer& QtAudioSystem::filePlayer() {
    return *m_player;
}

void QtAudioSystem::close() {
    m_player->stop();
}

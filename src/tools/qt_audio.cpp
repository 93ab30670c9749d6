#include "tools/qt_audio.h"

#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>

#include "wav/pcm_file.h"

namespace {

// The DirectSound "no driver" code, the number the start-up message has always shown when
// there is no sound device.
constexpr long kNoDriver = -2005401480;

// One sound on its own output stream. Its play position is what the output reports as
// played, so the end of a pass is the end of what was heard, not of what was handed over.
class QtPlayBuffer : public PlayBuffer {
public:
    QtPlayBuffer(const QAudioDevice& device, melo::PcmSound pcm) : m_pcm(std::move(pcm)) {
        m_data = QByteArray(m_pcm.data.data(), static_cast<qsizetype>(m_pcm.data.size()));
        m_buffer.setBuffer(&m_data);
        m_buffer.open(QIODevice::ReadOnly);
        QAudioFormat format;
        format.setSampleRate(m_pcm.rate);
        format.setChannelCount(m_pcm.channels);
        format.setSampleFormat(m_pcm.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_durationUs = static_cast<qint64>(m_data.size()) * 1000000 /
                       (static_cast<qint64>(m_pcm.rate) * m_pcm.block_align);
    }
    ~QtPlayBuffer() override { m_sink->stop(); }

    void play() override {
        m_sink->stop();
        m_buffer.seek(0);
        m_sink->start(&m_buffer);
        m_playing = true;
        m_clock.start();
    }

    qint64 playCursor() override {
        if (!isPlaying()) {
            return 0;
        }
        const qint64 bytes = m_sink->processedUSecs() * m_pcm.rate / 1000000 * m_pcm.block_align;
        return qMin(bytes, static_cast<qint64>(m_data.size()));
    }

    bool isPlaying() override {
        if (m_playing && m_sink->state() != QAudio::ActiveState) {
            // Handed over completely (idle) or failed (stopped): done once the output has
            // played it all, or, should the output stall, well after the sound's length.
            const bool heard = m_sink->processedUSecs() >= m_durationUs - 2000;
            const bool overdue = m_clock.elapsed() * 1000 > m_durationUs + 1000000;
            if (heard || overdue || m_sink->state() == QAudio::StoppedState) {
                m_playing = false;
            }
        }
        return m_playing;
    }

    void stop() override {
        m_sink->stop();
        m_playing = false;
    }

private:
    melo::PcmSound m_pcm;
    QByteArray m_data;
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
    qint64 m_durationUs = 0;
    bool m_playing = false;
    QElapsedTimer m_clock;
};

std::unique_ptr<PlayBuffer> make_buffer(const QString& path) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    melo::PcmSound pcm;
    if (device.isNull() || !melo::load_pcm(QFile::encodeName(path).toStdString(), pcm)) {
        return nullptr;
    }
    return std::make_unique<QtPlayBuffer>(device, std::move(pcm));
}

} // namespace

class QtAudioSystem::Player : public FilePlayer {
public:
    void setFile(const QString& path) override { m_path = path; }
    void play() override {
        m_buffer = make_buffer(m_path);
        if (m_buffer) {
            m_buffer->play();
        }
    }
    void stop() override {
        if (m_buffer) {
            m_buffer->stop();
        }
    }

private:
    QString m_path;
    std::unique_ptr<PlayBuffer> m_buffer;
};

QtAudioSystem::QtAudioSystem() : m_player(std::make_unique<Player>()) {}

QtAudioSystem::~QtAudioSystem() = default;

bool QtAudioSystem::open(long& errorNumber, QString& errorText) {
    m_device = QMediaDevices::defaultAudioOutput();
    if (m_device.isNull()) {
        errorNumber = kNoDriver;
        errorText = "Kein Audio-Ausgabegerät gefunden";
        return false;
    }
    return true;
}

std::unique_ptr<PlayBuffer> QtAudioSystem::createBuffer(const QString& wavPath) {
    return make_buffer(wavPath);
}

FilePlayer& QtAudioSystem::filePlayer() {
    return *m_player;
}

void QtAudioSystem::close() {
    m_player->stop();
    m_device = QAudioDevice();
}

#pragma once

#include <QFileInfo>
#include <QStringList>
#include <map>
#include <memory>

#include "tools/audio_system.h"

// A sound output without sound and without real time: a buffer's play position advances by
// one step each time it is read, so a test drives a playback by polling it.
class FakeAudio : public AudioSystem {
public:
    struct Shape {
        int steps = 3;         // reads that show the position away from 0
        int startDelay = 0;    // reads at 0 before it is seen playing
        bool neverSeen = false; // ends before its position is ever away from 0
    };

    // Files with these base names (for example "a1.wav") load, with their shape; others fail.
    void addSound(const QString& name, Shape shape) { m_shapes[name] = shape; }
    void addSound(const QString& name) { m_shapes[name] = Shape{}; }

    bool open(long&, QString&) override {
        log << "open";
        return true;
    }
    std::unique_ptr<PlayBuffer> createBuffer(const QString& wavPath) override {
        const QString name = QFileInfo(wavPath).fileName();
        const auto it = m_shapes.find(name);
        if (it == m_shapes.end()) {
            return nullptr;
        }
        log << "load " + name;
        return std::make_unique<Buffer>(*this, name, it->second);
    }
    FilePlayer& filePlayer() override { return m_player; }
    void close() override { log << "close"; }

    QStringList log;
    int released = 0;

private:
    class Buffer : public PlayBuffer {
    public:
        Buffer(FakeAudio& owner, QString name, Shape shape) : m_owner(owner), m_name(std::move(name)), m_shape(shape) {}
        ~Buffer() override {
            m_owner.log << "release " + m_name;
            ++m_owner.released;
        }
        void play() override {
            m_owner.log << "play " + m_name;
            m_reads = 0;
            m_playing = true;
        }
        qint64 playCursor() override {
            if (!m_playing) {
                return 0;
            }
            ++m_reads;
            if (m_shape.neverSeen || m_reads > m_shape.startDelay + m_shape.steps) {
                m_playing = false;
                return 0;
            }
            return m_reads <= m_shape.startDelay ? 0 : 100 * (m_reads - m_shape.startDelay);
        }
        bool isPlaying() override { return m_playing; }
        void stop() override {
            m_owner.log << "stop " + m_name;
            m_playing = false;
        }

    private:
        FakeAudio& m_owner;
        QString m_name;
        Shape m_shape;
        int m_reads = 0;
        bool m_playing = false;
    };

    class Player : public FilePlayer {
    public:
        explicit Player(FakeAudio& owner) : m_owner(owner) {}
        void setFile(const QString& path) override { m_path = path; }
        void play() override { m_owner.log << "file play " + m_path; }
        void stop() override { m_owner.log << "file stop"; }

    private:
        FakeAudio& m_owner;
        QString m_path;
    };

    std::map<QString, Shape> m_shapes;
    Player m_player{*this};
};

#pragma once

#include "tools/audio_system.h"

#include <QFileInfo>
#include <QStringList>
#include <map>
#include <memory>

// A sound output without sound and without real time: a stream's play position advances by
// one step each time it is read, and a part is taken from the listener (logged "play NAME")
// when the one before it has had all its steps, so a test drives a playback by polling it.
class FakeAudio : public AudioSystem {
public:
    struct Shape {
        int steps = 3;          // reads that show the position away from 0
        int startDelay = 0;     // reads before it is heard
        bool neverSeen = false; // over before its position is ever read
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
    // Samples in memory load as "memory N" (N frames), one step per 100 frames.
    std::unique_ptr<PlayBuffer> createBuffer(melo::PcmSound sound) override {
        if (sound.data.empty()) {
            return nullptr;
        }
        const auto frames = static_cast<int>(sound.data.size()) / sound.block_align;
        const QString name = QString("memory %1").arg(frames);
        log << "load " + name;
        return std::make_unique<Buffer>(*this, name, Shape{.steps = std::max(1, frames / 100)});
    }
    std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts,
                                            NextPart next) override {
        return std::make_unique<Stream>(*this, parts, std::move(next));
    }
    FilePlayer& filePlayer() override { return m_player; }
    void close() override { log << "close"; }

    QStringList log;
    int released = 0;

private:
    struct Buffer : PlayBuffer {
        Buffer(FakeAudio& a, QString n, Shape s) : owner(a), name(std::move(n)), shape(s) {}
        ~Buffer() override {
            owner.log << "release " + name;
            ++owner.released;
        }
        FakeAudio& owner;
        QString name;
        Shape shape;
    };

    class Stream : public PlayStream {
    public:
        Stream(FakeAudio& owner, const std::array<PlayBuffer*, 3>& parts, NextPart next)
            : m_owner(owner), m_parts(parts), m_next(std::move(next)) {
            take();
        }
        HeardPosition heard() override {
            while (!m_stopped && m_current != nullptr) {
                const Shape& s = m_current->shape;
                if (s.neverSeen || m_reads >= s.startDelay + s.steps) {
                    take();
                    continue;
                }
                ++m_reads;
                if (m_reads <= s.startDelay) {
                    return {};
                }
                return {HeardPosition::Playing, m_part, 100 * (m_reads - s.startDelay),
                        100 * s.steps};
            }
            return {HeardPosition::Ended};
        }
        void stop() override {
            m_owner.log << "stop";
            m_stopped = true;
        }

    private:
        void take() {
            m_part = m_next();
            m_current =
                m_part >= 1 && m_part <= 3 ? static_cast<Buffer*>(m_parts[m_part - 1]) : nullptr;
            m_reads = 0;
            if (m_current != nullptr) {
                m_owner.log << "play " + m_current->name;
            }
        }

        FakeAudio& m_owner;
        std::array<PlayBuffer*, 3> m_parts;
        NextPart m_next;
        Buffer* m_current = nullptr;
        int m_part = 0;
        int m_reads = 0;
        bool m_stopped = false;
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

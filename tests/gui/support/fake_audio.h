#pragma once

#include "playback/part_sequence.h"
#include "tools/audio_system.h"

#include <QFileInfo>
#include <QStringList>
#include <map>
#include <memory>

// A sound output without sound and without real time. A stream plays its parts through the
// program's own part sequence, 100 bytes each time its position is read, and logs
// "play NAME" where a pass of a part begins, so a test drives a playback by polling it.
class FakeAudio : public AudioSystem {
public:
    struct Shape {
        int steps = 3; // reads a pass of the part lasts
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
    std::unique_ptr<PlayStream> startStream(const std::array<PlayBuffer*, 3>& parts) override {
        if (noOutput) {
            return nullptr;
        }
        return std::make_unique<Stream>(*this, parts);
    }
    FilePlayer& filePlayer() override { return m_player; }
    void close() override { log << "close"; }

    QStringList log;
    int released = 0;
    bool noOutput = false;   // no stream can be started
    bool outputGone = false; // streams break off at their next read

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
        Stream(FakeAudio& owner, const std::array<PlayBuffer*, 3>& parts)
            : m_owner(owner), m_sequence(sequence(parts)) {
            for (std::size_t i = 0; i < parts.size(); ++i) {
                m_names[i] = parts[i] ? static_cast<Buffer*>(parts[i])->name : QString();
            }
        }
        HeardPosition heard() override {
            if (m_owner.outputGone) {
                m_failed = true;
            }
            if (m_stopped || m_failed) {
                return {HeardPosition::Ended};
            }
            std::string step(100, '\0');
            m_sequence.render(step.data(), step.size(), m_held);
            const HeardPosition first = m_sequence.at(m_played + 1);
            m_played += 100;
            if (first.state == HeardPosition::Playing && first.cursor == 1) {
                m_owner.log << "play " + m_names[static_cast<std::size_t>(first.part - 1)];
            }
            return m_sequence.at(m_played);
        }
        void release() override { m_held = false; }
        void stop() override {
            m_owner.log << "stop";
            m_stopped = true;
        }
        int loopPasses() const override { return m_sequence.loopPasses(); }
        bool failed() const override { return m_failed; }

    private:
        // Each part as 8-bit samples, 100 for each step of its shape.
        static melo::PlayParts sequence(const std::array<PlayBuffer*, 3>& parts) {
            melo::PlayParts pcm;
            for (std::size_t i = 0; i < parts.size(); ++i) {
                if (const auto* b = static_cast<const Buffer*>(parts[i])) {
                    pcm[i] = std::make_shared<const melo::PcmSound>(melo::PcmSound{
                        1, 13021, 8, 1, std::string(100 * std::size_t(b->shape.steps), '\x80')});
                }
            }
            return pcm;
        }

        FakeAudio& m_owner;
        melo::PartSequence m_sequence;
        std::array<QString, 3> m_names;
        std::int64_t m_played = 0;
        bool m_held = true;
        bool m_stopped = false;
        bool m_failed = false;
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

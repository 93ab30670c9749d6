#pragma once

#include "platform/input_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace melo {

// Where the decoder's bytes come from: a file, or memory (tests and the fuzzer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Total length in bytes, or nothing when it cannot be determined.
    virtual std::optional<std::int64_t> length() = 0;
    // Opens the source for sequential reading from its first byte; false on failure.
    virtual bool open() = 0;
    // Reads up to `n` bytes; returns the number read, 0 at the end, or -1 on a read error.
    virtual std::int64_t read(std::uint8_t* buffer, std::int64_t n) = 0;
    // Skips `n` bytes forward; false on failure.
    virtual bool skip(std::int64_t n) = 0;
    virtual void close() = 0;
};

// A regular file on disk (a FIFO or a device is refused, see InputFile).
class FileSource final : public ByteSource {
public:
    explicit FileSource(std::string path) : m_path(std::move(path)) {}
    ~FileSource() override { close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::optional<std::int64_t> length() override;
    bool open() override;
    std::int64_t read(std::uint8_t* buffer, std::int64_t n) override;
    bool skip(std::int64_t n) override;
    void close() override;

private:
    std::string m_path;
    InputFile m_file;
};

// Bytes in memory; the view must outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}

    std::optional<std::int64_t> length() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool open() override {
        m_pos = 0;
        return true;
    }
    std::int64_t read(std::uint8_t* buffer, std::int64_t n) override;
    bool skip(std::int64_t n) override;
    void close() override {}

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

} // namespace melo

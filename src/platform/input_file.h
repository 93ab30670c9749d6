#pragma once

#include "platform/file_status.h"
#include "platform/system_error.h"

#include <cstdint>
#include <string>

namespace melo {

// A regular file opened for sequential reading: the one way the program opens a file to read
// it (whole-file reads, the WAV decoder, the audio reader). Opening never waits: the file is
// opened without blocking and its kind is checked on the opened file itself, so a FIFO or a
// device put in place of a file, even between an earlier check and the opening, is refused
// and not read. Others may read, write, rename or delete the file meanwhile.
class InputFile {
public:
    // Why an opening failed: the system's error, or a kind other than `regular` when the name
    // stands for something that is no regular file.
    struct Failure {
        SystemError error;
        EntryKind kind = EntryKind::regular;
    };
    enum class From { start, current, end };

    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path`, closing any file open before. Returns false when it cannot be opened or is
    // no regular file; `failure` then says why.
    bool open(const std::string& path, Failure* failure = nullptr);
    bool is_open() const;
    // The file's size in bytes when it was opened.
    std::int64_t size() const { return m_size; }
    // Reads up to `n` bytes; fewer only at the end of the file. Returns the number read, or -1
    // on a read error (then error() says which).
    std::int64_t read(void* buffer, std::int64_t n);
    // Moves the reading position; returns the new position, or -1 when it cannot be moved.
    std::int64_t seek(std::int64_t offset, From from);
    // The reading position, or -1 when no file is open.
    std::int64_t position() { return seek(0, From::current); }
    // The last read or seek error.
    const SystemError& error() const { return m_error; }
    void close();

private:
    std::intptr_t m_handle = -1; // a file descriptor, or a Windows HANDLE; -1 while closed
    std::int64_t m_size = 0;
    SystemError m_error;
};

} // namespace melo

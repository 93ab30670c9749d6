#include "wav/byte_source.h"

#include "platform/file_status.h"

#include <algorithm>
#include <cstring>

namespace melo {

std::optional<std::int64_t> FileSource::length() {
    const std::optional<FileStatus> status = file_status(m_path);
    if (!status || status->kind != EntryKind::regular) {
        return std::nullopt;
    }
    return status->size;
}

bool FileSource::open() {
    return m_file.open(m_path);
}

std::int64_t FileSource::read(std::uint8_t* buffer, std::int64_t n) {
    return m_file.read(buffer, n);
}

bool FileSource::skip(std::int64_t n) {
    return m_file.seek(n, InputFile::From::current) >= 0;
}

void FileSource::close() {
    m_file.close();
}

std::int64_t MemorySource::read(std::uint8_t* buffer, std::int64_t n) {
    const std::size_t count = std::min(static_cast<std::size_t>(n), m_bytes.size() - m_pos);
    std::memcpy(buffer, m_bytes.data() + m_pos, count);
    m_pos += count;
    return static_cast<std::int64_t>(count);
}

bool MemorySource::skip(std::int64_t n) {
    m_pos = std::min(m_bytes.size(), m_pos + static_cast<std::size_t>(n));
    return true;
}

} // namespace melo

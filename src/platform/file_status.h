#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace melo {

// What a name in a folder stands for. Only a regular file has an end that reading reaches:
// a FIFO or a device would be read forever or wait for a writer.
enum class EntryKind { regular, directory, fifo, socket, device, other };

struct FileStatus {
    EntryKind kind = EntryKind::regular;
    std::int64_t size = 0; // bytes; meaningful for a regular file
};

// The kind and size of what `path` names, links followed. Nothing when it does not exist or
// cannot be examined.
std::optional<FileStatus> file_status(const std::string& path);

} // namespace melo

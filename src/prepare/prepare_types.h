#pragma once

#include <cstdint>
#include <string>

// The words the audio reader and the sound preparation share: what an input file is and how
// its preparation ended.

namespace melo {

// An input file as the reader sees it.
struct SourceInfo {
    std::string format;    // container and encoding, "FLAC, 16 bit PCM"
    std::int32_t rate = 0; // Hz
    int channels = 0;
    std::int64_t frames = -1; // -1: the file does not say
};

enum class PrepareCode {
    Ok,
    Cancelled,
    BadOptions,    // a setting outside its bounds
    Unreadable,    // missing, no regular file, no permission, read error
    UnknownFormat, // no format the reader knows, or an encoding it cannot decode
    Damaged,       // corrupt or truncated
    Empty,         // no samples, or nothing but silence below the trim threshold
    TooLong,       // more samples than the decoder takes
    WriteFailed,   // the output could not be written (disk full, no permission ...)
    NoMemory,      // the working memory ran out
    Failed,        // an unexpected fault inside the conversion
};

} // namespace melo

#pragma once

// What the POSIX implementations of the platform share; included by *_posix.cpp only.

#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace melo {

// The kind of a directory entry from its mode bits.
inline EntryKind file_kind(mode_t mode) {
    if (S_ISREG(mode)) {
        return EntryKind::regular;
    }
    if (S_ISDIR(mode)) {
        return EntryKind::directory;
    }
    if (S_ISFIFO(mode)) {
        return EntryKind::fifo;
    }
    if (S_ISSOCK(mode)) {
        return EntryKind::socket;
    }
    return S_ISCHR(mode) || S_ISBLK(mode) ? EntryKind::device : EntryKind::other;
}

} // namespace melo

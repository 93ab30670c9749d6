#pragma once

#include "platform/file_status.h"
#include "platform/system_error.h"

#include <string>

// The German texts for the file errors users meet: the one place they are worded.

namespace melo {

// The German reason for a failed system call ("kein Speicherplatz mehr auf dem Datenträger").
std::string system_error_text(const SystemError& error);

// The German reason for a failed file operation's errno value.
std::string file_error_text(int error_number);

// Why a name that stands for no regular file is not read or replaced ("keine gewöhnliche
// Datei: ist eine Pipe (FIFO)").
std::string not_a_file_text(EntryKind kind);

} // namespace melo

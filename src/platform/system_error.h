#pragma once

// The failures of operating-system calls, in the terms users are told about. The German texts
// for them live in common/file_errors.h; this is only what each platform's code reports.

namespace melo {

enum class SystemFault {
    none,
    access_denied,
    disk_full,
    read_only_file_system,
    write_protected_medium,
    not_found,
    too_large,
    is_directory,
    io_error,
    in_use, // another program holds the file open without sharing it (Windows)
    not_ready,
    other,
};

// A failed call: what it means and the system's own number (shown for the faults without a
// name of their own).
struct SystemError {
    SystemFault fault = SystemFault::none;
    long number = 0;
    bool windows_code = false; // `number` is a Windows error code, not an errno value
};

// The meaning of an errno value.
SystemError errno_error(int error_number);

// The error of the calling thread's last failed system call (errno; on Windows the API's own
// GetLastError code).
SystemError last_system_error();

} // namespace melo

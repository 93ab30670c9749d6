#include "platform/system_error.h"
#include "platform/windows_support.h"

namespace melo {

SystemError windows_error(DWORD code) {
    const auto error = [code](SystemFault fault) {
        return SystemError{fault, static_cast<long>(code), true};
    };
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return error(SystemFault::access_denied);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return error(SystemFault::disk_full);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return error(SystemFault::in_use);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return error(SystemFault::not_found);
    case ERROR_WRITE_PROTECT:
        return error(SystemFault::write_protected_medium);
    case ERROR_FILE_TOO_LARGE:
        return error(SystemFault::too_large);
    case ERROR_DIRECTORY:
        return error(SystemFault::is_directory);
    case ERROR_NOT_READY:
        return error(SystemFault::not_ready);
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return error(SystemFault::io_error);
    default:
        return error(SystemFault::other);
    }
}

SystemError last_system_error() {
    return windows_error(GetLastError());
}

} // namespace melo

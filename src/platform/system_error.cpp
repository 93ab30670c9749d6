#include "platform/system_error.h"

#include <cerrno>

namespace melo {

SystemError errno_error(int error_number) {
    switch (error_number) {
    case 0:
        return {SystemFault::none, 0};
    case EACCES:
    case EPERM:
        return {SystemFault::access_denied, error_number};
    case ENOSPC:
#ifdef EDQUOT // a quota: not every C library knows it
    case EDQUOT:
#endif
        return {SystemFault::disk_full, error_number};
    case EROFS:
        return {SystemFault::read_only_file_system, error_number};
    case ENOENT:
    case ENOTDIR:
        return {SystemFault::not_found, error_number};
    case EFBIG:
        return {SystemFault::too_large, error_number};
    case EISDIR:
        return {SystemFault::is_directory, error_number};
    case EIO:
        return {SystemFault::io_error, error_number};
    default:
        return {SystemFault::other, error_number};
    }
}

} // namespace melo

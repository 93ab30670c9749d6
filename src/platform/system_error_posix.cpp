#include "platform/system_error.h"

#include <cerrno>

namespace melo {

SystemError last_system_error() {
    return errno_error(errno);
}

} // namespace melo

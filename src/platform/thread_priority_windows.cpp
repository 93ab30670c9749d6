#include "platform/thread_priority.h"
#include "platform/windows_support.h"

namespace melo {

ThreadPriority raise_sound_thread_priority() {
    // The top of the ordinary priorities; the real-time class is for the whole process and
    // would hold up the system's own input threads.
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL)
               ? ThreadPriority::Raised
               : ThreadPriority::Unchanged;
}

} // namespace melo

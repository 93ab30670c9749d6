#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace melo {

ThreadPriority raise_sound_thread_priority() {
    // Round robin at the lowest real-time priority: ahead of every ordinary thread, behind the
    // sound server's own real-time threads. Granted where the user has a real-time limit
    // (RLIMIT_RTPRIO, which many systems give the audio group) or the privilege. Threads
    // started afterwards inherit it, which is what the sound server client's thread needs.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) {
        return ThreadPriority::RealTime;
    }
#ifdef __linux__
    // Linux keeps a nice value per thread: a larger share against the busy processes of the
    // same session, where RLIMIT_NICE allows it.
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10) == 0) {
        return ThreadPriority::Raised;
    }
#endif
    return ThreadPriority::Unchanged;
}

} // namespace melo

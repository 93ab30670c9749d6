#pragma once

namespace melo {

// How far the calling thread's scheduling could be raised.
enum class ThreadPriority {
    RealTime,  // runs before every ordinary thread of the machine
    Raised,    // a larger share than ordinary threads, but no real-time scheduling
    Unchanged, // the system allowed neither
};

// Raises the calling thread's scheduling for sound output, so that it keeps its turns beside
// busy processes; threads it starts afterwards inherit it. Returns what the system allowed;
// never fails otherwise.
ThreadPriority raise_sound_thread_priority();

} // namespace melo

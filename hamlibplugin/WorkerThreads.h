#pragma once

#include <chrono>
#include <functional>

namespace corvane::hamlibplugin {

// The threads of the Hamlib workers, counted from their start to their end.
//
// Tearing a receiver down never waits for its worker: the worker may be inside
// a call to a radio that does not answer, which only Hamlib's timeout ends
// (10 s and more). Its thread is told to stop, detached, and finishes on its
// own; this count is what is left of it.
class WorkerThreads {
public:
    // Any thread: runs `body` on a new detached thread that counts as running
    // until `body` has returned.
    static void start(std::function<void()> body);
    // Any thread: the worker threads that have not ended yet.
    static int running();
    // Any thread: waits at most `limit` for every worker thread to end; true
    // when none is left.
    static bool awaitAll(std::chrono::milliseconds limit);
};

// How long the process, once its window has closed, gives workers that were
// told to stop to end before it exits without them: enough for a radio that
// answers to be closed cleanly, short enough that a hung one is not noticed.
inline constexpr std::chrono::milliseconds exitGrace{300};

} // namespace corvane::hamlibplugin

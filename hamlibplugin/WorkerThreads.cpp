#include "hamlibplugin/WorkerThreads.h"

#include <QCoreApplication>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane::hamlibplugin {

namespace {

std::mutex& mutex() {
    static std::mutex m;
    return m;
}

std::condition_variable& ended() {
    static std::condition_variable c;
    return c;
}

int count = 0; // guarded by mutex()

void atExit() {
    // Called as the application object goes, after the window: the process
    // ends now, but a worker about to close its radio gets a moment to do so.
    WorkerThreads::awaitAll(exitGrace);
}

} // namespace

void WorkerThreads::start(std::function<void()> body) {
    static std::once_flag hooked;
    std::call_once(hooked, [] {
        if (QCoreApplication::instance() != nullptr) {
            qAddPostRoutine(&atExit);
        }
    });
    {
        std::lock_guard lock(mutex());
        ++count;
    }
    std::thread([body = std::move(body)] {
        body();
        std::lock_guard lock(mutex());
        --count;
        ended().notify_all();
    }).detach();
}

int WorkerThreads::running() {
    std::lock_guard lock(mutex());
    return count;
}

bool WorkerThreads::awaitAll(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex());
    return ended().wait_for(lock, limit, [] { return count == 0; });
}

} // namespace corvane::hamlibplugin

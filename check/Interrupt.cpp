#include "check/Interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace corvane::check {

namespace {

int pipeFds[2] = {-1, -1};
struct sigaction previous[2];
constexpr int handled[2] = {SIGINT, SIGTERM};

void onSignal(int sig) {
    const auto b = static_cast<char>(sig);
    // A full pipe already holds a wake-up; nothing else may be done here.
    if (::write(pipeFds[1], &b, 1) < 0) {
        return;
    }
}

} // namespace

Interrupt::Interrupt(QObject* parent) : QObject(parent) {
    if (pipeFds[0] >= 0 || ::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char b = 0;
        while (::read(pipeFds[0], &b, 1) == 1) {
            emit interrupted(static_cast<int>(b));
        }
    });
    struct sigaction a {};
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESTART;
    a.sa_handler = onSignal;
    for (size_t i = 0; i < std::size(handled); ++i) {
        sigaction(handled[i], &a, &previous[i]);
    }
}

Interrupt::~Interrupt() {
    if (!m_notifier) {
        return;
    }
    for (size_t i = 0; i < std::size(handled); ++i) {
        sigaction(handled[i], &previous[i], nullptr);
    }
    m_notifier.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

} // namespace corvane::check

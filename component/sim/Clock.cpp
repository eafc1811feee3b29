#include "component/sim/Clock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace corvane::component {

namespace {
int64_t monotonicMs() {
    static QElapsedTimer const origin = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return origin.elapsed();
}
} // namespace

RealClock::RealClock() : m_origin(monotonicMs()) {}

RealClock::~RealClock() = default;

int64_t RealClock::nowMs() const {
    return monotonicMs() - m_origin;
}

Clock::TimerId RealClock::start(int64_t delayMs, Callback callback) {
    const TimerId id = m_next++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    const int64_t clamped = std::clamp<int64_t>(delayMs, 0, std::numeric_limits<int>::max());
    timer->setInterval(static_cast<int>(clamped));
    QObject::connect(timer.get(), &QTimer::timeout, this, [this, id] { fire(id); });
    timer->start();
    m_pending.emplace(id, Pending{std::move(timer), std::move(callback)});
    return id;
}

void RealClock::cancel(TimerId id) {
    m_pending.erase(id);
}

void RealClock::fire(TimerId id) {
    auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        return;
    }
    // The timer is still inside its own timeout signal: delete it later, and
    // take the callback out first because it may start or cancel timers.
    Callback callback = std::move(it->second.callback);
    it->second.timer.release()->deleteLater();
    m_pending.erase(it);
    callback();
}

Clock::TimerId DrivenClock::start(int64_t delayMs, Callback callback) {
    const TimerId id = m_next++;
    m_pending.emplace(id, Pending{m_now + std::max<int64_t>(delayMs, 0), std::move(callback)});
    return id;
}

void DrivenClock::cancel(TimerId id) {
    m_pending.erase(id);
}

void DrivenClock::advance(int64_t ms) {
    const int64_t target = m_now + std::max<int64_t>(ms, 0);
    for (;;) {
        // Ids grow with start order, so the first minimum is the earliest started.
        auto next = m_pending.end();
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->second.due <= target &&
                (next == m_pending.end() || it->second.due < next->second.due)) {
                next = it;
            }
        }
        if (next == m_pending.end()) {
            break;
        }
        m_now = next->second.due;
        Callback callback = std::move(next->second.callback);
        m_pending.erase(next);
        callback();
    }
    m_now = target;
}

} // namespace corvane::component

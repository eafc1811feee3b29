#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace corvane::component {

// Time as the receivers see it. Everything timed in a receiver (connect delay,
// S-meter period, faults) goes through this, so tests can drive time by hand
// and get the same sequence of events on every run.
class Clock {
public:
    using Callback = std::function<void()>;
    using TimerId = uint64_t;

    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin; never goes back.
    virtual int64_t nowMs() const = 0;
    // Runs `callback` once, `delayMs` from now, on the component's thread.
    // Returns a nonzero id for cancel().
    virtual TimerId start(int64_t delayMs, Callback callback) = 0;
    // Forgets a timer; an id that already fired or was cancelled is ignored.
    virtual void cancel(TimerId id) = 0;
};

// Wall-clock time on the Qt event loop.
class RealClock final : public QObject, public Clock {
public:
    RealClock();
    ~RealClock() override;

    int64_t nowMs() const override;
    TimerId start(int64_t delayMs, Callback callback) override;
    void cancel(TimerId id) override;

private:
    struct Pending {
        std::unique_ptr<QTimer> timer;
        Callback callback;
    };
    void fire(TimerId id);

    int64_t m_origin;
    TimerId m_next = 1;
    std::map<TimerId, Pending> m_pending;
};

// Time that moves only when advance() is called: timers due within the step run
// in order of their due time (then of their start), each seeing nowMs() at its
// own due time. Timers started by a callback run in the same step if they fall
// due within it.
class DrivenClock final : public Clock {
public:
    int64_t nowMs() const override { return m_now; }
    TimerId start(int64_t delayMs, Callback callback) override;
    void cancel(TimerId id) override;

    void advance(int64_t ms);
    size_t pendingCount() const { return m_pending.size(); }

private:
    struct Pending {
        int64_t due;
        Callback callback;
    };
    int64_t m_now = 0;
    TimerId m_next = 1;
    std::map<TimerId, Pending> m_pending;
};

} // namespace corvane::component

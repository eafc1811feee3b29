#include "vradio/Line.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace corvane::vradio {

Line::Line(Engine& engine, int baud, QString linkPath)
    : m_engine(engine), m_baud(std::max(baud, 50)), m_pty(std::move(linkPath)) {
    m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer >= 0) {
        m_timerNotifier = std::make_unique<QSocketNotifier>(m_timer, QSocketNotifier::Read);
        connect(m_timerNotifier.get(), &QSocketNotifier::activated, this, [this] {
            // Only clears the timer: how often it expired does not matter.
            uint64_t expirations = 0;
            if (::read(m_timer, &expirations, sizeof expirations) < 0) {
                expirations = 0;
            }
            pump();
        });
    }
}

Line::~Line() {
    // The link goes before the terminal (Pty::close()).
    close();
    m_timerNotifier.reset();
    if (m_timer >= 0) {
        ::close(m_timer);
    }
}

int64_t Line::byteNs() const {
    // 8N1: a start bit, eight data bits and a stop bit.
    return 10'000'000'000LL / m_baud;
}

int64_t Line::outInterval() const {
    return std::max<int64_t>(byteNs(), int64_t{m_slowMs} * 1'000'000);
}

bool Line::open(QString* error) {
    if (m_timer < 0) {
        *error = QStringLiteral("no timer for the line's pace");
        return false;
    }
    if (!m_pty.open(error)) {
        return false;
    }
    m_readNotifier = std::make_unique<QSocketNotifier>(m_pty.master(), QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &Line::readable);
    return true;
}

void Line::close() {
    m_readNotifier.reset();
    m_pty.close();
    // Nothing of the old line carries over to a new one: no bytes on their
    // way, no pace still owed.
    m_inHead = m_inCount = 0;
    m_out.clear();
    m_rxFree = m_txFree = 0;
    arm();
}

void Line::unplug() {
    // The port goes away, as a USB adapter's device does; the link goes
    // first, as a link left pointing at the freed terminal could reach
    // whichever program gets its number next (Pty::close()).
    close();
}

bool Line::replug(QString* error) {
    if (plugged()) {
        return true;
    }
    return open(error);
}

void Line::setSlowMs(int ms) {
    m_slowMs = std::max(ms, 0);
    if (m_out.empty()) {
        return;
    }
    // What waits is sent at the new pace from now on; the echo keeps its
    // place (it was on the line with the command).
    const int64_t interval = outInterval();
    int64_t free = monotonicNs();
    for (Timed& t : m_out) {
        if (t.paced) {
            free += interval;
            t.due = free;
        } else {
            free = std::max(free, t.due);
        }
    }
    m_txFree = free;
    arm();
}

void Line::readable() {
    char buffer[4096];
    const int64_t now = monotonicNs();
    // A bounded share of what is there each turn of the event loop: a
    // writer faster than this reads does not keep the radio from its work.
    for (int turn = 0; turn < 16; ++turn) {
        const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        m_bytesIn += static_cast<uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            if (m_inCount == inputBuffer) {
                ++m_overrunIn; // the UART's overrun: the byte is lost
                continue;
            }
            m_rxFree = std::max(now, m_rxFree) + byteNs();
            m_in[static_cast<size_t>((m_inHead + m_inCount) % inputBuffer)] = {m_rxFree, buffer[i],
                                                                               false};
            ++m_inCount;
        }
    }
    pump();
}

void Line::queueOut(const QByteArray& bytes, bool paced, int64_t now) {
    const int64_t interval = outInterval();
    for (char b : bytes) {
        if (m_out.size() >= static_cast<size_t>(outputBuffer)) {
            ++m_lostOut;
            continue;
        }
        if (paced && m_garbage) {
            b = static_cast<char>(m_random() & 0xFF);
        }
        if (paced) {
            m_txFree = std::max(now, m_txFree) + interval;
            m_out.push_back({m_txFree, b, true});
        } else {
            m_txFree = std::max(now, m_txFree);
            m_out.push_back({now, b, false});
        }
    }
}

void Line::sendUnasked(const QByteArray& bytes) {
    if (plugged() && !m_silent) {
        queueOut(bytes, true, monotonicNs());
        pump();
    }
}

void Line::pump() {
    if (!plugged()) {
        return;
    }
    const int64_t now = monotonicNs();
    QByteArray arrived;
    int64_t lastDue = now;
    while (m_inCount > 0 && m_in[static_cast<size_t>(m_inHead)].due <= now) {
        const Timed& t = m_in[static_cast<size_t>(m_inHead)];
        arrived.append(t.byte);
        lastDue = t.due;
        m_inHead = (m_inHead + 1) % inputBuffer;
        --m_inCount;
    }
    if (!arrived.isEmpty() && !m_silent) {
        const Output out = m_engine.feed(arrived);
        // The echo was on the line while the command was; the answer follows.
        queueOut(out.echo, false, lastDue);
        queueOut(out.reply, true, now);
    }
    QByteArray due;
    while (!m_out.empty() && m_out.front().due <= now) {
        due.append(m_out.front().byte);
        m_out.pop_front();
    }
    if (!due.isEmpty()) {
        const ssize_t n = ::write(m_pty.master(), due.constData(), static_cast<size_t>(due.size()));
        const qsizetype sent = n < 0 ? 0 : n;
        m_bytesOut += static_cast<uint64_t>(sent);
        // What the terminal will not take is lost, as on a line that
        // nobody reads: the radio never waits for its listener.
        m_lostOut += static_cast<uint64_t>(due.size() - sent);
    }
    arm();
}

void Line::arm() {
    if (m_timer < 0) {
        return;
    }
    int64_t next = 0;
    if (m_inCount > 0) {
        next = m_in[static_cast<size_t>(m_inHead)].due;
    }
    if (!m_out.empty()) {
        next = next == 0 ? m_out.front().due : std::min(next, m_out.front().due);
    }
    itimerspec due{};
    if (next > 0) {
        due.it_value.tv_sec = static_cast<time_t>(next / 1'000'000'000);
        due.it_value.tv_nsec = static_cast<long>(next % 1'000'000'000);
    }
    timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &due, nullptr);
}

} // namespace corvane::vradio

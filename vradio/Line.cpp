#include "vradio/Line.h"

#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace corvane::vradio {

namespace {

int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

Line::Line(Engine& engine, int baud, QString linkPath)
    : m_engine(engine), m_baud(std::max(baud, 50)), m_linkPath(std::move(linkPath)) {
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
    close();
    if (!m_linkPath.isEmpty() && QFile::symLinkTarget(m_linkPath) == m_slavePath) {
        QFile::remove(m_linkPath);
    }
    m_timerNotifier.reset();
    if (m_timer >= 0) {
        ::close(m_timer);
    }
}

int64_t Line::byteNs() const {
    // 8N1: a start bit, eight data bits and a stop bit.
    return 10'000'000'000LL / m_baud;
}

bool Line::open(QString* error) {
    if (m_timer < 0) {
        *error = QStringLiteral("no timer for the line's pace");
        return false;
    }
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = systemError("openpty");
        m_master = m_slave = -1;
        return false;
    }
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &Line::readable);
    return updateLink(error);
}

bool Line::updateLink(QString* error) {
    if (m_linkPath.isEmpty()) {
        return true;
    }
    // Made beside the link and renamed over it, so it never goes missing.
    const QByteArray link = QFile::encodeName(m_linkPath);
    const QByteArray temporary = link + ".new" + QByteArray::number(getpid());
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        *error = systemError("symlink");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void Line::close() {
    m_readNotifier.reset();
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    m_in.clear();
    m_out.clear();
    arm();
}

void Line::unplug() {
    close();
    // The port goes away, as a USB adapter's device does; a link left
    // pointing at the freed terminal could reach whichever program gets its
    // number next.
    if (!m_linkPath.isEmpty()) {
        QFile::remove(m_linkPath);
    }
}

bool Line::replug(QString* error) {
    if (plugged()) {
        return true;
    }
    return open(error);
}

void Line::readable() {
    char buffer[4096];
    const int64_t now = nowNs();
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        m_bytesIn += static_cast<uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            m_rxFree = std::max(now, m_rxFree) + byteNs();
            m_in.push_back({m_rxFree, buffer[i]});
        }
    }
    pump();
}

void Line::queueOut(const QByteArray& bytes, bool paced, int64_t now) {
    const int64_t interval = std::max<int64_t>(byteNs(), int64_t{m_slowMs} * 1'000'000);
    for (char b : bytes) {
        if (paced && m_garbage) {
            b = static_cast<char>(m_random() & 0xFF);
        }
        if (paced) {
            m_txFree = std::max(now, m_txFree) + interval;
            m_out.push_back({m_txFree, b});
        } else {
            m_txFree = std::max(now, m_txFree);
            m_out.push_back({now, b});
        }
    }
}

void Line::sendUnasked(const QByteArray& bytes) {
    if (plugged() && !m_silent) {
        queueOut(bytes, true, nowNs());
        pump();
    }
}

void Line::pump() {
    if (!plugged()) {
        return;
    }
    const int64_t now = nowNs();
    QByteArray arrived;
    int64_t lastDue = now;
    while (!m_in.empty() && m_in.front().due <= now) {
        arrived.append(m_in.front().byte);
        lastDue = m_in.front().due;
        m_in.pop_front();
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
        const ssize_t n = ::write(m_master, due.constData(), static_cast<size_t>(due.size()));
        const qsizetype sent = n < 0 ? 0 : n;
        m_bytesOut += static_cast<uint64_t>(sent);
        // What the terminal would not take waits for the next turn.
        for (qsizetype i = due.size() - 1; i >= sent; --i) {
            m_out.push_front({now + 1'000'000, due[i]});
        }
    }
    arm();
}

void Line::arm() {
    if (m_timer < 0) {
        return;
    }
    int64_t next = 0;
    if (!m_in.empty()) {
        next = m_in.front().due;
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

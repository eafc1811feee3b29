#include "vradio/Tap.h"

#include "vradio/Console.h"
#include "vradio/Pty.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

namespace corvane::vradio {

namespace {

speed_t speedOf(int baud) {
    static const std::pair<int, speed_t> speeds[] = {
        {300, B300},         {600, B600},         {1200, B1200},       {2400, B2400},
        {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
        {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
        {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000},
        {4000000, B4000000}};
    for (const auto& [b, s] : speeds) {
        if (b == baud) {
            return s;
        }
    }
    return B0;
}

QString systemError(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

Tap::Tap(QString port, int baud, QString link, CaptureWriter& capture)
    : m_port(std::move(port)), m_baud(baud), m_capture(capture), m_pty(std::move(link)) {}

Tap::~Tap() {
    if (m_thread.joinable()) {
        const char b = 'q';
        if (::write(m_wake[1], &b, 1) == 1) {
            m_thread.join();
        } else {
            m_thread.detach(); // cannot happen: the pipe is empty until now
        }
    }
    for (const int fd : {m_wake[0], m_wake[1], m_fd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    // The link goes before the terminal, as ever (~Pty).
}

int Tap::openPort(QString* error) const {
    const int fd =
        ::open(QFile::encodeName(m_port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(m_port));
        return -1;
    }
    if (::isatty(fd)) {
        // Raw, the given speed, 8N1, no flow control: the bytes as they come.
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~(CSTOPB | CRTSCTS);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        cfsetispeed(&t, speedOf(m_baud));
        cfsetospeed(&t, speedOf(m_baud));
        if (tcsetattr(fd, TCSANOW, &t) != 0) {
            *error = systemError(QStringLiteral("cannot set up %1").arg(m_port));
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool Tap::open(QString* error) {
    if (speedOf(m_baud) == B0) {
        *error = QStringLiteral("%1 baud is not a speed a serial port is set to").arg(m_baud);
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = systemError(QStringLiteral("no pipe"));
        return false;
    }
    m_fd = openPort(error);
    if (m_fd < 0) {
        return false;
    }
    if (!m_pty.open(error)) {
        return false;
    }
    m_pty.guardLinkOnSignals();
    m_portOpen = true;
    return true;
}

void Tap::start() {
    m_start = monotonicNs();
    // Signals go to the program's own thread, never to this one.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    m_thread = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void Tap::portGone(const QString& why) {
    ::close(m_fd);
    m_fd = -1;
    m_portOpen = false;
    if (onNotice) {
        onNotice(QStringLiteral("%1 is gone (%2); opening it again every second").arg(m_port, why));
    }
}

void Tap::run() {
    const int master = m_pty.master();
    QByteArray pending; // for the radio, waiting for its port
    char buffer[4096];
    int64_t nextTry = 0;
    for (;;) {
        if (m_fd < 0 && monotonicNs() >= nextTry) {
            QString error;
            m_fd = openPort(&error);
            nextTry = monotonicNs() + 1'000'000'000;
            if (m_fd >= 0) {
                m_portOpen = true;
                pending.clear();
                if (onNotice) {
                    onNotice(QStringLiteral("%1 is back").arg(m_port));
                }
            }
        }
        pollfd fds[3] = {{m_wake[0], POLLIN, 0}, {master, 0, 0}, {m_fd, 0, 0}};
        if (pending.size() < pendingLimit) {
            fds[1].events = POLLIN;
        }
        if (m_fd >= 0) {
            fds[2].events = short(POLLIN | (pending.isEmpty() ? 0 : POLLOUT));
        }
        if (::poll(fds, 3, m_fd < 0 ? 1000 : -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        // From the radio: to the program at once, then into the capture.
        if (m_fd >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                const int64_t at = monotonicNs() - m_start;
                m_fromRadio += uint64_t(n);
                const ssize_t sent = ::write(master, buffer, size_t(n));
                m_lost += uint64_t(n - (sent < 0 ? 0 : sent));
                m_capture.record(Direction::FromRadio, buffer, size_t(n), at);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                portGone(n == 0 ? QStringLiteral("end of file")
                                : QString::fromLocal8Bit(strerror(errno)));
                nextTry = monotonicNs() + 1'000'000'000;
            }
        }
        // From the program: to the radio at once, then into the capture.
        if ((fds[1].revents & POLLIN) != 0) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                const int64_t at = monotonicNs() - m_start;
                pending.append(buffer, n);
                m_toRadio += uint64_t(n);
                if (m_fd < 0) {
                    m_lost += uint64_t(pending.size()); // no radio to take them
                    pending.clear();
                }
                if (m_fd >= 0) {
                    const ssize_t sent = ::write(m_fd, pending.constData(), size_t(pending.size()));
                    pending.remove(0, sent < 0 ? 0 : sent);
                }
                m_capture.record(Direction::ToRadio, buffer, size_t(n), at);
            }
        } else if (m_fd >= 0 && !pending.isEmpty() && (fds[2].revents & POLLOUT) != 0) {
            const ssize_t sent = ::write(m_fd, pending.constData(), size_t(pending.size()));
            pending.remove(0, sent < 0 ? 0 : sent);
        }
    }
}

bool runTap(const TapOptions& options, int quitFd) {
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    const auto fail = [&](const QString& why) {
        err.say(("corvane-vradio: " + why).toLocal8Bit());
        err.flush(std::chrono::milliseconds(300));
        return false;
    };
    CaptureWriter capture;
    QString error;
    {
        Tap tap(options.port, options.baud, options.link, capture);
        tap.onNotice = [&err](const QString& text) {
            err.say(("corvane-vradio: " + text).toLocal8Bit());
        };
        // The capture is made only once there is something to record.
        if (!tap.open(&error) ||
            !capture.open(options.capture, options.replace, options.baud, &error)) {
            return fail(error);
        }
        tap.start();
        out.say(tap.pty().slavePath().toLocal8Bit());
        if (!tap.pty().notice().isEmpty()) {
            err.say(("corvane-vradio: " + tap.pty().notice()).toLocal8Bit());
        }
        err.say(
            QStringLiteral("tap on %1 at %2 baud, for programs on %3%4, recorded in %5; "
                           "type help")
                .arg(options.port)
                .arg(options.baud)
                .arg(tap.pty().slavePath(),
                     options.link.isEmpty() ? QString() : QStringLiteral(", link ") + options.link,
                     options.capture)
                .toLocal8Bit());
        const auto status = [&] {
            QString s = QStringLiteral("tap on %1 at %2 baud%3: %4 bytes to the radio, %5 from it")
                            .arg(options.port)
                            .arg(options.baud)
                            .arg(tap.portOpen() ? QString() : QStringLiteral(" (gone)"))
                            .arg(tap.toRadio())
                            .arg(tap.fromRadio());
            if (tap.lost() > 0) {
                s += QStringLiteral(", %1 lost (not taken at the other end)").arg(tap.lost());
            }
            s += QStringLiteral("; %1 bytes recorded").arg(capture.recordedBytes());
            if (capture.droppedBytes() > 0) {
                s += QStringLiteral(", %1 not").arg(capture.droppedBytes());
            }
            if (!capture.error().isEmpty()) {
                s += QStringLiteral(" (%1)").arg(capture.error());
            }
            return s;
        };

        runStatusConsole(out, quitFd, status,
                         "status: the bytes forwarded and recorded; help: this", "a tap");
    } // forwarding stopped, the link removed, the terminal closed
    if (!capture.flush(std::chrono::milliseconds(2000))) {
        err.say("corvane-vradio: the capture's last lines could not be written in time");
    }
    if (!capture.error().isEmpty()) {
        err.say(("corvane-vradio: " + capture.error()).toLocal8Bit());
    }
    out.flush(std::chrono::milliseconds(300));
    err.flush(std::chrono::milliseconds(300));
    return true;
}

} // namespace corvane::vradio

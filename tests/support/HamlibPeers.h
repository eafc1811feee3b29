#pragma once

// What the Hamlib tests and benchmarks share: a sink that records a backend's
// events, a bounded wait that keeps the event loop turning, a watchdog that
// measures how long the window's thread went without turning its loop, and a
// rigctld daemon on 127.0.0.1 that is always stopped by its own PID.

#include "component/api/HamlibEntry.h"
#include "component/hamlib/HamlibEntryReader.h"
#include "hamlibplugin/HamlibBackend.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTimer>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::testsupport {

// The component tests are written in the component's own terms.
using namespace corvane::component;

using hamlibplugin::HamlibBackend;
using Kind = ReceiverEvent::Kind;

// Turns the event loop until `done` holds or `ms` have passed. Unlike
// QTest::qWaitFor, which sleeps 10 ms between looks, the loop keeps running,
// so the watchdog below measures the code under test and not the wait.
inline bool waitUntil(const std::function<bool()>& done, int ms) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer look;
    look.setInterval(1);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

inline void idle(int ms) {
    waitUntil([] { return false; }, ms);
}

class Recorder final : public BackendSink {
public:
    void report(ReceiverBackend&, ReceiverEvent event) override { events.push_back(event); }

    // Events of `kind` from position `from` on.
    std::vector<ReceiverEvent> of(Kind kind, size_t from = 0) const {
        std::vector<ReceiverEvent> out;
        for (size_t i = from; i < events.size(); ++i) {
            if (events[i].kind == kind) {
                out.push_back(events[i]);
            }
        }
        return out;
    }
    // Waits until an event of `kind` (and matching `also`) comes after
    // position `from`; returns it, or nothing after `ms`.
    std::optional<ReceiverEvent> await(Kind kind, size_t from, int ms,
                                       std::function<bool(const ReceiverEvent&)> also = {}) {
        const auto match = [&](const ReceiverEvent& e) {
            return e.kind == kind && (!also || also(e));
        };
        const auto first = [&] { return std::find_if(events.begin() + from, events.end(), match); };
        waitUntil([&] { return first() != events.end(); }, ms);
        const auto it = first();
        return it == events.end() ? std::nullopt : std::optional(*it);
    }

    std::vector<ReceiverEvent> events;
};

// Fires every millisecond on the thread that made it and keeps the longest gap
// between two firings: a blocked window thread shows as a long gap.
class Watchdog {
public:
    Watchdog() {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_since.isValid()) {
                m_longestMs = std::max(m_longestMs, m_since.elapsed());
            }
            m_since.restart();
        });
        m_timer.start();
    }
    // Leaves out a span during which the thread is meant to wait.
    void pause() {
        m_timer.stop();
        m_since.invalidate();
    }
    void resume() { m_timer.start(); }
    void reset() { m_longestMs = 0; }
    qint64 longestMs() const { return m_longestMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longestMs = 0;
};

inline QJsonObject entryFrom(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

inline std::unique_ptr<HamlibBackend> makeBackend(const QJsonObject& entry, Recorder& sink) {
    return std::make_unique<HamlibBackend>(HamlibBackend::settingsOf(readHamlibEntry(entry)), sink);
}

inline sockaddr_in loopback(quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A port on 127.0.0.1 that nothing listens on now (the kernel's pick).
inline quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

// Starts `program` with `args`, its output into `out` and its input from `in`
// (file descriptors) if given; the child's PID, or -1. Plain fork and exec: Qt's process start does
// not mix with ThreadSanitizer, which these tests also run under.
inline pid_t spawn(const QString& program, const QStringList& args, int out = -1, int in = -1) {
    const QByteArray path = QStandardPaths::findExecutable(program).toLocal8Bit();
    if (path.isEmpty()) {
        return -1;
    }
    std::vector<QByteArray> bytes{path};
    for (const QString& a : args) {
        bytes.push_back(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& b : bytes) {
        argv.push_back(b.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Goes with the test process, also when that one is killed or aborts.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
        }
        if (in >= 0) {
            ::dup2(in, STDIN_FILENO);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits at most `ms` for the child to end; true when it has (and is reaped).
inline bool reap(pid_t pid, int ms) {
    for (int waited = 0; waited <= ms; waited += 5) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        ::usleep(5000);
    }
    return false;
}

// One rigctld, always stopped by its own PID when the test ends.
class Daemon {
public:
    explicit Daemon(quint16 port) : m_port(port) {}
    ~Daemon() { stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    bool start() {
        m_pid = spawn(QStringLiteral("rigctld"), {"-m", "1", "-T", "127.0.0.1", "-t",
                                                  QString::number(m_port), "-C", "static_data=1"});
        // Ready once it accepts a connection; bounded in tries and time.
        const sockaddr_in a = loopback(m_port);
        for (int i = 0; m_pid > 0 && i < 100; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            const bool up = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
            ::close(fd);
            if (up) {
                return true;
            }
            idle(30);
        }
        return false;
    }
    void signal(int sig) const {
        if (m_pid > 0) {
            ::kill(m_pid, sig);
        }
    }
    void stop() {
        if (m_pid <= 0) {
            return;
        }
        signal(SIGCONT);
        signal(SIGKILL);
        reap(m_pid, 3000);
        m_pid = -1;
    }
    quint16 port() const { return m_port; }

private:
    quint16 m_port;
    pid_t m_pid = -1;
};

inline QString rigctl(quint16 port, const QStringList& command) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = spawn(
        QStringLiteral("rigctl"),
        QStringList{"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(port)} + command, fds[1]);
    ::close(fds[1]);
    QByteArray out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, n);
    }
    ::close(fds[0]);
    if (pid <= 0 || !reap(pid, 5000)) {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            reap(pid, 1000);
        }
        return {};
    }
    return QString::fromLatin1(out).trimmed();
}

} // namespace corvane::testsupport

#pragma once

// The programs the virtual-radio benchmark runs beside itself: the virtual
// radio (its terminal's path read from its output, the commands it hears read
// from its log, both stamped as they arrive) and rigctl kept open, reading
// commands from a pipe. Each is ended by its own PID when its object goes, and
// by the kernel when this process dies, however it dies.

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::bench {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Starts the program at `args[0]` with its standard input, output and error on
// the given descriptors (made with O_CLOEXEC, so that no child inherits the
// others' pipes); the child's PID, or -1.
inline pid_t startChild(const std::vector<QByteArray>& args, int in, int out, int err) {
    std::vector<char*> argv;
    for (const QByteArray& a : args) {
        argv.push_back(const_cast<char*>(a.constData()));
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here: this process has threads.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127); // the benchmark died before the line above
        }
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// SIGTERM, then SIGKILL if the child has not ended within `ms`; reaped either way.
inline void endChild(pid_t pid, int ms) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < ms; waited += 5) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        ::usleep(5000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// One line a child wrote, and when this process read it.
struct Stamped {
    Clock::time_point at;
    QByteArray text;
};

// corvane-vradio as a program of its own on a pseudo-terminal.
class VradioProcess {
public:
    // `log`: every command it hears on its standard error (its --log).
    VradioProcess(const QByteArray& program, const QString& radio, int baud, const QString& link,
                  bool log)
        : m_link(link) {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<QByteArray> args{
            program,  "--radio",    radio.toUtf8(), "--speed", QByteArray::number(baud),
            "--link", link.toUtf8()};
        if (log) {
            args.emplace_back("--log");
        }
        m_pid = startChild(args, in[0], out[1], err[1]);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        m_in = in[1];
        m_reader = std::thread([this, o = out[0], e = err[0]] { readLoop(o, e); });
    }
    ~VradioProcess() {
        // SIGTERM: it removes its link and ends.
        endChild(m_pid, 2000);
        if (m_wake[1] >= 0) {
            const char b = 'q';
            (void)!::write(m_wake[1], &b, 1);
        }
        if (m_reader.joinable()) {
            m_reader.join();
        }
        for (const int fd : {m_in, m_wake[0], m_wake[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    VradioProcess(const VradioProcess&) = delete;
    VradioProcess& operator=(const VradioProcess&) = delete;

    // Waits at most `ms` for the terminal's path on its first line of output
    // and the link pointing at it; the path, or empty.
    QString waitForTerminal(int ms) {
        for (int waited = 0; waited <= ms; waited += 5) {
            {
                const std::lock_guard lock(m_mutex);
                const qsizetype end = m_out.indexOf('\n');
                if (end > 0 && QFileInfo::exists(m_link)) {
                    return QString::fromLocal8Bit(m_out.left(end));
                }
            }
            ::usleep(5000);
        }
        return {};
    }
    // One front-panel command (docs/vradio.md).
    void command(const QByteArray& line) {
        const QByteArray text = line + '\n';
        (void)!::write(m_in, text.constData(), static_cast<size_t>(text.size()));
    }
    // Lines of its standard error so far.
    size_t logSize() const {
        const std::lock_guard lock(m_mutex);
        return m_log.size();
    }
    // Lines of its standard error from position `from` on.
    std::vector<Stamped> log(size_t from) const {
        const std::lock_guard lock(m_mutex);
        return {m_log.begin() + static_cast<ptrdiff_t>(std::min(from, m_log.size())), m_log.end()};
    }

private:
    // On a thread of its own, so that a line is stamped when it arrives and
    // not when the window's thread gets round to it.
    void readLoop(int out, int err) {
        QByteArray partial;
        pollfd fds[] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        while (fds[0].fd >= 0 || fds[1].fd >= 0) {
            if (::poll(fds, 3, -1) < 0 || (fds[2].revents & POLLIN) != 0) {
                break;
            }
            const Clock::time_point now = Clock::now();
            char buffer[4096];
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) {
                    continue;
                }
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1; // poll skips negative descriptors
                    continue;
                }
                const std::lock_guard lock(m_mutex);
                if (i == 0) {
                    m_out.append(buffer, n);
                    continue;
                }
                partial.append(buffer, n);
                for (qsizetype end; (end = partial.indexOf('\n')) >= 0;) {
                    m_log.push_back({now, partial.left(end)});
                    partial.remove(0, end + 1);
                }
            }
        }
        for (const pollfd& f : fds) {
            if (f.fd >= 0 && f.fd != m_wake[0]) {
                ::close(f.fd);
            }
        }
    }

    QString m_link;
    pid_t m_pid = -1;
    int m_in = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_reader;
    mutable std::mutex m_mutex;
    QByteArray m_out;
    std::vector<Stamped> m_log;
};

// rigctl -m <model> -r <port> -s <baud> -, kept open: commands go to its
// standard input, one a line, and it prints each command and its answer
// ("f 7100000") on its standard output.
class RigctlShell {
public:
    RigctlShell(const QByteArray& program, int model, const QString& port, int baud) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        m_pid = startChild({program, "-m", QByteArray::number(model), "-r", port.toLocal8Bit(),
                            "-s", QByteArray::number(baud), "-"},
                           in[0], out[1], quiet);
        ::close(quiet);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~RigctlShell() {
        if (m_in >= 0) {
            ::close(m_in); // end of its input: it closes the radio and ends
        }
        if (m_pid > 0) {
            for (int waited = 0; waited < 1000; waited += 5) {
                if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                    m_pid = -1;
                    break;
                }
                ::usleep(5000);
            }
            endChild(m_pid, 1000);
        }
        if (m_out >= 0) {
            ::close(m_out);
        }
    }
    RigctlShell(const RigctlShell&) = delete;
    RigctlShell& operator=(const RigctlShell&) = delete;

    bool started() const { return m_pid > 0; }

    // Writes `commands` and reads until a line of output satisfies `last`;
    // the lines read, or nothing after `ms`. Blocks this thread meanwhile.
    std::optional<QList<QByteArray>> exchange(const QByteArray& commands,
                                              const std::function<bool(const QByteArray&)>& last,
                                              int ms) {
        if (::write(m_in, commands.constData(), static_cast<size_t>(commands.size())) !=
            commands.size()) {
            return std::nullopt;
        }
        QList<QByteArray> lines;
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
        for (Clock::time_point now; (now = Clock::now()) < until;) {
            for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
                lines.append(m_pending.left(end));
                m_pending.remove(0, end + 1);
                if (last(lines.back())) {
                    return lines;
                }
            }
            pollfd fd{m_out, POLLIN, 0};
            const int left = static_cast<int>(msBetween(now, until)) + 1;
            if (::poll(&fd, 1, left) <= 0) {
                continue;
            }
            char buffer[1024];
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0) {
                return std::nullopt; // it ended
            }
            m_pending.append(buffer, n);
        }
        return std::nullopt;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    QByteArray m_pending;
};

} // namespace corvane::bench

#include "vradio/Console.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>

namespace corvane::vradio {

struct ConsoleWriter::State {
    int fd;
    size_t limit;
    std::mutex mutex;
    std::condition_variable wake;  // something to write
    std::condition_variable drain; // all written
    QByteArray pending;            // guarded by mutex
    size_t writing = 0;            // bytes being written; guarded by mutex
    bool gone = false;             // the reader has gone; guarded by mutex
    uint64_t dropped = 0;          // lines left out; guarded by mutex

    // Says how many lines were left out, and starts counting again.
    QByteArray note() {
        const QByteArray text = "(" + QByteArray::number(qulonglong(dropped)) +
                                " lines left out: the output was not being read)\n";
        dropped = 0;
        return text;
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return !pending.isEmpty(); });
            QByteArray out;
            out.swap(pending);
            writing = size_t(out.size());
            lock.unlock();
            bool failed = false;
            for (qsizetype at = 0; at < out.size();) {
                const ssize_t n = ::write(fd, out.constData() + at, size_t(out.size() - at));
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    failed = true;
                    break;
                }
                at += n;
            }
            lock.lock();
            writing = 0;
            if (failed) {
                gone = true;
                pending.clear();
            } else if (pending.isEmpty() && dropped > 0) {
                pending = note();
                continue;
            }
            drain.notify_all();
        }
    }
};

ConsoleWriter::ConsoleWriter(int fd, size_t limit) : m_state(std::make_shared<State>()) {
    m_state->fd = fd;
    m_state->limit = limit;
    // Signals go to the program's own thread, never to this one.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    // Detached: at the program's end it may be inside a write nobody takes.
    std::thread([state = m_state] { state->run(); }).detach();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

ConsoleWriter::~ConsoleWriter() = default;

void ConsoleWriter::say(const QByteArray& text) {
    State& s = *m_state;
    std::lock_guard lock(s.mutex);
    if (s.gone) {
        return;
    }
    const size_t size = s.writing + size_t(s.pending.size()) + size_t(text.size()) + 1;
    if (size > s.limit) {
        ++s.dropped;
        return;
    }
    if (s.dropped > 0) {
        s.pending += s.note();
    }
    s.pending += text;
    s.pending += '\n';
    s.wake.notify_one();
}

bool ConsoleWriter::flush(std::chrono::milliseconds limit) {
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    return s.drain.wait_for(lock, limit,
                            [&] { return s.gone || (s.pending.isEmpty() && s.writing == 0); });
}

void CommandLines::feed(const char* bytes, qsizetype size) {
    const char* const end = bytes + size;
    while (bytes < end) {
        const char* newline =
            static_cast<const char*>(std::memchr(bytes, '\n', size_t(end - bytes)));
        const qsizetype piece = (newline != nullptr ? newline : end) - bytes;
        if (m_skipped >= 0) {
            m_skipped += piece;
        } else if (m_typed.size() + piece > longest) {
            m_skipped = m_typed.size() + piece;
            m_typed.clear();
            m_typed.squeeze();
        } else {
            m_typed.append(bytes, piece);
        }
        if (newline == nullptr) {
            return;
        }
        bytes = newline + 1;
        if (m_skipped >= 0) {
            const qsizetype skipped = m_skipped;
            m_skipped = -1;
            m_tooLong(skipped);
        } else {
            const QByteArray command = m_typed;
            m_typed.clear();
            m_command(command);
        }
    }
}

void runStatusConsole(ConsoleWriter& out, int quitFd, const std::function<QString()>& status,
                      const QByteArray& help, const QByteArray& what) {
    QSocketNotifier quit(quitFd, QSocketNotifier::Read);
    QObject::connect(&quit, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    CommandLines commands(
        [&](const QByteArray& line) {
            const QByteArray command = line.trimmed();
            if (command == "status") {
                out.say(status().toLocal8Bit());
            } else if (command == "help") {
                out.say(help);
            } else if (!command.isEmpty()) {
                out.say("unknown command (" + what + " knows status and help)");
            }
        },
        [&](qsizetype bytes) {
            out.say(QByteArray("a command line of ") + QByteArray::number(bytes) +
                    " bytes: ignored");
        });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, qApp, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            return;
        }
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        commands.feed(buffer, n);
    });
    QCoreApplication::exec();
}

} // namespace corvane::vradio

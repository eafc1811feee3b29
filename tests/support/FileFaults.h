#pragma once

// What the code under test writes on stderr, and a FIFO that is opened from
// the other side after a while, so that code blocking on it is let go (and
// caught) instead of hanging the test.

#include <QFile>
#include <QTemporaryFile>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::testsupport {

// Everything written on stderr (fd 2) while it lives.
class StderrCapture {
public:
    StderrCapture() {
        m_file.open();
        std::fflush(stderr);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }

    // Read through a descriptor of its own, leaving the writers' offset alone.
    QString text() const {
        std::fflush(stderr);
        QFile f(m_file.fileName());
        f.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(f.readAll());
    }

private:
    int m_saved = ::dup(STDERR_FILENO);
    QTemporaryFile m_file;
};

// A FIFO at `path`. Unless blocked() is asked within three seconds, the FIFO
// is opened once from the side that lets a blocked reader or writer go on, and
// closed again; blocked() then says so. Left unasked, it lets go on its way out.
class FifoTrap {
public:
    explicit FifoTrap(const QString& path) : m_path(QFile::encodeName(path)) {
        ::mkfifo(m_path.constData(), 0600);
        // The writer let go by a reader that leaves at once must not end the test.
        std::signal(SIGPIPE, SIG_IGN);
        m_letGo = std::async(std::launch::async, [this, asked = m_asked.get_future()] {
            if (asked.wait_for(std::chrono::seconds(3)) == std::future_status::ready) {
                return false;
            }
            for (const int side : {O_WRONLY, O_RDONLY}) {
                ::close(::open(m_path.constData(), side | O_NONBLOCK));
            }
            return true;
        });
    }

    bool blocked() {
        m_asked.set_value();
        return m_letGo.get();
    }

private:
    QByteArray m_path;
    std::promise<void> m_asked;
    std::future<bool> m_letGo;
};

} // namespace corvane::testsupport

#pragma once

// A program the tests run beside themselves (the virtual radio, its tap and
// replay, rigctl): its standard input, output and error on pipes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>
#include <vector>

namespace corvane::testsupport {

// A child process with its standard input, output and error on pipes; ended
// by its PID when it goes (and killed by the kernel if this test dies).
class Child {
public:
    explicit Child(const QStringList& args) {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<QByteArray> bytes;
        for (const QString& a : args) {
            bytes.push_back(QFile::encodeName(a));
        }
        std::vector<char*> argv;
        for (QByteArray& b : bytes) {
            argv.push_back(b.data());
        }
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        m_in = in[1];
        m_out = out[0];
        m_err = err[0];
        fcntl(m_err, F_SETFL, O_NONBLOCK);
    }
    ~Child() {
        // SIGTERM first: a tap or a replay removes its link then.
        if (m_pid > 0 && !end(3000)) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const int fd : {m_in, m_out, m_err}) {
            ::close(fd);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    void type(const QByteArray& line) {
        EXPECT_EQ(::write(m_in, line.constData(), size_t(line.size())), line.size());
    }
    // The next line of its output, waiting at most `ms`.
    std::optional<QByteArray> line(int ms) {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qsizetype end = m_text.indexOf('\n');
            if (end >= 0) {
                const QByteArray l = m_text.left(end);
                m_text.remove(0, end + 1);
                return l;
            }
            pollfd p{m_out, POLLIN, 0};
            char buffer[4096];
            const int left = int(ms - t.elapsed());
            ssize_t n = 0;
            if (left <= 0 || ::poll(&p, 1, left) <= 0 || (n = ::read(m_out, buffer, 4096)) <= 0) {
                return std::nullopt;
            }
            m_text.append(buffer, n);
        }
    }
    // Whether its standard error says `text` within `ms`.
    bool says(const QByteArray& text, int ms = 3000) {
        for (int waited = 0; !errors().contains(text); waited += 5) {
            if (waited > ms) {
                return false;
            }
            ::usleep(5000);
        }
        return true;
    }
    QByteArray errors() {
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_err, buffer, sizeof buffer)) > 0;) {
            m_errText.append(buffer, n);
        }
        return m_errText;
    }
    // SIGTERM (unless `sig` says otherwise) and its wait status, within `ms`.
    std::optional<int> end(int ms, int sig = SIGTERM) {
        if (sig != 0 && !m_status) {
            ::kill(m_pid, sig);
        }
        for (int waited = 0; !m_status && waited <= ms; waited += 5) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_status = status;
            } else {
                ::usleep(5000);
            }
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    QByteArray m_text;
    QByteArray m_errText;
    std::optional<int> m_status;
};

} // namespace corvane::testsupport

// corvane-vradio as a process on its pseudo-terminal, as people and scripts
// run it: the signals that end it, the --link it is given, a flood on its
// line, and standard input and output that misbehave. Every radio is a child
// of this test, killed by its PID when a case ends (and by the kernel when the
// test itself dies); its link is in a folder of the case's own.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

qint64 rssKb(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLongLong();
        }
    }
    return -1;
}

// One corvane-vradio, its standard input, output and error on pipes.
class Program {
public:
    // `ignored`: a signal it starts with ignored, as under nohup (0: none).
    explicit Program(const QStringList& args, int ignored = 0) {
        int in[2];
        int out[2];
        int err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<QByteArray> bytes{QByteArray(CORVANE_VRADIO)};
        for (const QString& a : args) {
            bytes.push_back(QFile::encodeName(a));
        }
        std::vector<char*> argv;
        for (QByteArray& b : bytes) {
            argv.push_back(b.data());
        }
        argv.push_back(nullptr);
        // A sanitizer's quarantine of freed memory would count as the radio's own.
        // (This process read its options at start: they stay as they were.)
        static const bool quarantine =
            qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":quarantine_size_mb=8");
        static_cast<void>(quarantine);
        m_pid = ::fork();
        if (m_pid == 0) {
            // Goes with this test, also when it is killed or aborts.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            for (int sig = 1; sig < NSIG; ++sig) {
                if (sig != SIGKILL && sig != SIGSTOP) {
                    std::signal(sig, sig == ignored ? SIG_IGN : SIG_DFL);
                }
            }
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
        fcntl(m_out, F_SETFL, O_NONBLOCK);
        fcntl(m_err, F_SETFL, O_NONBLOCK);
    }
    ~Program() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_in, m_out, m_err}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return m_pid; }
    bool started() const { return m_pid > 0; }

    // Types `text` on its standard input, within `ms`; false if it would not take it.
    bool type(const QByteArray& text, int ms = 2000) {
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < text.size();) {
            pollfd p{m_in, POLLOUT, 0};
            const int left = int(ms - t.elapsed());
            if (left <= 0 || ::poll(&p, 1, left) <= 0) {
                return false;
            }
            const ssize_t n = ::write(m_in, text.constData() + at, size_t(text.size() - at));
            if (n <= 0) {
                return false;
            }
            at += n;
        }
        return true;
    }

    // The next line of its standard output (the next with `text` in it, if
    // given), waiting at most `ms`.
    std::optional<QByteArray> line(int ms, const QByteArray& text = {}) {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const qsizetype end = m_outText.indexOf('\n');
            if (end >= 0) {
                const QByteArray line = m_outText.left(end);
                m_outText.remove(0, end + 1);
                if (line.contains(text)) {
                    return line;
                }
                continue;
            }
            const int left = int(ms - t.elapsed());
            pollfd p{m_out, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, left) <= 0) {
                return std::nullopt;
            }
            char buffer[4096];
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0) {
                return std::nullopt;
            }
            m_outText.append(buffer, n);
        }
    }
    void closeOutput() {
        ::close(m_out);
        m_out = -1;
    }
    // What it wrote on standard error so far.
    QByteArray errors() {
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_err, buffer, sizeof buffer)) > 0;) {
            m_errText.append(buffer, n);
        }
        return m_errText;
    }

    // Waits at most `ms` for it to end; its wait status, or nothing.
    std::optional<int> end(int ms) {
        for (int waited = 0; !m_status && waited <= ms; waited += 5) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_status = status;
                break;
            }
            ::usleep(5000);
        }
        return m_status;
    }
    bool running() { return !end(0); }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    QByteArray m_outText;
    QByteArray m_errText;
    std::optional<int> m_status;
};

// A program's side of the radio's port, opened through its link.
class Port {
public:
    explicit Port(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Port() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    bool open() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Sends `command` and reads until what came ends with `expected`, at most `ms`.
    QByteArray ask(const QByteArray& command, const QByteArray& expected, int ms) {
        ::tcflush(m_fd, TCIFLUSH);
        if (::write(m_fd, command.constData(), size_t(command.size())) != command.size()) {
            return {};
        }
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (!got.endsWith(expected) && t.elapsed() < ms) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(ms - t.elapsed())) <= 0) {
                break;
            }
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, n);
            }
        }
        return got;
    }

private:
    int m_fd;
};

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) {
            return false;
        }
        ::usleep(2000);
    }
    return true;
}

bool isLink(const QString& path) {
    return QFileInfo(path).isSymLink();
}

class VradioProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString link() const { return dir.filePath(QStringLiteral("radio")); }
    // A TS-2000 on the link, up and answering; its terminal's path.
    QByteArray startRadio(Program& radio) {
        if (!radio.started()) {
            ADD_FAILURE() << "not started";
            return {};
        }
        const auto terminal = radio.line(5000);
        if (!terminal || !terminal->startsWith("/dev/pts/")) {
            ADD_FAILURE() << "no terminal: " << radio.errors().toStdString();
            return {};
        }
        EXPECT_EQ(QFile::symLinkTarget(link()), QFile::decodeName(*terminal));
        return *terminal;
    }
    QStringList ts2000() const {
        return {QStringLiteral("--radio"), QStringLiteral("TS-2000"), QStringLiteral("--link"),
                link()};
    }
    // Ends it with SIGTERM: ended by that signal, its link removed.
    void stop(Program& radio) {
        ::kill(radio.pid(), SIGTERM);
        const auto status = radio.end(5000);
        ASSERT_TRUE(status.has_value()) << "still running after SIGTERM";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM) << *status;
        EXPECT_FALSE(QFile::exists(link()));
    }
    // Ends at once with status 1, saying `said` on its standard error.
    static void expectRefused(Program& radio, const char* said) {
        const auto status = radio.end(5000);
        ASSERT_TRUE(status.has_value()) << "it runs on a link it must not take";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
        EXPECT_TRUE(radio.errors().contains(said)) << radio.errors().toStdString();
    }

    QTemporaryDir dir;
};

// --- every signal that ends it removes its link ---

struct SignalCase {
    int sig;
    const char* name;
    bool ends;          // else it plays on
    bool crash;         // ends as by a crash: a sanitizer may report it its own way
    bool nohup = false; // started with the signal ignored, as under nohup
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class Signals : public VradioProcess, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(Signals, NoLinkIsLeftToATerminalNumberThatGoesToAnotherProgram) {
    const SignalCase& c = GetParam();
    Program radio(ts2000(), c.nohup ? c.sig : 0);
    const QByteArray terminal = startRadio(radio);
    ASSERT_FALSE(terminal.isEmpty());
    // A program is on the port through the link, as rigctl would be.
    Port port(link());
    ASSERT_TRUE(port.open());
    ASSERT_EQ(port.ask("ID;", "ID019;", 2000).toStdString(), "ID019;");

    ASSERT_EQ(::kill(radio.pid(), c.sig), 0);
    if (!c.ends) {
        ::usleep(300000);
        EXPECT_TRUE(radio.running()) << c.name << " ended it";
        EXPECT_TRUE(isLink(link()));
        EXPECT_EQ(port.ask("ID;", "ID019;", 2000).toStdString(), "ID019;");
        ::kill(radio.pid(), SIGTERM);
    }
    const auto status = radio.end(5000);
    ASSERT_TRUE(status.has_value()) << "still running after " << c.name;
    EXPECT_FALSE(isLink(link())) << c.name << " left the link";
    EXPECT_FALSE(QFile::exists(link()));
    if (!c.crash) {
        const int expected = c.ends ? c.sig : SIGTERM;
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == expected)
            << "wait status " << *status << ": not ended by " << c.name;
    }
}

std::string signalName(const ::testing::TestParamInfo<SignalCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Vradio, Signals,
    ::testing::Values(
        SignalCase{SIGHUP, "SIGHUP", true, false}, SignalCase{SIGINT, "SIGINT", true, false},
        SignalCase{SIGTERM, "SIGTERM", true, false}, SignalCase{SIGUSR1, "SIGUSR1", true, false},
        SignalCase{SIGUSR2, "SIGUSR2", true, false}, SignalCase{SIGALRM, "SIGALRM", true, false},
        SignalCase{SIGQUIT, "SIGQUIT", true, false}, SignalCase{SIGABRT, "SIGABRT", true, true},
        SignalCase{SIGSEGV, "SIGSEGV", true, true},
        // A reader of its output that has gone: it plays on.
        SignalCase{SIGPIPE, "SIGPIPE", false, false},
        // nohup corvane-vradio ...: the terminal it was
        // started from may close.
        SignalCase{SIGHUP, "SIGHUPIgnoredFromTheStart", false, false, true}),
    signalName);

// --- the link it is given ---

TEST_F(VradioProcess, ALinkToATerminalAnotherProgramHasOpenIsRefused) {
    // The number of a killed radio's terminal given to another program since
    // (or a link that program keeps): not this program's to take.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    fcntl(master, F_SETFD, FD_CLOEXEC); // this test's, not the radio's
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    ASSERT_TRUE(QFile::link(QFile::decodeName(name), link()));
    Program radio(ts2000());
    expectRefused(radio, "another program has open");
    EXPECT_EQ(QFile::symLinkTarget(link()), QFile::decodeName(name));
    ::close(slave);
    ::close(master);
}

// The first radio takes over a stale link (a killed radio's) and says so; a
// second one is refused while the first holds the link.
TEST_F(VradioProcess, TwoRadiosGivenOneLinkNeverTakeEachOthers) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/pts/99999"), link()));
    Program first(ts2000());
    const QByteArray firstTerminal = startRadio(first);
    ASSERT_FALSE(firstTerminal.isEmpty());
    EXPECT_TRUE(waitFor([&] { return first.errors().contains("stale link"); }, 2000))
        << first.errors().toStdString();
    {
        Program second(ts2000());
        expectRefused(second, "running radio");
        EXPECT_EQ(QFile::symLinkTarget(link()), QFile::decodeName(firstTerminal));
    }
    // Free after the first one's cable is pulled: the second takes it, and
    // the first, plugged back and ended, leaves it to the second.
    ASSERT_TRUE(first.type("unplug\n"));
    ASSERT_TRUE(first.line(3000, "unplugged"));
    EXPECT_FALSE(QFile::exists(link()));
    Program second(
        {QStringLiteral("--radio"), QStringLiteral("IC-R75"), QStringLiteral("--link"), link()});
    const auto secondTerminal = second.line(5000);
    ASSERT_TRUE(secondTerminal.has_value()) << second.errors().toStdString();
    ASSERT_TRUE(first.type("replug\n"));
    const auto replug = first.line(3000);
    ASSERT_TRUE(replug.has_value());
    EXPECT_TRUE(replug->startsWith("replug failed")) << replug->toStdString();
    EXPECT_EQ(QFile::symLinkTarget(link()), QFile::decodeName(*secondTerminal));
    ASSERT_TRUE(first.type("unplug\n"));
    ASSERT_TRUE(first.line(3000, "unplugged"));
    ::kill(first.pid(), SIGTERM);
    ASSERT_TRUE(first.end(5000).has_value());
    EXPECT_EQ(QFile::symLinkTarget(link()), QFile::decodeName(*secondTerminal));
    Port port(link());
    ASSERT_TRUE(port.open());
    const QByteArray id = QByteArray::fromHex("FEFE5AE01900FD");
    EXPECT_TRUE(port.ask(id, QByteArray::fromHex("FEFEE05A19005AFD"), 2000)
                    .endsWith(QByteArray::fromHex("FEFEE05A19005AFD")));
}

// --- a flood on its line ---

TEST_F(VradioProcess, AFloodOnTheLineKeepsItsMemoryAndItStaysResponsive) {
    Program radio(ts2000());
    ASSERT_FALSE(startRadio(radio).isEmpty());
    const qint64 before = rssKb(radio.pid());
    ASSERT_GT(before, 0);
    Port flood(link());
    ASSERT_TRUE(flood.open());
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = char((i * 7919 + (i >> 9)) & 0xFF);
    }
    noise.replace(';', 'x');
    qint64 most = before;
    qint64 sent = 0;
    QElapsedTimer t;
    t.start();
    bool answered = false;
    while (t.elapsed() < 3000) {
        pollfd p{flood.fd(), POLLOUT, 0};
        if (::poll(&p, 1, 10) > 0) {
            const ssize_t n = ::write(flood.fd(), noise.constData(), size_t(noise.size()));
            sent += n > 0 ? n : 0;
        }
        most = std::max(most, rssKb(radio.pid()));
        // Its front panel answers meanwhile.
        if (!answered && t.elapsed() > 1500) {
            ASSERT_TRUE(radio.type("status\n"));
            const auto status = radio.line(1000, "lost to input overruns");
            EXPECT_TRUE(status.has_value()) << "no answer at its front panel during the flood";
            answered = true;
        }
    }
    EXPECT_GT(sent, 8 * 1024 * 1024) << "the radio stopped reading its line: " << sent;
    EXPECT_LT(most - before, 32 * 1024) << "RSS grew from " << before << " to " << most << " kB";
    // The flood ends: at 9600 baud what the input buffer held is through in
    // 0.27 s, and the radio answers again.
    ::usleep(400000);
    EXPECT_TRUE(flood.ask(";FA;", "FA00007050000;", 2000).endsWith("FA00007050000;"));
    stop(radio);
}

// --- its standard input and output ---

TEST_F(VradioProcess, AReaderOfItsOutputThatGoesAwayEndsNothing) {
    // corvane-vradio ... | head -1
    Program radio(ts2000());
    ASSERT_FALSE(startRadio(radio).isEmpty());
    radio.closeOutput();
    ASSERT_TRUE(radio.type("status\nfreq 7100000\nstatus\n"));
    Port port(link());
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.ask("FA;", "FA00007100000;", 3000).toStdString(), "FA00007100000;");
    EXPECT_TRUE(radio.running()) << "ended by the reader's going";
    ASSERT_TRUE(radio.type("freq 7200000\n"));
    EXPECT_EQ(port.ask("FA;", "FA00007200000;", 3000).toStdString(), "FA00007200000;");
    stop(radio);
}

TEST_F(VradioProcess, AnOutputNobodyReadsStopsNothing) {
    // Its output to a pipe that is never read: 64 KiB fill it.
    Program radio(ts2000());
    ASSERT_FALSE(startRadio(radio).isEmpty());
    QByteArray help;
    for (int i = 0; i < 8000; ++i) {
        help += "help\n"; // some 330 bytes of output each: 2.6 MB
    }
    ASSERT_TRUE(radio.type(help));
    ASSERT_TRUE(radio.type("freq 7100000\n"));
    Port port(link());
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.ask("FA;", "FA00007100000;", 3000).toStdString(), "FA00007100000;");
    ASSERT_TRUE(radio.type("freq 7200000\n"));
    EXPECT_EQ(port.ask("FA;", "FA00007200000;", 3000).toStdString(), "FA00007200000;");
    // Read at last: what did not fit was left out, and a note says so.
    EXPECT_TRUE(radio.line(5000, "lines left out").has_value());
}

TEST_F(VradioProcess, AnEndlessCommandLineIsBounded) {
    Program radio(ts2000());
    ASSERT_FALSE(startRadio(radio).isEmpty());
    const qint64 before = rssKb(radio.pid());
    const QByteArray chunk(1024 * 1024, 'a');
    QElapsedTimer t;
    t.start();
    qint64 most = before;
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(radio.type(chunk, 10000 - int(t.elapsed())))
            << "it took only " << i << " MiB of one line in 10 s";
        most = std::max(most, rssKb(radio.pid()));
    }
    ASSERT_TRUE(radio.type("\nstatus\n"));
    const auto refused = radio.line(5000);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->toStdString(),
              "a command line of 67108864 bytes, longer than 4096: ignored");
    const auto status = radio.line(5000);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->startsWith("TS-2000 7050000 Hz")) << status->toStdString();
    EXPECT_LT(most - before, 32 * 1024) << "RSS grew from " << before << " to " << most << " kB";
}

} // namespace

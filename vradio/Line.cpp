#include "vradio/Line.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>

namespace corvane::vradio {

namespace {

int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

QString systemError(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}

QByteArray readLink(const QByteArray& path) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.constData(), target, sizeof target);
    return n <= 0 || n >= static_cast<ssize_t>(sizeof target) ? QByteArray()
                                                              : QByteArray(target, n);
}

QByteArray readSmall(const QByteArray& path) {
    QFile f(QString::fromLocal8Bit(path));
    return f.open(QIODevice::ReadOnly) ? f.read(256).trimmed() : QByteArray();
}

// A running virtual radio holding `terminal` open: this program (by its
// name) or this very process's program (a test's radio), found through
// /proc. `sure` is false where its descriptors could not be looked into.
struct Holder {
    long pid = 0;
    bool sure = true;
};

std::optional<Holder> radioHolding(const QByteArray& terminal) {
    const QByteArray self = readSmall("/proc/self/comm");
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const long pid = entry.toLong(&number);
        if (!number) {
            continue;
        }
        const QByteArray dir = "/proc/" + entry.toLatin1();
        const QByteArray comm = readSmall(dir + "/comm");
        if (comm != "corvane-vradio" && comm != self) {
            continue;
        }
        DIR* fds = ::opendir((dir + "/fd").constData());
        if (fds == nullptr) {
            if (errno == EACCES || errno == EPERM) {
                return Holder{pid, false};
            }
            continue; // ended meanwhile
        }
        bool holds = false;
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] != '.' && readLink(dir + "/fd/" + fd->d_name) == terminal) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (holds) {
            return Holder{pid, true};
        }
    }
    return std::nullopt;
}

// The link a signal handler may remove: set while valid only.
struct {
    char link[PATH_MAX];
    char target[128];
} guarded;
volatile sig_atomic_t guardedValid = 0;

bool copyTo(char* to, size_t size, const QByteArray& from) {
    if (from.size() >= static_cast<qsizetype>(size)) {
        return false;
    }
    std::memcpy(to, from.constData(), static_cast<size_t>(from.size()));
    to[from.size()] = '\0';
    return true;
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
    // The link first: once the terminal is closed its number may go to
    // another program, and nothing may reach that one through the link.
    removeLink();
    close();
    if (m_guarded) {
        guardedValid = 0;
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

int64_t Line::outInterval() const {
    return std::max<int64_t>(byteNs(), int64_t{m_slowMs} * 1'000'000);
}

bool Line::open(QString* error) {
    if (m_timer < 0) {
        *error = QStringLiteral("no timer for the line's pace");
        return false;
    }
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = systemError(QStringLiteral("openpty"));
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
    m_notice.clear();
    if (!makeLink(error)) {
        close();
        return false;
    }
    return true;
}

bool Line::makeLink(QString* error) {
    m_linked = false;
    if (m_linkPath.isEmpty()) {
        return true;
    }
    const QByteArray link = QFile::encodeName(m_linkPath);
    const QByteArray target = QFile::encodeName(m_slavePath);
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Made only where nothing is: never over a file, a device or a link
        // that is not this program's.
        if (::symlink(target.constData(), link.constData()) == 0) {
            m_linked = true;
            publishLink();
            return true;
        }
        if (errno != EEXIST) {
            *error = systemError(QStringLiteral("cannot make the link %1").arg(m_linkPath));
            return false;
        }
        struct stat st {};
        if (::lstat(link.constData(), &st) != 0) {
            continue; // gone meanwhile
        }
        const QByteArray old = S_ISLNK(st.st_mode) ? readLink(link) : QByteArray();
        if (!old.startsWith("/dev/pts/")) {
            *error =
                QStringLiteral("%1 exists and is not a link this program made%2; refusing to "
                               "replace it (give --link a path that does not exist)")
                    .arg(m_linkPath,
                         old.isEmpty()
                             ? QString()
                             : QStringLiteral(" (it points at %1)").arg(QFile::decodeName(old)));
            return false;
        }
        // A terminal exists while a program has it open: one whose terminal
        // is gone has ended. One whose terminal is there may be a running
        // radio's, or another program's that was given the number since, or
        // a link into /dev/pts that another program keeps: all refused.
        if (old != target && ::access(old.constData(), F_OK) == 0) {
            if (const std::optional<Holder> h = radioHolding(old)) {
                *error = h->sure ? QStringLiteral("%1 is the link of a running radio (process "
                                                  "%2, on %3); refusing to take it over")
                                       .arg(m_linkPath)
                                       .arg(h->pid)
                                       .arg(QFile::decodeName(old))
                                 : QStringLiteral("%1 points at %2, which may be the terminal of "
                                                  "a running radio (process %3, which this user "
                                                  "cannot look into); refusing to take it over")
                                       .arg(m_linkPath, QFile::decodeName(old))
                                       .arg(h->pid);
                return false;
            }
            *error = QStringLiteral("%1 points at %2, a terminal that another program has open; "
                                    "refusing to take it over (if it is the link of a radio that "
                                    "has ended, remove it)")
                         .arg(m_linkPath, QFile::decodeName(old));
            return false;
        }
        // A link of a radio that has ended: replaced by one made beside it
        // and renamed over it.
        const QByteArray temporary = link + ".new" + QByteArray::number(getpid());
        ::unlink(temporary.constData());
        if (::symlink(target.constData(), temporary.constData()) != 0 ||
            ::rename(temporary.constData(), link.constData()) != 0) {
            *error = systemError(QStringLiteral("cannot replace the link %1").arg(m_linkPath));
            ::unlink(temporary.constData());
            return false;
        }
        m_notice = QStringLiteral("replaced %1, the stale link of a radio that has ended (it "
                                  "pointed at %2)")
                       .arg(m_linkPath, QFile::decodeName(old));
        m_linked = true;
        publishLink();
        return true;
    }
    *error = QStringLiteral("cannot make the link %1: it keeps changing").arg(m_linkPath);
    return false;
}

void Line::removeLink() {
    if (!m_linked) {
        return;
    }
    m_linked = false;
    publishLink();
    // Only while it is this radio's: another one may have been given the
    // same path meanwhile, or somebody replaced it by hand.
    const QByteArray link = QFile::encodeName(m_linkPath);
    if (readLink(link) == QFile::encodeName(m_slavePath)) {
        ::unlink(link.constData());
    }
}

void Line::guardLinkOnSignals() {
    m_guarded = true;
    publishLink();
}

void Line::publishLink() {
    if (!m_guarded) {
        return;
    }
    guardedValid = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (m_linked && copyTo(guarded.link, sizeof guarded.link, QFile::encodeName(m_linkPath)) &&
        copyTo(guarded.target, sizeof guarded.target, QFile::encodeName(m_slavePath))) {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        guardedValid = 1;
    }
}

void Line::removeLinkOnSignal() {
    if (guardedValid == 0) {
        return;
    }
    char target[sizeof guarded.target];
    const ssize_t n = ::readlink(guarded.link, target, sizeof target);
    if (n > 0 && static_cast<size_t>(n) == std::strlen(guarded.target) &&
        std::memcmp(target, guarded.target, static_cast<size_t>(n)) == 0) {
        ::unlink(guarded.link);
    }
    guardedValid = 0;
}

void Line::close() {
    m_readNotifier.reset();
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
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
    // whichever program gets its number next.
    removeLink();
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
    int64_t free = nowNs();
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
    const int64_t now = nowNs();
    // A bounded share of what is there each turn of the event loop: a
    // writer faster than this reads does not keep the radio from its work.
    for (int turn = 0; turn < 16; ++turn) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
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
        const ssize_t n = ::write(m_master, due.constData(), static_cast<size_t>(due.size()));
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

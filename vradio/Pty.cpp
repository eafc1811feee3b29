#include "vradio/Pty.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <optional>

namespace corvane::vradio {

namespace {

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

Pty::~Pty() {
    close();
    if (m_guarded) {
        guardedValid = 0;
    }
}

bool Pty::open(QString* error) {
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
    m_notice.clear();
    if (!makeLink(error)) {
        close();
        return false;
    }
    return true;
}

void Pty::close() {
    // The link first: once the terminal is closed its number may go to
    // another program, and nothing may reach that one through the link.
    removeLink();
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

bool Pty::makeLink(QString* error) {
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

void Pty::removeLink() {
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

void Pty::guardLinkOnSignals() {
    m_guarded = true;
    publishLink();
}

void Pty::publishLink() {
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

void Pty::removeLinkOnSignal() {
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

} // namespace corvane::vradio

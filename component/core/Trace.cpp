#include "component/core/Trace.h"

#include "component/json/JsonText.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace corvane::component {

namespace {
QString joined(std::initializer_list<TraceArg> args) {
    QString out;
    for (const TraceArg& a : args) {
        if (!out.isEmpty()) {
            out += QLatin1String(", ");
        }
        out += a.format();
    }
    return out;
}
} // namespace

QString TraceArg::format() const {
    return text != nullptr ? quoted(*text) : QString::number(number);
}

Trace::Trace(const QString& target) : m_target(target) {}

Trace::~Trace() {
    if (m_ownsFile) {
        std::fclose(m_out);
    }
}

void Trace::protect(const QString& path, const QString& what) {
    m_protected.append({path, what});
}

void Trace::fail(const QString& why) {
    m_failed = true;
    std::fprintf(stderr, "corvane: no trace is written to %s: %s\n",
                 QFile::encodeName(m_target).constData(), why.toLocal8Bit().constData());
}

namespace {

const QString kNotAFile = QStringLiteral("not a regular file (use - for stderr)");
const QString kDevice =
    QStringLiteral("it is a device other than the program's own terminal (use - for stderr)");

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The name a file created under `name` gets: the symbolic links at its end
// followed, its folder resolved by the system (links, ".."). Empty when that
// folder does not exist, where nothing can be created.
QByteArray createdName(QByteArray name) {
    for (int hops = 0; hops < 40; ++hops) {
        char link[4096];
        const ssize_t n = ::readlink(name.constData(), link, sizeof link);
        if (n <= 0 || static_cast<size_t>(n) == sizeof link) {
            break;
        }
        QByteArray to(link, n);
        if (!to.startsWith('/')) {
            to.prepend(name.left(name.lastIndexOf('/') + 1));
        }
        name = to;
    }
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : name.left(std::max<qsizetype>(slash, 1));
    char* real = ::realpath(folder.constData(), nullptr);
    if (real == nullptr) {
        return {};
    }
    QByteArray out(real);
    std::free(real);
    if (!out.endsWith('/')) {
        out += '/';
    }
    return out + name.mid(slash + 1);
}

// Whether `target` (its stat in `st` when it exists) names the file `path`
// names, or would create it.
bool sameFile(const QByteArray& target, const struct stat* st, const QString& path) {
    const QByteArray other = QFile::encodeName(path);
    struct stat ot {};
    const bool exists = ::stat(other.constData(), &ot) == 0;
    if (st != nullptr || exists) {
        return st != nullptr && exists && sameInode(*st, ot);
    }
    const QByteArray created = createdName(target);
    return !created.isEmpty() && created == createdName(other);
}

// The devices a trace may go to: the terminal the program was started from
// (its own controlling terminal, /dev/tty, included) and the kernel's sinks
// /dev/null, /dev/zero and /dev/full, which reach nothing.
bool writableDevice(const struct stat& st) {
    const unsigned int maj = major(st.st_rdev);
    const unsigned int min = minor(st.st_rdev);
    if ((maj == 1 && (min == 3 || min == 5 || min == 7)) || (maj == 5 && min == 0)) {
        return true;
    }
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat own {};
        if (::isatty(fd) != 0 && ::fstat(fd, &own) == 0 && S_ISCHR(own.st_mode) &&
            own.st_rdev == st.st_rdev) {
            return true;
        }
    }
    return false;
}

// Why a file of this kind is refused; empty when it is taken.
QString refusedKind(const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
        return {};
    }
    if (S_ISCHR(st.st_mode)) {
        return writableDevice(st) ? QString() : kDevice;
    }
    return kNotAFile;
}

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

const Trace::Protected* Trace::inUse() const {
    const QByteArray name = QFile::encodeName(m_target);
    struct stat st {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    for (const Protected& p : m_protected) {
        if (sameFile(name, exists ? &st : nullptr, p.path)) {
            return &p;
        }
    }
    return nullptr;
}

bool Trace::open() {
    if (m_target == QLatin1String("-")) {
        m_out = stderr;
        return true;
    }
    if (const Protected* p = inUse()) {
        fail(QStringLiteral("it is ") + p->what);
        return false;
    }
    const QByteArray name = QFile::encodeName(m_target);
    struct stat st {};
    // Refused before it is opened: opening a serial port alone may switch
    // its control lines.
    if (::stat(name.constData(), &st) == 0 && !refusedKind(st).isEmpty()) {
        fail(refusedKind(st));
        return false;
    }
    // Without O_TRUNC until it is known what was opened; O_NONBLOCK so that
    // a FIFO made in the meantime cannot hang the open.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail(errnoText(errno));
        return false;
    }
    // Again for what was opened: the name may have changed hands meanwhile.
    QString refused = ::fstat(fd, &st) != 0 ? kNotAFile : refusedKind(st);
    for (const Protected& p : m_protected) {
        if (refused.isEmpty() && sameFile(name, &st, p.path)) {
            refused = QStringLiteral("it is ") + p.what;
        }
    }
    if (!refused.isEmpty()) {
        ::close(fd);
        fail(refused);
        return false;
    }
    if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        fail(errnoText(err));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_out = ::fdopen(fd, "w");
    if (m_out == nullptr) {
        ::close(fd);
        fail(errnoText(errno));
        return false;
    }
    m_ownsFile = true;
    return true;
}

void Trace::call(const char* op, std::initializer_list<TraceArg> args, const QString& tail) {
    write(QStringLiteral("call %1(%2)%3").arg(QLatin1String(op), joined(args), tail));
}

void Trace::property(const char* name, int64_t value) {
    write(QStringLiteral("call %1 <- %2").arg(QLatin1String(name)).arg(value));
}

void Trace::event(const char* name, std::initializer_list<TraceArg> args) {
    write(QStringLiteral("event %1(%2)").arg(QLatin1String(name), joined(args)));
}

void Trace::write(const QString& line) {
    if (!on() || (m_out == nullptr && !open())) {
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    const size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out);
    if (std::fflush(m_out) != 0 || written != static_cast<size_t>(bytes.size())) {
        const int err = errno;
        std::clearerr(m_out);
        m_failed = true;
        std::fprintf(stderr, "corvane: writing the trace to %s failed (%s); the trace ends here\n",
                     QFile::encodeName(m_target).constData(), std::strerror(err));
    }
}

} // namespace corvane::component

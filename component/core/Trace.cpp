#include "component/core/Trace.h"

#include "component/json/JsonText.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
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

void Trace::protect(const QString& path) {
    m_protected.append(path);
}

void Trace::fail(const QString& why) {
    m_failed = true;
    std::fprintf(stderr, "corvane: no trace is written to %s: %s\n",
                 QFile::encodeName(m_target).constData(), why.toLocal8Bit().constData());
}

namespace {

bool sameFile(const QString& a, const struct stat& at, const QString& b) {
    struct stat bt {};
    if (::stat(QFile::encodeName(b).constData(), &bt) == 0) {
        return at.st_dev == bt.st_dev && at.st_ino == bt.st_ino;
    }
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

bool Trace::open() {
    if (m_target == QLatin1String("-")) {
        m_out = stderr;
        return true;
    }
    const QByteArray name = QFile::encodeName(m_target);
    struct stat st {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    for (const QString& path : m_protected) {
        if (exists ? sameFile(m_target, st, path)
                   : QFileInfo(m_target).absoluteFilePath() == QFileInfo(path).absoluteFilePath()) {
            fail(QStringLiteral("it is %1, which is in use").arg(path));
            return false;
        }
    }
    if (exists && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) {
        fail(QStringLiteral("not a regular file (use - for stderr)"));
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
    if (::fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode))) {
        ::close(fd);
        fail(QStringLiteral("not a regular file (use - for stderr)"));
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

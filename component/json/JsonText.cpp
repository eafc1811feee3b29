#include "component/json/JsonText.h"

#include <algorithm>

#include "receiver/RuntimeError.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::component {

QString describeParseError(const QByteArray& text, const QJsonParseError& error) {
    const qsizetype offset = std::clamp<qsizetype>(error.offset, 0, text.size());
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (text.at(i) == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return QStringLiteral("not valid JSON at line %1, column %2 (offset %3): %4")
        .arg(line)
        .arg(offset - lineStart + 1)
        .arg(offset)
        .arg(error.errorString());
}

namespace {

// Reads at most maxJsonBytes + 1 bytes of `file`: one past the cap, so a file
// that grew after it was measured is refused rather than cut.
template <typename Read> QByteArray readUpToCap(qint64 size, Read&& read, QString& error) {
    // Without reserving the whole cap: profiles are small and several are
    // read at start-up.
    QByteArray bytes(std::min<qint64>(size, maxJsonBytes) + 1, Qt::Uninitialized);
    qsizetype have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (bytes.size() > maxJsonBytes) {
                break;
            }
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, maxJsonBytes + 1));
        }
        const qint64 n = read(bytes.data() + have, bytes.size() - have);
        if (n < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
        if (n == 0) {
            break;
        }
        have += n;
    }
    bytes.resize(have);
    return bytes;
}

} // namespace

QByteArray readCapped(const QString& path, const QString& what) {
    auto failure = [&](const QString& problem) {
        return receiver::RuntimeError::componentFailure(
            QStringLiteral("%1 %2: %3").arg(what, path, problem));
    };
    auto tooBig = [&](qint64 size) {
        return failure(
            QStringLiteral("%1 bytes, more than the %2 allowed").arg(size).arg(maxJsonBytes));
    };
    QString error;
    QByteArray bytes;
    if (path.startsWith(u':')) {
        // Compiled into the program: nothing there can block.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throw failure(QStringLiteral("no such file"));
        }
        bytes = readUpToCap(
            file.size(), [&](char* to, qint64 n) { return file.read(to, n); }, error);
    } else {
        // Opened without blocking and then looked at: a FIFO or a device put
        // where the file should be would otherwise hang the program on open
        // or on read, before its window appears.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            if (err == ENOENT) {
                throw failure(QStringLiteral("no such file"));
            }
            if (err == ELOOP) {
                throw failure(QStringLiteral("is a symbolic link that loops"));
            }
            throw failure(QStringLiteral("cannot be read (%1)")
                              .arg(QString::fromLocal8Bit(std::strerror(err))));
        }
        const struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            throw failure(QStringLiteral("cannot be read (%1)")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        if (S_ISDIR(st.st_mode)) {
            throw failure(QStringLiteral("is a directory"));
        }
        if (!S_ISREG(st.st_mode)) {
            throw failure(QStringLiteral("is not a regular file (a FIFO, device or socket)"));
        }
        if (st.st_size > maxJsonBytes) {
            throw tooBig(st.st_size);
        }
        bytes = readUpToCap(
            st.st_size,
            [&](char* to, qint64 n) {
                ssize_t r = 0;
                do {
                    r = ::read(fd, to, static_cast<size_t>(n));
                } while (r < 0 && errno == EINTR);
                return static_cast<qint64>(r);
            },
            error);
    }
    if (!error.isEmpty()) {
        throw failure(QStringLiteral("cannot be read (%1)").arg(error));
    }
    if (bytes.size() > maxJsonBytes) {
        throw failure(QStringLiteral("more than %1 bytes").arg(maxJsonBytes));
    }
    return bytes;
}

QString quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"') {
            out += QLatin1String("\\\"");
        } else if (u == u'\\') {
            out += QLatin1String("\\\\");
        } else if (u < 0x20 || u == 0x7f) {
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += u'"';
    return out;
}

} // namespace corvane::component

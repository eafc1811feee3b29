#include "component/store/JsonText.h"

#include <algorithm>

#include "receiver/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace corvane::component {

std::optional<int32_t> wholeInt32(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < std::numeric_limits<int32_t>::min() ||
        d > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(d);
}

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

QByteArray readCapped(const QString& path, const QString& what) {
    auto failure = [&](const QString& problem) {
        return receiver::RuntimeError::componentFailure(
            QStringLiteral("%1 %2: %3").arg(what, path, problem));
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        throw failure(QStringLiteral("no such file"));
    }
    if (info.isDir()) {
        throw failure(QStringLiteral("is a directory"));
    }
    if (info.size() > maxJsonBytes) {
        throw failure(QStringLiteral("%1 bytes, more than the %2 allowed")
                          .arg(info.size())
                          .arg(maxJsonBytes));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw failure(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    }
    // Read one byte past what the size said (a file that grew after the check
    // is refused rather than cut), without reserving the whole cap: profiles
    // are small and several are read at start-up.
    QByteArray bytes = file.read(std::min<qint64>(info.size(), maxJsonBytes) + 1);
    while (bytes.size() <= maxJsonBytes && !file.atEnd()) {
        const QByteArray more = file.read(maxJsonBytes + 1 - bytes.size());
        if (more.isEmpty()) {
            break;
        }
        bytes += more;
    }
    if (bytes.size() > maxJsonBytes) {
        throw failure(QStringLiteral("more than %1 bytes").arg(maxJsonBytes));
    }
    if (file.error() != QFileDevice::NoError) {
        throw failure(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
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

#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace corvane::fuzz {

// A broken property: say which and stop, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const QString& message) {
    std::fprintf(stderr, "property broken: %s\n", message.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// The input as it can be pasted into a test: printable ASCII as it is, the
// rest as \uXXXX.
inline QString escaped(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'\\' && c != u'"') {
            out += c;
        } else {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return u'"' + out + u'"';
}

} // namespace corvane::fuzz

#include "component/core/Trace.h"

#include "component/store/JsonText.h"

#include <QFile>

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

Trace::Trace(const QString& target) {
    if (target.isEmpty()) {
        return;
    }
    if (target == QLatin1String("-")) {
        m_out = stderr;
        return;
    }
    m_out = std::fopen(QFile::encodeName(target).constData(), "w");
    m_ownsFile = m_out != nullptr;
    if (m_out == nullptr) {
        std::fprintf(stderr, "corvane: cannot write the trace to %s\n",
                     QFile::encodeName(target).constData());
    }
}

Trace::~Trace() {
    if (m_ownsFile) {
        std::fclose(m_out);
    }
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
    if (m_out == nullptr) {
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_out);
    std::fflush(m_out);
}

} // namespace corvane::component

#include "vradio/Capture.h"

#include <QFile>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>

namespace corvane::vradio {

namespace {

bool printable(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "+1.250000": the time in ns; nothing when it is not a time.
std::optional<int64_t> parseTime(const QByteArray& word) {
    QByteArray w = word.startsWith('+') ? word.mid(1) : word;
    const qsizetype dot = w.indexOf('.');
    const QByteArray whole = dot < 0 ? w : w.left(dot);
    QByteArray fraction = dot < 0 ? QByteArray() : w.mid(dot + 1);
    bool ok = false;
    const qlonglong s = whole.toLongLong(&ok);
    if (!ok || s < 0 || s > 100'000'000 || fraction.size() > 9 || whole.startsWith('-') ||
        whole.startsWith('+')) {
        return std::nullopt;
    }
    for (const char c : fraction) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    fraction = fraction.leftJustified(9, '0');
    return int64_t{s} * 1'000'000'000 + fraction.toLongLong();
}

// The payload of a record: "text with \x escapes" or hex bytes; a trailing
// comment after # is allowed.
std::optional<QByteArray> parsePayload(const QByteArray& text, QString* why) {
    QByteArray out;
    if (text.startsWith('"')) {
        qsizetype i = 1;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] != '\\') {
                out.append(text[i]);
                continue;
            }
            if (i + 1 >= text.size()) {
                break;
            }
            const char e = text[++i];
            if (e == '\\' || e == '"') {
                out.append(e);
            } else if (e == 'r') {
                out.append('\r');
            } else if (e == 'n') {
                out.append('\n');
            } else if (e == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
                       hexDigit(text[i + 2]) >= 0) {
                out.append(char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
                i += 2;
            } else {
                *why =
                    QStringLiteral("unknown escape \\%1 (\\\\, \\\", \\r, \\n and \\xNN are known)")
                        .arg(QChar::fromLatin1(e));
                return std::nullopt;
            }
        }
        if (i >= text.size()) {
            *why = QStringLiteral("the text has no closing quote");
            return std::nullopt;
        }
        const QByteArray rest = text.mid(i + 1).trimmed();
        if (!rest.isEmpty() && !rest.startsWith('#')) {
            *why = QStringLiteral("something after the closing quote");
            return std::nullopt;
        }
    } else {
        for (const QByteArray& word : text.simplified().split(' ')) {
            if (word.startsWith('#')) {
                break;
            }
            if (word.size() != 2 || hexDigit(word[0]) < 0 || hexDigit(word[1]) < 0) {
                *why = QStringLiteral("\"%1\" is not a hex byte (two digits, as FE) nor quoted "
                                      "text")
                           .arg(QString::fromLatin1(word.left(20)));
                return std::nullopt;
            }
            out.append(char(hexDigit(word[0]) * 16 + hexDigit(word[1])));
        }
    }
    if (out.isEmpty()) {
        *why = QStringLiteral("no bytes");
        return std::nullopt;
    }
    return out;
}

bool parseLine(const QByteArray& line, bool* started, Capture* out, QString* why) {
    if (!*started) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() != 3 || words[0] != "corvane-vradio" || words[1] != "capture") {
            *why = QStringLiteral("not a capture: it starts with \"corvane-vradio capture %1\"")
                       .arg(captureVersion);
            return false;
        }
        bool ok = false;
        const int version = words[2].toInt(&ok);
        if (!ok || version != captureVersion) {
            *why = QStringLiteral("capture format %1; this program reads format %2")
                       .arg(QString::fromLatin1(words[2].left(20)))
                       .arg(captureVersion);
            return false;
        }
        *started = true;
        return true;
    }
    const qsizetype space = line.indexOf(' ');
    const QByteArray first = space < 0 ? line : line.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1).trimmed();
    if (first == "baud" || first == "protocol") {
        if (!out->records.empty()) {
            *why = QStringLiteral("\"%1\" belongs before the first record")
                       .arg(QString::fromLatin1(first));
            return false;
        }
        if (first == "baud") {
            bool ok = false;
            out->baud = rest.toInt(&ok);
            if (!ok || out->baud < 50 || out->baud > 10'000'000) {
                *why = QStringLiteral("baud wants a speed (50 to 10000000)");
                return false;
            }
        } else if (rest == "civ") {
            out->protocol = Protocol::CiV;
        } else if (rest == "kenwood") {
            out->protocol = Protocol::Kenwood;
        } else {
            *why = QStringLiteral("protocol is civ or kenwood");
            return false;
        }
        return true;
    }
    const std::optional<int64_t> ns = parseTime(first);
    if (!ns) {
        *why = QStringLiteral("\"%1\" is neither a time (+seconds) nor baud or protocol")
                   .arg(QString::fromLatin1(first.left(20)));
        return false;
    }
    if (!rest.startsWith("> ") && !rest.startsWith("< ")) {
        *why = QStringLiteral("the time is followed by > (to the radio) or < (from it) and bytes");
        return false;
    }
    const std::optional<QByteArray> bytes = parsePayload(rest.mid(2).trimmed(), why);
    if (!bytes) {
        return false;
    }
    out->records.push_back(
        {*ns, rest.startsWith('>') ? Direction::ToRadio : Direction::FromRadio, *bytes});
    return true;
}

} // namespace

QByteArray captureHeader(int baud) {
    return "corvane-vradio capture " + QByteArray::number(captureVersion) + "\nbaud " +
           QByteArray::number(baud) +
           "\n# seconds since the tap started; > to the radio, < from the radio\n";
}

QByteArray formatRecord(const CaptureRecord& record) {
    QByteArray line =
        QByteArray("+%1.%2 ")
            .replace("%1", QByteArray::number(qlonglong(record.ns / 1'000'000'000)))
            .replace("%2", QByteArray::number(qlonglong(record.ns % 1'000'000'000 / 1000))
                               .rightJustified(6, '0'));
    line += record.direction == Direction::ToRadio ? "> " : "< ";
    if (printable(record.bytes)) {
        line += '"';
        for (const char c : record.bytes) {
            if (c == '"' || c == '\\') {
                line += '\\';
            }
            line += c;
        }
        line += '"';
    } else {
        line += record.bytes.toHex(' ').toUpper();
    }
    line += '\n';
    return line;
}

bool parseCapture(const QByteArray& text, Capture* out, QString* error) {
    *out = Capture{};
    bool started = false;
    int number = 0;
    for (QByteArray line : text.split('\n')) {
        ++number;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#')) {
            continue;
        }
        QString why;
        if (!parseLine(trimmed, &started, out, &why)) {
            *error = QStringLiteral("line %1: %2").arg(number).arg(why);
            return false;
        }
    }
    if (!started) {
        *error = QStringLiteral("empty: no \"corvane-vradio capture %1\" line").arg(captureVersion);
        return false;
    }
    return true;
}

bool readCapture(const QString& path, Capture* out, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, f.errorString());
        return false;
    }
    if (f.size() > largestCapture) {
        *error = QStringLiteral("%1: larger than %2 MB; cut it into pieces")
                     .arg(path)
                     .arg(largestCapture >> 20);
        return false;
    }
    QString why;
    if (!parseCapture(f.readAll(), out, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

QByteArray bytesOf(const Capture& capture, Direction direction) {
    QByteArray out;
    for (const CaptureRecord& r : capture.records) {
        if (r.direction == direction) {
            out += r.bytes;
        }
    }
    return out;
}

struct CaptureWriter::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drain;
    int fd = -1;
    QByteArray pending; // guarded by mutex, as are all below
    size_t writing = 0;
    uint64_t recorded = 0;
    uint64_t dropped = 0;
    uint64_t droppedUnsaid = 0;
    QString error;
    bool ending = false;
    // The line being gathered: pieces of one direction that follow each other
    // within `gapNs` are one record (a radio's answer comes a byte or a few
    // at a time), up to `longestLine` bytes.
    CaptureRecord open;
    bool hasOpen = false;
    int64_t openLastNs = 0;
    std::chrono::steady_clock::time_point openSince;
    int64_t gapNs = 2'000'000;
    static constexpr qsizetype longestLine = 128;
    static constexpr std::chrono::milliseconds settle{20};

    // The gathered line into the queue, or left out when it does not fit.
    void closeOpen() {
        if (!hasOpen) {
            return;
        }
        hasOpen = false;
        const QByteArray line = formatRecord(open);
        const auto size = uint64_t(open.bytes.size());
        if (fd < 0 || writing + size_t(pending.size()) + size_t(line.size()) > queueLimit) {
            dropped += size;
            droppedUnsaid += fd < 0 ? 0 : size;
            return;
        }
        pending += line;
        recorded += size;
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto settled = [&] {
                return hasOpen && std::chrono::steady_clock::now() - openSince >= settle;
            };
            const auto ready = [&] { return !pending.isEmpty() || ending || settled(); };
            if (hasOpen) {
                wake.wait_for(lock, settle, ready);
            } else {
                wake.wait(lock, ready);
            }
            if (ending || settled()) {
                closeOpen();
            }
            if (pending.isEmpty()) {
                if (ending) {
                    break;
                }
                continue;
            }
            QByteArray out;
            out.swap(pending);
            writing = size_t(out.size());
            lock.unlock();
            QString failed;
            for (qsizetype at = 0; at < out.size();) {
                const ssize_t n = ::write(fd, out.constData() + at, size_t(out.size() - at));
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    failed = QString::fromLocal8Bit(strerror(n < 0 ? errno : ENOSPC));
                    break;
                }
                at += n;
            }
            lock.lock();
            writing = 0;
            if (!failed.isEmpty()) {
                error = QStringLiteral("writing the capture failed (%1); recording stopped")
                            .arg(failed);
                pending.clear();
                ::close(fd);
                fd = -1;
                drain.notify_all();
                break;
            }
            if (pending.isEmpty() && droppedUnsaid > 0) {
                pending = "# " + QByteArray::number(qulonglong(droppedUnsaid)) +
                          " bytes of the line not recorded here: the disk did not keep up\n";
                droppedUnsaid = 0;
                continue;
            }
            drain.notify_all();
        }
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        drain.notify_all();
    }
};

CaptureWriter::CaptureWriter() : m_state(std::make_shared<State>()) {}

CaptureWriter::~CaptureWriter() {
    std::lock_guard lock(m_state->mutex);
    m_state->ending = true;
    m_state->wake.notify_all();
}

bool CaptureWriter::open(const QString& path, bool replace, int baud, QString* error) {
    // Never over a file that exists unless asked: a capture is an operator's
    // evidence, and a mistyped name must not destroy another one.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0644);
    if (fd < 0) {
        *error = errno == EEXIST
                     ? QStringLiteral("%1 exists; refusing to overwrite it (give another name, "
                                      "or --force to replace it)")
                           .arg(path)
                     : QStringLiteral("cannot create %1: %2")
                           .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_state->fd = fd;
    m_state->pending = captureHeader(baud);
    // Four bytes' time on the line, and at least 2 ms.
    m_state->gapNs = std::max<int64_t>(2'000'000, 40'000'000'000LL / std::max(baud, 50));
    // Signals go to the program's own thread, never to this one.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    // Detached: at the program's end it may be inside a write to a stalled disk.
    std::thread([state = m_state] { state->run(); }).detach();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    m_state->wake.notify_one();
    return true;
}

void CaptureWriter::record(Direction direction, const char* bytes, size_t size, int64_t ns) {
    State& s = *m_state;
    std::lock_guard lock(s.mutex);
    if (s.fd < 0) {
        s.dropped += size;
        return;
    }
    s.openSince = std::chrono::steady_clock::now();
    if (s.hasOpen && s.open.direction == direction && ns - s.openLastNs <= s.gapNs &&
        s.open.bytes.size() + qsizetype(size) <= State::longestLine) {
        s.open.bytes.append(bytes, qsizetype(size));
        s.openLastNs = ns;
        return;
    }
    s.closeOpen();
    s.open = {ns, direction, QByteArray(bytes, qsizetype(size))};
    s.hasOpen = true;
    s.openLastNs = ns;
    s.wake.notify_one();
}

bool CaptureWriter::flush(std::chrono::milliseconds limit) {
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    s.closeOpen();
    s.wake.notify_one();
    return s.drain.wait_for(lock, limit, [&] {
        return s.fd < 0 || (s.pending.isEmpty() && s.writing == 0 && s.droppedUnsaid == 0);
    });
}

uint64_t CaptureWriter::recordedBytes() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->recorded + (m_state->hasOpen ? uint64_t(m_state->open.bytes.size()) : 0);
}

uint64_t CaptureWriter::droppedBytes() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->dropped;
}

QString CaptureWriter::error() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->error;
}

} // namespace corvane::vradio

#include "vradio/Replay.h"

#include "vradio/Console.h"
#include "vradio/Pty.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <deque>

namespace corvane::vradio {

namespace {

constexpr qsizetype longestRequest = 256;

bool hasOk(const QByteArray& answer) {
    // FE FE <to> <from> FB FD
    for (qsizetype at = answer.indexOf("\xFE\xFE"); at >= 0;
         at = answer.indexOf("\xFE\xFE", at + 2)) {
        if (at + 5 < answer.size() && answer[at + 4] == '\xFB' && answer[at + 5] == '\xFD') {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<QByteArray> Framer::feed(const QByteArray& bytes) {
    std::vector<QByteArray> out;
    for (const char c : bytes) {
        if (m_protocol == Protocol::CiV) {
            if (c == '\xFE') {
                // A preamble starts a frame, also amid a broken one; a third FE
                // in a row is a longer preamble.
                if (m_partial.size() >= 2 && m_partial != "\xFE\xFE") {
                    m_partial.clear();
                }
                if (m_partial.size() < 2) {
                    m_partial.append(c);
                }
                continue;
            }
            if (m_partial.size() < 2) {
                m_partial.clear(); // outside a frame
                continue;
            }
            m_partial.append(c);
            if (c == '\xFD') {
                out.push_back(m_partial);
                m_partial.clear();
            }
        } else {
            if (m_partial.isEmpty() && (c == ' ' || c == '\r' || c == '\n')) {
                continue;
            }
            m_partial.append(c);
            if (c == ';') {
                out.push_back(m_partial);
                m_partial.clear();
            }
        }
        if (m_partial.size() > longestRequest) {
            m_partial.clear();
        }
    }
    return out;
}

Protocol protocolOf(const Capture& capture) {
    if (capture.protocol) {
        return *capture.protocol;
    }
    return bytesOf(capture, Direction::ToRadio).contains("\xFE\xFE") ? Protocol::CiV
                                                                     : Protocol::Kenwood;
}

QString shown(Protocol protocol, const QByteArray& bytes) {
    return protocol == Protocol::CiV ? QString::fromLatin1(bytes.toHex(' ').toUpper())
                                     : QString::fromLatin1(bytes);
}

Replayer::Replayer(const Capture& capture) : m_protocol(protocolOf(capture)), m_framer(m_protocol) {
    Framer framer(m_protocol);
    for (const CaptureRecord& r : capture.records) {
        if (r.direction == Direction::ToRadio) {
            for (QByteArray& request : framer.feed(r.bytes)) {
                m_requests.push_back({std::move(request), r.ns, {}, false});
            }
        } else if (!m_requests.empty()) {
            // What the radio said before the first request is nobody's answer.
            Request& last = m_requests.back();
            last.answer.push_back({std::max<int64_t>(0, r.ns - last.endNs), r.bytes});
        }
    }
    size_t echoed = 0;
    m_writesBefore.push_back(0);
    for (size_t i = 0; i < m_requests.size(); ++i) {
        Request& q = m_requests[i];
        q.write = isWrite(q);
        m_writesBefore.push_back(m_writesBefore.back() + (q.write ? 1 : 0));
        m_occurrences[q.bytes].push_back(i);
        if (!q.answer.empty() && q.answer.front().bytes.startsWith(q.bytes)) {
            ++echoed;
        }
    }
    m_echoes = m_protocol == Protocol::CiV && echoed * 2 > m_requests.size();
}

bool Replayer::isWrite(const Request& request) const {
    if (m_protocol == Protocol::Kenwood) {
        return request.answer.empty();
    }
    QByteArray all;
    for (const Chunk& c : request.answer) {
        all += c.bytes;
    }
    return hasOk(all);
}

QByteArray Replayer::refusal(const QByteArray& request) const {
    if (m_protocol == Protocol::Kenwood) {
        return "?;";
    }
    QByteArray out = m_echoes ? request : QByteArray();
    if (request.size() >= 5) {
        // From the address asked, to the one that asked.
        out += QByteArray("\xFE\xFE") + request[3] + request[2] + "\xFA\xFD";
    }
    return out;
}

Replayer::Reply Replayer::answer(const QByteArray& request) {
    ++m_heard;
    const auto found = m_occurrences.constFind(request);
    if (found == m_occurrences.constEnd()) {
        ++m_unknown;
        m_lastUnknown = request;
        return {request, {{0, refusal(request)}}, false};
    }
    const std::vector<size_t>& at = *found;
    const auto after = m_point < 0
                           ? at.begin()
                           : std::upper_bound(at.begin(), at.end(), static_cast<size_t>(m_point));
    const bool hasAfter = after != at.end();
    const bool hasBefore = after != at.begin();
    size_t used = 0;
    // Writes strictly between the point and the occurrence after it.
    const size_t from = static_cast<size_t>(m_point + 1);
    if (hasAfter && m_writesBefore[*after] - m_writesBefore[from] == 0) {
        used = *after;
    } else if (hasBefore) {
        used = *(after - 1);
    } else {
        used = *after;
    }
    m_point = std::max(m_point, static_cast<long>(used));
    return {request, m_requests[used].answer, true};
}

std::vector<Replayer::Reply> Replayer::feed(const QByteArray& bytes) {
    std::vector<Reply> out;
    for (const QByteArray& request : m_framer.feed(bytes)) {
        out.push_back(answer(request));
    }
    return out;
}

namespace {

// The program's side: a terminal, the recorded answers sent at their time.
class Player {
public:
    Player(Replayer& replayer, const ReplayOptions& options, int baud, ConsoleWriter& err)
        : m_replayer(replayer), m_options(options), m_byteNs(10'000'000'000LL / baud), m_err(err),
          m_pty(options.link) {}
    ~Player() {
        m_readNotifier.reset();
        m_timerNotifier.reset();
        if (m_timer >= 0) {
            ::close(m_timer);
        }
    }

    bool open(QString* error) {
        m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_timer < 0) {
            *error = QStringLiteral("no timer for the answers' pace");
            return false;
        }
        if (!m_pty.open(error)) {
            return false;
        }
        m_pty.guardLinkOnSignals();
        m_readNotifier = std::make_unique<QSocketNotifier>(m_pty.master(), QSocketNotifier::Read);
        QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, [this] { readable(); });
        m_timerNotifier = std::make_unique<QSocketNotifier>(m_timer, QSocketNotifier::Read);
        QObject::connect(m_timerNotifier.get(), &QSocketNotifier::activated, [this] {
            uint64_t expirations = 0;
            if (::read(m_timer, &expirations, sizeof expirations) < 0) {
                expirations = 0; // only clears it
            }
            pump();
        });
        return true;
    }
    const Pty& pty() const { return m_pty; }
    uint64_t lost() const { return m_lost; }

private:
    struct Timed {
        int64_t due;
        QByteArray bytes;
    };

    void readable() {
        char buffer[4096];
        for (int turn = 0; turn < 16; ++turn) {
            const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            const int64_t now = monotonicNs();
            for (const Replayer::Reply& reply : m_replayer.feed(QByteArray(buffer, n))) {
                if (!reply.known) {
                    m_err.say(QStringLiteral("no answer recorded for %1: answered %2")
                                  .arg(shown(m_replayer.protocol(), reply.request),
                                       m_replayer.protocol() == Protocol::CiV ? "NG" : "?;")
                                  .toLocal8Bit());
                }
                queue(reply, now);
            }
        }
        pump();
    }

    // Recorded pace: each recorded piece begins as long after the request as
    // it did, its bytes follow at the line's pace. The line's: every byte at
    // the line's pace from now. Either way in order behind what waits.
    void queue(const Replayer::Reply& reply, int64_t now) {
        for (const Replayer::Chunk& chunk : reply.chunks) {
            int64_t at = m_options.recordedPace ? std::max(m_free, now + chunk.afterNs)
                                                : std::max(m_free, now) + m_byteNs;
            for (const char b : chunk.bytes) {
                m_out.push_back({at, QByteArray(1, b)});
                m_free = at;
                at += m_byteNs;
            }
            if (m_options.recordedPace) {
                m_free = at;
            }
        }
    }

    void pump() {
        const int64_t now = monotonicNs();
        QByteArray due;
        while (!m_out.empty() && m_out.front().due <= now) {
            due += m_out.front().bytes;
            m_out.pop_front();
        }
        if (!due.isEmpty()) {
            const ssize_t n = ::write(m_pty.master(), due.constData(), size_t(due.size()));
            // What the terminal will not take is lost, as on a line nobody reads.
            m_lost += uint64_t(due.size() - (n < 0 ? 0 : n));
        }
        itimerspec at{};
        if (!m_out.empty()) {
            at.it_value.tv_sec = time_t(m_out.front().due / 1'000'000'000);
            at.it_value.tv_nsec = long(m_out.front().due % 1'000'000'000);
        }
        timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &at, nullptr);
    }

    Replayer& m_replayer;
    const ReplayOptions& m_options;
    int64_t m_byteNs;
    ConsoleWriter& m_err;
    Pty m_pty;
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    std::deque<Timed> m_out;
    int64_t m_free = 0;
    uint64_t m_lost = 0;
};

} // namespace

bool runReplay(const ReplayOptions& options, int quitFd) {
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    Capture capture;
    QString error;
    if (!readCapture(options.capture, &capture, &error)) {
        err.say(("corvane-vradio: " + error).toLocal8Bit());
        err.flush(std::chrono::milliseconds(300));
        return false;
    }
    Replayer replayer(capture);
    const int baud = options.baud > 0 ? options.baud : capture.baud > 0 ? capture.baud : 9600;
    const QString protocol =
        replayer.protocol() == Protocol::CiV ? QStringLiteral("CI-V") : QStringLiteral("Kenwood");
    {
        Player player(replayer, options, baud, err);
        if (!player.open(&error)) {
            err.say(("corvane-vradio: " + error).toLocal8Bit());
            err.flush(std::chrono::milliseconds(300));
            return false;
        }
        out.say(player.pty().slavePath().toLocal8Bit());
        if (!player.pty().notice().isEmpty()) {
            err.say(("corvane-vradio: " + player.pty().notice()).toLocal8Bit());
        }
        const QString pace = options.recordedPace ? QStringLiteral("the recorded pace")
                                                  : QStringLiteral("the pace of %1 baud").arg(baud);
        err.say(
            QStringLiteral("replay of %1 (%2, %3 requests) on %4%5 at %6; type help")
                .arg(options.capture, protocol)
                .arg(replayer.requests())
                .arg(player.pty().slavePath(),
                     options.link.isEmpty() ? QString() : QStringLiteral(", link ") + options.link,
                     pace)
                .toLocal8Bit());
        const auto status = [&] {
            QString s =
                QStringLiteral("replay of %1 (%2, %3 requests) at %4: %5 requests heard, %6 "
                               "without a recorded answer")
                    .arg(options.capture, protocol)
                    .arg(replayer.requests())
                    .arg(pace)
                    .arg(replayer.heard())
                    .arg(replayer.unknown());
            if (replayer.unknown() > 0) {
                s += QStringLiteral(" (the last: %1)")
                         .arg(shown(replayer.protocol(), replayer.lastUnknown()));
            }
            if (player.lost() > 0) {
                s += QStringLiteral(", %1 bytes sent to nobody").arg(player.lost());
            }
            return s;
        };

        runStatusConsole(out, quitFd, status,
                         "status: what was heard and what had no recorded answer; help: this",
                         "a replay");
    } // the link removed, then the terminal closed
    out.flush(std::chrono::milliseconds(300));
    err.flush(std::chrono::milliseconds(300));
    return true;
}

} // namespace corvane::vradio

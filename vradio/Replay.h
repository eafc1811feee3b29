#pragma once

#include "vradio/Capture.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <vector>

namespace corvane::vradio {

// Cuts a byte stream into requests by the protocol's framing: CI-V frames
// from FE FE to FD (a longer preamble of FE taken as two, bytes outside a
// frame dropped), Kenwood commands up to their `;` (leading blanks and line
// ends dropped). A piece longer than any command is dropped.
class Framer {
public:
    explicit Framer(Protocol protocol) : m_protocol(protocol) {}
    std::vector<QByteArray> feed(const QByteArray& bytes);

private:
    Protocol m_protocol;
    QByteArray m_partial;
};

// A recording's protocol: the header's, or CI-V where the program's bytes
// hold a CI-V preamble, else Kenwood.
Protocol protocolOf(const Capture& capture);

// The recorded radio. Each request of the recording is answered by what came
// from the radio after it and before the next request's last byte; a request
// heard is answered by the recorded answer to the same bytes that lies at the
// point of the recording reached so far (docs/vradio.md, "Replay"):
//
//  - the first occurrence after the point, unless an accepted write (CI-V: an
//    FB answer; Kenwood: a set, answered by nothing) lies between: then the
//    last occurrence at or before the point (the radio's state has not
//    changed yet where the program is);
//  - failing both, the first occurrence after the point anyway; the point
//    moves to the occurrence used, never back.
//
// A request the recording never heard is answered as the radio answers what
// it does not know (CI-V: its echo if it echoed, then an NG frame FA; Kenwood
// `?;`) and counted.
class Replayer {
public:
    // One piece of an answer, due this long after the request's last byte.
    struct Chunk {
        int64_t afterNs = 0;
        QByteArray bytes;
    };
    struct Reply {
        QByteArray request;
        std::vector<Chunk> chunks;
        bool known = true;
    };

    explicit Replayer(const Capture& capture);

    Protocol protocol() const { return m_protocol; }
    // Requests the recording holds.
    size_t requests() const { return m_requests.size(); }
    // Bytes heard; a reply for each request they complete, in order.
    std::vector<Reply> feed(const QByteArray& bytes);
    Reply answer(const QByteArray& request);

    uint64_t heard() const { return m_heard; }
    uint64_t unknown() const { return m_unknown; }
    const QByteArray& lastUnknown() const { return m_lastUnknown; }

private:
    struct Request {
        QByteArray bytes;
        int64_t endNs = 0;
        std::vector<Chunk> answer;
        bool write = false;
    };
    bool isWrite(const Request& request) const;
    QByteArray refusal(const QByteArray& request) const;

    Protocol m_protocol;
    Framer m_framer;
    std::vector<Request> m_requests;
    QHash<QByteArray, std::vector<size_t>> m_occurrences;
    std::vector<size_t> m_writesBefore; // accepted writes among the first i requests
    bool m_echoes = false;              // CI-V: the radio gave back what it heard
    long m_point = -1;
    uint64_t m_heard = 0;
    uint64_t m_unknown = 0;
    QByteArray m_lastUnknown;
};

// How a request or answer is shown to a person: Kenwood as text, CI-V as hex.
QString shown(Protocol protocol, const QByteArray& bytes);

struct ReplayOptions {
    QString capture;
    QString link;
    bool recordedPace = true; // else the line's
    int baud = 0;             // 0: the capture's (9600 if it says none)
};

// Runs the replay until the event loop ends (a byte on `quitFd`); false when
// it could not start, with the reason on standard error.
bool runReplay(const ReplayOptions& options, int quitFd);

} // namespace corvane::vradio

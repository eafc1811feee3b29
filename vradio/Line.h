#pragma once

#include "vradio/Engine.h"
#include "vradio/Pty.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <random>

class QSocketNotifier;

namespace corvane::vradio {

// The serial line of the virtual radio: a pseudo-terminal whose slave side a
// program opens as the radio's port. Bytes cross it no faster than a real
// line of the given speed carries them (start, 8 data and stop bits each),
// in both directions; the engine sees a command only once all of it has
// arrived, and its answer leaves byte by byte after that.
//
// The radio's input is a small buffer, as a real one's: what a writer sends
// faster than the line carries waits there, and what does not fit is lost (an
// overrun), so a flood neither grows the memory nor leaves the radio deaf
// once it ends. What the radio sends and the terminal will not take is lost
// too, as on a line nobody listens to.
//
// Runs on the thread that made it, from that thread's event loop.
class Line final : public QObject {
    Q_OBJECT

public:
    // Bytes that may be on their way in at once; more are lost.
    static constexpr int inputBuffer = 256;
    // Bytes of answers that may wait to go out at once; more are lost.
    static constexpr int outputBuffer = 4096;

    // `linkPath`: a symbolic link kept pointing at the slave, also across an
    // unplug and replug (empty: none). Only a path that is free, or a stale
    // link of a radio that has ended, is taken (see open()).
    Line(Engine& engine, int baud, QString linkPath = {});
    ~Line() override;

    // Opens the pseudo-terminal and makes the link; false with the reason in
    // `error` (the terminal is then closed again). A link path that exists is
    // refused unless it is a link to a terminal in /dev/pts that is gone: that
    // one, a dead radio's, is replaced and notice() says so.
    bool open(QString* error);
    QString slavePath() const { return m_pty.slavePath(); }
    QString linkPath() const { return m_pty.linkPath(); }
    // What open() or replug() did that the operator should know of (empty: nothing).
    QString notice() const { return m_pty.notice(); }
    int baud() const { return m_baud; }
    bool plugged() const { return m_pty.isOpen(); }

    // Line faults.
    void setSilent(bool on) { m_silent = on; }
    bool silent() const { return m_silent; }
    // One byte every `ms` at most (0: the line's own pace). Applies at once
    // to what is not sent yet, answers already waiting included.
    void setSlowMs(int ms);
    int slowMs() const { return m_slowMs; }
    // Every answer replaced by as many random bytes.
    void setGarbage(bool on) { m_garbage = on; }
    bool garbage() const { return m_garbage; }
    // The cable pulled: the link removed (while it still points at this
    // radio's terminal), then the pseudo-terminal closed.
    void unplug();
    // Plugged back: a new pseudo-terminal, the link pointing at it.
    bool replug(QString* error);

    // Sends what the radio says unasked (after a change at its front panel).
    void sendUnasked(const QByteArray& bytes);

    uint64_t bytesIn() const { return m_bytesIn; }
    uint64_t bytesOut() const { return m_bytesOut; }
    // Bytes lost: in, to a full input buffer; out, to a full output buffer
    // or a terminal that would not take them.
    uint64_t overrunIn() const { return m_overrunIn; }
    uint64_t lostOut() const { return m_lostOut; }
    // Bytes of answers not sent yet.
    size_t waitingOut() const { return m_out.size(); }

    // For the program's signal handlers: from now on this line's link is
    // also known to removeLinkOnSignal(). One line per process.
    void guardLinkOnSignals() { m_pty.guardLinkOnSignals(); }
    // Async-signal-safe: removes the guarded line's link if it still points
    // at that line's terminal.
    static void removeLinkOnSignal() { Pty::removeLinkOnSignal(); }

private:
    struct Timed {
        int64_t due; // ns, CLOCK_MONOTONIC
        char byte;
        bool paced; // an answer's byte (else an echo, on the line already)
    };
    void readable();
    void pump();
    void queueOut(const QByteArray& bytes, bool paced, int64_t now);
    int64_t outInterval() const;
    void arm();
    void close();
    int64_t byteNs() const;

    Engine& m_engine;
    int m_baud;
    Pty m_pty;
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    // The input buffer, a ring: m_inCount bytes from m_inHead.
    std::array<Timed, inputBuffer> m_in{};
    int m_inHead = 0;
    int m_inCount = 0;
    std::deque<Timed> m_out;
    int64_t m_rxFree = 0;
    int64_t m_txFree = 0;
    bool m_silent = false;
    int m_slowMs = 0;
    bool m_garbage = false;
    std::mt19937 m_random{20261207};
    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;
    uint64_t m_overrunIn = 0;
    uint64_t m_lostOut = 0;
};

} // namespace corvane::vradio

#pragma once

#include "vradio/Engine.h"

#include <QObject>
#include <QString>

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
// Runs on the thread that made it, from that thread's event loop.
class Line final : public QObject {
    Q_OBJECT

public:
    // `linkPath`: a symbolic link kept pointing at the slave, also across an
    // unplug and replug (empty: none).
    Line(Engine& engine, int baud, QString linkPath = {});
    ~Line() override;

    // Opens the pseudo-terminal; false with the reason in `error`.
    bool open(QString* error);
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }
    int baud() const { return m_baud; }
    bool plugged() const { return m_master >= 0; }

    // Line faults.
    void setSilent(bool on) { m_silent = on; }
    bool silent() const { return m_silent; }
    // One byte every `ms` at most (0: the line's own pace).
    void setSlowMs(int ms) { m_slowMs = ms; }
    int slowMs() const { return m_slowMs; }
    // Every answer replaced by as many random bytes.
    void setGarbage(bool on) { m_garbage = on; }
    bool garbage() const { return m_garbage; }
    // The cable pulled: the pseudo-terminal is closed and the link removed.
    void unplug();
    // Plugged back: a new pseudo-terminal, the link pointing at it.
    bool replug(QString* error);

    // Sends what the radio says unasked (after a change at its front panel).
    void sendUnasked(const QByteArray& bytes);

    uint64_t bytesIn() const { return m_bytesIn; }
    uint64_t bytesOut() const { return m_bytesOut; }

private:
    struct Timed {
        int64_t due; // ns, CLOCK_MONOTONIC
        char byte;
    };
    void readable();
    void pump();
    void queueOut(const QByteArray& bytes, bool paced, int64_t now);
    void arm();
    void close();
    bool updateLink(QString* error);
    int64_t byteNs() const;

    Engine& m_engine;
    int m_baud;
    QString m_linkPath;
    QString m_slavePath;
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up while the port is closed
    int m_timer = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    std::deque<Timed> m_in;
    std::deque<Timed> m_out;
    int64_t m_rxFree = 0;
    int64_t m_txFree = 0;
    bool m_silent = false;
    int m_slowMs = 0;
    bool m_garbage = false;
    std::mt19937 m_random{20261207};
    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;
};

} // namespace corvane::vradio

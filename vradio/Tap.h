#pragma once

#include "vradio/Capture.h"
#include "vradio/Pty.h"

#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace corvane::vradio {

// Sits between a program and a radio: the radio's serial port on one side
// (raw, at the given speed), a pseudo-terminal for the program on the other.
// Every byte is forwarded both ways unchanged as soon as it is read, by a
// thread of its own that does nothing else, and then recorded.
//
// What the program's terminal will not take (nobody reads it) is lost, as on
// a line nobody listens to; what the radio's port will not take yet waits
// there, up to a bound, and the program's bytes are not read meanwhile (as a
// serial port holds back its writer). A port that goes away (a USB radio
// switched off) is opened again every second.
class Tap {
public:
    Tap(QString port, int baud, QString link, CaptureWriter& capture);
    ~Tap();
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;

    // Opens the port and the terminal (and its link).
    bool open(QString* error);
    // Starts forwarding (and recording).
    void start();
    const Pty& pty() const { return m_pty; }
    // Told of what the operator should know (the port gone, back): any thread.
    std::function<void(const QString&)> onNotice;

    uint64_t toRadio() const { return m_toRadio; }
    uint64_t fromRadio() const { return m_fromRadio; }
    uint64_t lost() const { return m_lost; }
    bool portOpen() const { return m_portOpen; }

    // Bytes for the radio that may wait for its port at once.
    static constexpr qsizetype pendingLimit = 64 * 1024;

private:
    int openPort(QString* error) const;
    void run();
    void portGone(const QString& why);

    QString m_port;
    int m_baud;
    CaptureWriter& m_capture;
    Pty m_pty;
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    int64_t m_start = 0;
    std::thread m_thread;
    std::atomic<uint64_t> m_toRadio{0};
    std::atomic<uint64_t> m_fromRadio{0};
    std::atomic<uint64_t> m_lost{0};
    std::atomic<bool> m_portOpen{false};
};

struct TapOptions {
    QString port;
    int baud = 9600;
    QString link;
    QString capture;
    bool replace = false; // the capture file may exist and is replaced
};

// Runs the tap until the event loop ends (a byte on `quitFd`); false when it
// could not start, with the reason on standard error.
bool runTap(const TapOptions& options, int quitFd);

} // namespace corvane::vradio

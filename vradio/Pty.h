#pragma once

#include <QString>

#include <cstdint>
#include <ctime>

namespace corvane::vradio {

// The monotonic clock in ns: what the line, the tap and the replay pace and
// stamp bytes by.
inline int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

// A pseudo-terminal whose slave side a program opens as a radio's port, and
// the symbolic link (--link) kept pointing at it. Shared by the virtual radio,
// the tap and the replay, so that all three take and leave a link the same
// way.
//
// The link is made only where nothing is. A path that exists is refused
// unless it is a link to a terminal in /dev/pts that is gone (the stale link
// of a radio that has ended): that one is replaced and notice() says so. The
// link is removed before the terminal is closed, and only while it still
// points at this terminal.
class Pty {
public:
    explicit Pty(QString linkPath = {}) : m_linkPath(std::move(linkPath)) {}
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a raw terminal (its master non-blocking) and makes the link; false
    // with the reason in `error`, the terminal closed again.
    bool open(QString* error);
    // The link first, then the terminal.
    void close();
    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }
    // What open() did that the operator should know of (empty: nothing).
    QString notice() const { return m_notice; }

    // For the program's signal handlers: from now on this terminal's link is
    // also known to removeLinkOnSignal(). One per process.
    void guardLinkOnSignals();
    // Async-signal-safe: removes the guarded link if it still points at its
    // terminal.
    static void removeLinkOnSignal();

private:
    bool makeLink(QString* error);
    void removeLink();
    void publishLink();

    QString m_linkPath;
    QString m_slavePath;
    QString m_notice;
    bool m_linked = false; // the link was made for the terminal open now
    bool m_guarded = false;
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up while the port is closed
};

} // namespace corvane::vradio

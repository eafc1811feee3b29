// What only a rigctld daemon does: it can refuse everything (through a relay
// in front of the real daemon) or hang while the program tears its receiver
// down. The rules every radio keeps are in test_vradio_hamlib.
#include "tests/support/ComponentFixture.h"
#include "tests/support/HamlibRelay.h"
#include "tests/support/HamlibRigs.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <csignal>

#include <pty.h>

namespace corvane::testsupport {
namespace {

// How much slower a sanitized build may be where a test measures time.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int slowdown = 4;
#else
constexpr int slowdown = 1;
#endif

class HamlibRigctld : public OnPeer {
protected:
    void SetUp() override { begin(std::make_unique<DaemonPeer>()); }
    quint16 port() const { return static_cast<DaemonPeer&>(*m_peer).port(); }
    void neverConnected(const QJsonObject& entry, Kind first, int err);
};

// Radios that Hamlib opens but that never give a value are never shown
// connected nor report a value, also not on the attempts to reconnect that
// follow: the first event is `first` with `err`, then only data errors and
// lost links.
void HamlibRigctld::neverConnected(const QJsonObject& entry, Kind first, int err) {
    m_rx = makeBackend(entry, m_sink);
    ASSERT_EQ(m_rx->connect(true), 0);
    ASSERT_GE(awaitLink(false, 20000), 0) << "no lost link";
    idle(1500); // the first attempt to reconnect fails as well
    ASSERT_FALSE(m_sink.events.empty());
    EXPECT_EQ(m_sink.events.front().kind, first);
    EXPECT_EQ(m_sink.events.front().err(), err);
    for (const ReceiverEvent& e : m_sink.events) {
        EXPECT_TRUE(e.kind == Kind::DataError || (e.kind == Kind::ConnState && e.err() < 0))
            << "event " << static_cast<int>(e.kind) << " with " << e.value();
    }
    EXPECT_EQ(m_sink.of(Kind::ConnState).front().err(), err);
    EXPECT_FALSE(m_rx->connected());
}

// A daemon that lets the rig be opened and then refuses every command: the
// refusal is reported with Hamlib's code, then the link is lost after two
// timeouts without a valid answer.
TEST_F(HamlibRigctld, ARefusingDaemonIsNeverConnected) {
    Relay relay(port(), 2); // \chk_vfo, \dump_state
    ASSERT_TRUE(relay.start());
    neverConnected(DaemonPeer::entryFor(relay.port()), Kind::DataError, -RIG_ERJCTED);
    m_rx.reset(); // before the relay goes
}

// Nothing listens on port 1 of this machine: the link cannot be made.
TEST_F(HamlibRigctld, ADaemonNotThereIsNeverConnected) {
    neverConnected(DaemonPeer::entryFor(1), Kind::ConnState, -RIG_EIO);
}

// An IC-7300 on a serial line where nothing answers: lost on two timeouts.
TEST_F(HamlibRigctld, ASilentSerialRadioIsNeverConnected) {
    int line = -1;
    int silent = -1;
    ASSERT_EQ(::openpty(&line, &silent, nullptr, nullptr, nullptr), 0);
    neverConnected(QJsonObject{{"name", "IC"},
                               {"kind", "hamlib"},
                               {"model", 3073},
                               {"port", QString::fromLocal8Bit(::ttyname(silent))},
                               {"conf", QJsonObject{{"timeout", 200}, {"retry", 0}}}},
                   Kind::ConnState, -RIG_ETIMEOUT);
    m_rx.reset();
    ::close(line);
    ::close(silent);
}

// A daemon that is still down at the first attempt to reconnect: that attempt
// fails (a listener in its place takes the connection and drops it) and a
// later one brings the link back once the daemon is there again.
TEST_F(HamlibRigctld, AFailedReconnectIsTriedAgain) {
    connect(false);
    m_peer->fault(Fault::Kill, true);
    ASSERT_GE(awaitLink(false, 5000), 0) << "no lost link";
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = loopback(port());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    int attempt = -1;
    const auto attempted = [&] {
        if (attempt < 0) {
            attempt = ::accept(listener, nullptr, nullptr);
        }
        return attempt >= 0;
    };
    EXPECT_TRUE(waitUntil(attempted, 5000)) << "no attempt to reconnect";
    ::close(attempt);
    ::close(listener);
    EXPECT_FALSE(m_rx->connected());
    m_peer->fault(Fault::Kill, false);
    EXPECT_GE(awaitLink(true, 8000), 0) << "the link did not come back";
    EXPECT_TRUE(m_rx->connected());
}

// A refusal is said once per session, not once per receiver: after
// Disconnect and Connect the rig is asked again and its refusal reported
// again. The relay refuses the attenuator and passes on everything else.
TEST_F(HamlibRigctld, ARefusalIsReportedAgainInTheNextSession) {
    Relay relay(port(), 0, " ATT");
    ASSERT_TRUE(relay.start());
    m_rx = makeBackend(DaemonPeer::entryFor(relay.port()), m_sink);
    for (int session = 0; session < 2; ++session) {
        SCOPED_TRACE(session);
        const size_t from = m_sink.events.size();
        connectAndWait(*m_rx, m_sink, 5000, session == 0);
        const auto refused = m_sink.await(Kind::DataError, from, 4000);
        ASSERT_TRUE(refused) << "the refusal was not reported";
        EXPECT_EQ(refused->err(), -RIG_ERJCTED);
        EXPECT_TRUE(m_rx->connected());
        ASSERT_EQ(m_rx->connect(false), 0);
    }
    m_rx.reset(); // before the relay goes
}

// Removing a receiver in the driver dialog while a poll waits on its hung
// daemon (for the entry's 15 s timeout) never waits for that poll, and the
// program holding such a receiver ends within a second of closing. The
// worker is left to finish on its own.
//
// The stall is measured against the hung call itself, in this run: the call
// cannot return before the timeout has passed since the daemon stopped, so a
// teardown that waited on it would hold the window's thread for what is left
// of that. The dialog's own work, however slow a loaded machine makes it, is
// a small part of it; a fixed margin over the idle loop was not.
TEST_F(HamlibRigctld, TearingDownAReceiverWhoseDaemonHangsNeverWaitsOnIt) {
    constexpr int hungTimeoutMs = 15000;
    const QJsonObject hung = DaemonPeer::entryFor(port(), hungTimeoutMs);
    Rig rig;
    rig.writeTable(QJsonArray{hung, Rig::sim("HF", "builtin:hf")});
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    c.RxConnect(0, -1);
    ASSERT_TRUE(waitUntil([&] { return c.RxConnected(0) != 0; }, 5000));
    QElapsedTimer sinceHang;
    m_peer->fault(Fault::Hang, true);
    sinceHang.start();
    idle(700); // a poll now waits on the daemon
    m_watchdog->reset();
    idle(300);
    const qint64 idleMs = m_watchdog->longestMs(); // the idle loop's own gaps, for comparison

    QSignalSpy updated(&c, &CorvaneComponent::DrvUpdated);
    rig.onDialog = [](DriverDialog& d) {
        d.findChild<QListWidget*>("drivers")->setCurrentRow(0);
        d.findChild<QPushButton*>("remove")->click();
        return int(QDialog::Accepted);
    };
    const qint64 callLeftMs = hungTimeoutMs - sinceHang.elapsed();
    m_watchdog->reset();
    c.DrvSetup("Test", 1);
    EXPECT_TRUE(waitUntil([&] { return updated.count() == 1; }, 1000));
    idle(100);
    const qint64 stallMs = m_watchdog->longestMs();
    m_watchdog->reset(); // the dialog's work is checked here, not in TearDown
    EXPECT_EQ(c.DrvCount(), 1);
    EXPECT_LT(stallMs, callLeftMs / 2)
        << "the hung call had " << callLeftMs << " ms to go; the idle loop's longest gap was "
        << idleMs << " ms";

    // The program, closed while its receiver's poll waits on the hung daemon.
    m_peer->fault(Fault::Hang, false);
    writeDriverTable(rig.dir.path(),
                     QJsonDocument(QJsonObject{{"drivers", QJsonArray{hung}}}).toJson());
    int out[2];
    int in[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(in), 0);
    m_watchdog->pause(); // the waits below are the test's own
    const pid_t pid = spawn(QStringLiteral(CORVANE_CLOSE_PROBE), {rig.dir.path()}, out[1], in[0]);
    ::close(out[1]);
    ::close(in[0]);
    ASSERT_GT(pid, 0);
    pollfd said{out[0], POLLIN, 0};
    char line[64] = {};
    const bool up = ::poll(&said, 1, 20000) == 1 && ::read(out[0], line, sizeof line - 1) > 0;
    EXPECT_TRUE(up && QByteArray(line).startsWith("connected")) << "the probe did not connect";
    m_peer->fault(Fault::Hang, true);
    ::usleep(700 * 1000);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(::write(in[1], "\n", 1), 1);
    const bool ended = reap(pid, 3 * hungTimeoutMs);
    const qint64 closeMs = t.elapsed();
    if (!ended) {
        ::kill(pid, SIGKILL);
        reap(pid, 1000);
    }
    ::close(out[0]);
    ::close(in[1]);
    m_watchdog->resume();
    EXPECT_TRUE(ended);
    EXPECT_LT(closeMs, 1000 * slowdown);
}

} // namespace
} // namespace corvane::testsupport

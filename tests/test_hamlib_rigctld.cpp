// What only a rigctld daemon does: it can refuse everything or hang while
// the program tears its receiver down (through a relay in front of the real
// daemon). The rules every radio keeps are in test_vradio_hamlib.
#include "tests/support/ComponentFixture.h"
#include "tests/support/HamlibRelay.h"
#include "tests/support/HamlibRigs.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <csignal>
#include <iostream>

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
    static QJsonObject entry(quint16 port, int timeout = DaemonPeer::timeoutMs) {
        return DaemonPeer::entryFor(port, timeout);
    }
};

// Radios that Hamlib opens but that never give a value: a daemon that lets
// the rig be opened and then refuses every command (its refusal is reported
// with Hamlib's code, then the link is lost after two timeouts without a valid
// answer), and an IC-7300 on a serial line where nothing answers (lost on two
// timeouts). Neither is ever shown connected nor reports a value, also not on
// the attempts to reconnect that follow.
TEST_F(HamlibRigctld, ARadioThatGivesNoValueIsNeverConnected) {
    Relay relay(port(), 2, Relay::Mode::Refuse); // \chk_vfo, \dump_state
    ASSERT_TRUE(relay.start());
    int line = -1;
    int silent = -1;
    ASSERT_EQ(::openpty(&line, &silent, nullptr, nullptr, nullptr), 0);
    const QString serial = QString::fromLocal8Bit(::ttyname(silent));
    const struct {
        const char* what;
        QJsonObject entry;
        Kind first;
        int err;
    } cases[] = {
        {"refusing daemon", entry(relay.port()), Kind::DataError, -RIG_ERJCTED},
        {"silent IC-7300",
         QJsonObject{{"name", "IC"},
                     {"kind", "hamlib"},
                     {"model", 3073},
                     {"port", serial},
                     {"conf", QJsonObject{{"timeout", 200}, {"retry", 0}}}},
         Kind::ConnState, -RIG_ETIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_sink.events.clear();
        m_rx = makeBackend(c.entry, m_sink);
        ASSERT_EQ(m_rx->connect(true), 0);
        const qint64 lostMs = awaitLink(false, 20000);
        ASSERT_GE(lostMs, 0) << "no lost link";
        std::cout << c.what << ": link lost after " << lostMs << " ms\n";
        idle(1500); // the first attempt to reconnect fails as well
        ASSERT_FALSE(m_sink.events.empty());
        EXPECT_EQ(m_sink.events.front().kind, c.first);
        EXPECT_EQ(m_sink.events.front().err(), c.err);
        for (const ReceiverEvent& e : m_sink.events) {
            EXPECT_TRUE(e.kind == Kind::DataError || (e.kind == Kind::ConnState && e.err() < 0))
                << "event " << static_cast<int>(e.kind) << " with " << e.value();
        }
        EXPECT_EQ(m_sink.of(Kind::ConnState).front().err(), c.err);
        EXPECT_FALSE(m_rx->connected());
        m_rx.reset();
    }
    EXPECT_GT(relay.withheld(), 0);
    ::close(line);
    ::close(silent);
}

// Removing a receiver while a poll waits on its hung daemon (for the entry's
// 15 s timeout) stalls the window's thread no longer than the dialog's own
// work, and the program holding such a receiver ends within a second of
// closing. The worker is left to finish on its own.
TEST_F(HamlibRigctld, TearingDownAReceiverWhoseDaemonHangsNeverWaitsOnIt) {
    constexpr int hungTimeoutMs = 15000;
    Relay relay(port(), 0, Relay::Mode::Relay);
    ASSERT_TRUE(relay.start());
    // The receiver alone.
    m_rx = makeBackend(entry(relay.port(), hungTimeoutMs), m_sink);
    connectAndWait(*m_rx, m_sink);
    relay.set(Relay::Mode::Hang);
    idle(700); // a poll now waits on the daemon
    QElapsedTimer t;
    t.start();
    m_rx.reset();
    const qint64 destroyUs = t.nsecsElapsed() / 1000;
    std::cout << "receiver destroyed with a hung daemon in " << destroyUs << " us\n";
    EXPECT_LT(destroyUs, 5000 * slowdown);

    // Removed in the driver dialog.
    relay.set(Relay::Mode::Relay);
    Rig rig;
    rig.writeTable(QJsonArray{entry(relay.port(), hungTimeoutMs), Rig::sim("HF", "builtin:hf")});
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    c.RxConnect(0, -1);
    ASSERT_TRUE(waitUntil([&] { return c.RxConnected(0) != 0; }, 5000));
    relay.set(Relay::Mode::Hang);
    idle(700); // a poll now waits on the daemon
    m_watchdog->reset();
    idle(300);
    const qint64 idleMs = m_watchdog->longestMs();

    QSignalSpy updated(&c, &CorvaneComponent::DrvUpdated);
    rig.onDialog = [&t](DriverDialog& d) {
        d.findChild<QListWidget*>("drivers")->setCurrentRow(0);
        d.findChild<QPushButton*>("remove")->click();
        t.start(); // from OK on: the table saved and the receiver torn down
        return int(QDialog::Accepted);
    };
    m_watchdog->reset();
    c.DrvSetup("Test", 1);
    const qint64 teardownUs = t.nsecsElapsed() / 1000;
    EXPECT_TRUE(waitUntil([&] { return updated.count() == 1; }, 1000));
    idle(100);
    const qint64 stallMs = m_watchdog->longestMs();
    m_watchdog->reset(); // the dialog's work is checked here, not in TearDown
    EXPECT_EQ(c.DrvCount(), 1);
    std::cout << "remove with a hung daemon: from OK to the table saved and in force " << teardownUs
              << " us; longest stall " << stallMs << " ms with the dialog (idle loop " << idleMs
              << " ms)\n";
    EXPECT_LT(stallMs, idleMs + 100 * slowdown); // the dialog's own work, and margin for CI

    // The program, closed while its receiver's poll waits on the hung daemon.
    writeDriverTable(
        rig.dir.path(),
        QJsonDocument(QJsonObject{{"drivers", QJsonArray{entry(relay.port(), hungTimeoutMs)}}})
            .toJson());
    relay.set(Relay::Mode::Relay);
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
    relay.set(Relay::Mode::Hang);
    ::usleep(700 * 1000);
    t.restart();
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
    std::cout << "program closed with a hung radio in " << closeMs << " ms\n";
    EXPECT_TRUE(ended);
    EXPECT_LT(closeMs, 1000 * slowdown);
}

} // namespace
} // namespace corvane::testsupport

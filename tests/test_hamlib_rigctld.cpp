// The Hamlib backend against a real rigctld daemon (driving Hamlib's dummy
// rig) on 127.0.0.1: the same checks as in-process, and lost links.
#include "hamlib_harness.h"

#include <QStandardPaths>

#include <csignal>
#include <iostream>

namespace corvane::component::testing {
namespace {

constexpr int timeoutMs = 500; // the entry's Hamlib timeout for these tests

class HamlibRigctld : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty()) {
            GTEST_SKIP() << "rigctld is not installed";
        }
        const quint16 port = freePort();
        ASSERT_NE(port, 0);
        m_daemon = std::make_unique<Daemon>(port);
        ASSERT_TRUE(m_daemon->start());
        m_watchdog = std::make_unique<Watchdog>();
    }
    void TearDown() override {
        if (m_watchdog) {
            m_rx.reset();
            // The window's thread never waited on the daemon, hung or not.
            EXPECT_LT(m_watchdog->longestMs(), timeoutMs / 4);
            std::cout << "longest stall of the window's thread: " << m_watchdog->longestMs()
                      << " ms\n";
        }
        m_daemon.reset();
    }
    void makeRx() {
        const QString entry = QStringLiteral(R"({"name": "Net", "kind": "rigctld",
            "host": "127.0.0.1", "port": %1, "conf": {"timeout": %2}})")
                                  .arg(m_daemon->port())
                                  .arg(timeoutMs);
        m_rx = makeBackend(entryFrom(entry.toLatin1().constData()), m_sink);
    }
    void connectRemote() {
        makeRx();
        connectAndWait(*m_rx, m_sink);
        ASSERT_EQ(m_rx->setRemote(true), 0);
    }
    // rigctl on this test's daemon; the wait for it is the test's own, so the
    // watchdog does not count it.
    QString shell(const QStringList& command) {
        m_watchdog->pause();
        const QString out = rigctl(m_daemon->port(), command);
        m_watchdog->resume();
        return out;
    }
    // Waits for the link to be reported lost; the time it took in ms, or -1.
    qint64 awaitLoss(size_t from, int ms) {
        QElapsedTimer t;
        t.start();
        const auto lost = m_sink.await(Kind::ConnState, from, ms,
                                       [](const ReceiverEvent& e) { return e.a != 1000; });
        return lost ? t.elapsed() : -1;
    }

    Recorder m_sink;
    std::unique_ptr<Daemon> m_daemon;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<HamlibBackend> m_rx;
};

TEST_F(HamlibRigctld, TablesAndSetsGoThroughTheDaemon) {
    connectRemote();
    EXPECT_EQ(m_rx->romId(), QStringLiteral("Nothing much (dummy)"));
    EXPECT_EQ(m_rx->frqMax(), 1500000000);
    EXPECT_EQ(m_rx->count(Setting::Mode), 9);
    // The daemon's AGC list names OFF twice; the table has it once.
    EXPECT_EQ(m_rx->count(Setting::Agc), 7);
    EXPECT_EQ(m_rx->count(Setting::Att), 4);

    size_t from = m_sink.events.size();
    m_rx->set(Setting::Mode, modeCode(*m_rx, "USB"), Origin::Program);
    // Over rigctld Hamlib 4.5 would report FM's 15 kHz after the change
    // unless the new mode's passband is asked for explicitly.
    const auto flt = m_sink.await(Kind::Flt, from, 3000);
    ASSERT_TRUE(flt.has_value());
    EXPECT_EQ(flt->a, 2400);
    EXPECT_EQ(m_rx->current(Setting::Mode), modeCode(*m_rx, "USB"));

    from = m_sink.events.size();
    m_rx->setFrequency(14074000, Origin::Program);
    m_rx->set(Setting::Att, 30, Origin::Program);
    m_rx->set(Setting::Agc, RIG_AGC_SLOW, Origin::Program);
    const auto frq = m_sink.await(Kind::Frq, from, 3000);
    const auto att = m_sink.await(Kind::Att, from, 3000);
    const auto agc = m_sink.await(Kind::Agc, from, 3000);
    ASSERT_TRUE(frq && att && agc);
    EXPECT_EQ(frq->a, 14074000);
    EXPECT_EQ(att->a, 30);
    EXPECT_EQ(agc->a, RIG_AGC_SLOW);
    EXPECT_EQ(shell({"f"}), QStringLiteral("14074000"));

    from = m_sink.events.size();
    m_rx->set(Setting::Att, 25, Origin::Program);
    m_rx->setFrequency(2000000000, Origin::Program);
    EXPECT_EQ(m_sink.of(Kind::DataError, from).size(), 2u);
    idle(400);
    EXPECT_TRUE(m_sink.of(Kind::Att, from).empty());
    EXPECT_EQ(shell({"l", "ATT"}), QStringLiteral("30"));
}

TEST_F(HamlibRigctld, AMonitoredRigIsReadButNeverWritten) {
    ASSERT_EQ(shell({"F", "3550000", "f"}), QStringLiteral("3550000"));
    makeRx();
    connectAndWait(*m_rx, m_sink);
    EXPECT_EQ(m_rx->frequency(), 3550000);
    m_rx->setFrequency(7000000, Origin::Program);
    m_rx->set(Setting::Att, 10, Origin::Program);
    idle(600);
    EXPECT_EQ(shell({"f", "l", "ATT"}), QStringLiteral("3550000\n0"));

    // A change made elsewhere (the front panel, another program) is reported.
    const size_t from = m_sink.events.size();
    shell({"F", "3600000"});
    const auto frq = m_sink.await(Kind::Frq, from, 2000);
    ASSERT_TRUE(frq.has_value());
    EXPECT_EQ(frq->a, 3600000);
    EXPECT_EQ(frq->origin, Origin::Receiver);
}

TEST_F(HamlibRigctld, AHungDaemonLosesTheLinkAndItComesBackUnderRemote) {
    connectRemote();
    size_t from = m_sink.events.size();
    m_daemon->signal(SIGSTOP);
    // Two timeouts in a row, after at most one poll period.
    const qint64 tookMs = awaitLoss(from, 4 * timeoutMs + 1000);
    ASSERT_GE(tookMs, 0) << "no RxConnState with an error";
    std::cout << "hung daemon noticed after " << tookMs << " ms\n";
    EXPECT_LE(tookMs, 2 * timeoutMs + 300 + 500);
    EXPECT_EQ(m_sink.of(Kind::ConnState, from).front().a, -RIG_ETIMEOUT);
    EXPECT_FALSE(m_rx->connected());
    EXPECT_FALSE(m_rx->remote());

    from = m_sink.events.size();
    m_daemon->signal(SIGCONT);
    const auto back = m_sink.await(Kind::ConnState, from, 6000,
                                   [](const ReceiverEvent& e) { return e.a == 1000; });
    ASSERT_TRUE(back.has_value()) << "the link did not come back";
    EXPECT_TRUE(m_rx->remote()) << "remote control not taken back";
    from = m_sink.events.size();
    m_rx->setFrequency(10000000, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Frq, from, 2000).has_value());
}

TEST_F(HamlibRigctld, ADeadDaemonLosesTheLinkAndARestartedOneBringsItBack) {
    connectRemote();
    size_t from = m_sink.events.size();
    m_daemon->signal(SIGKILL);
    const qint64 tookMs = awaitLoss(from, 2000);
    ASSERT_GE(tookMs, 0) << "no RxConnState with an error";
    EXPECT_LE(tookMs, timeoutMs + 300);
    EXPECT_LT(m_sink.of(Kind::ConnState, from).front().a, 0);
    m_daemon->stop();

    from = m_sink.events.size();
    m_daemon = std::make_unique<Daemon>(m_daemon->port());
    m_watchdog->pause();
    ASSERT_TRUE(m_daemon->start());
    m_watchdog->resume();
    const auto back = m_sink.await(Kind::ConnState, from, 6000,
                                   [](const ReceiverEvent& e) { return e.a == 1000; });
    ASSERT_TRUE(back.has_value()) << "the link did not come back";
    EXPECT_TRUE(m_rx->connected());
    EXPECT_TRUE(m_rx->remote());
}

TEST_F(HamlibRigctld, ClosingNeverWaitsLongerThanOneTimeout) {
    connectRemote();
    m_daemon->signal(SIGSTOP);
    idle(400); // a poll is now waiting on the daemon
    m_watchdog->pause();
    QElapsedTimer t;
    t.start();
    m_rx.reset();
    const qint64 tookMs = t.elapsed();
    m_watchdog->resume();
    EXPECT_LE(tookMs, timeoutMs + 300);
    m_daemon->signal(SIGCONT);
    idle(2 * timeoutMs); // lets the worker end and be deleted
}

} // namespace
} // namespace corvane::component::testing

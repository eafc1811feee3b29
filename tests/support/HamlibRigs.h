#pragma once

// The radios the Hamlib tests point the receiver at, behind one face: Hamlib's
// dummy rig in this process, a rigctld daemon driving that rig on 127.0.0.1,
// and the virtual radio on a pseudo-terminal, run on the test's (the window's)
// thread while the receiver's worker talks to it through Hamlib's real
// backend of the radio. OnPeer is a receiver on one of them.

#include "tests/support/HamlibPeers.h"

#include "hamlibplugin/WorkerThreads.h"
#include "vradio/FrontPanel.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

// The built-in profiles live in the component's static library.
inline void initVradioProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::testsupport {

using namespace corvane::vradio;

// Connects and waits for the link to come up and, the first time, for the
// first reading of the rig (later links report only what changed meanwhile).
inline void connectAndWait(HamlibBackend& rx, Recorder& sink, int ms = 5000, bool first = true) {
    const size_t from = sink.events.size();
    ASSERT_EQ(rx.connect(true), 0);
    const auto up = sink.await(Kind::ConnState, from, ms);
    ASSERT_TRUE(up.has_value()) << "no RxConnState after connecting";
    ASSERT_EQ(up->err(), 1000);
    ASSERT_TRUE(rx.connected());
    if (first) {
        ASSERT_TRUE(sink.await(Kind::Frq, from, ms).has_value());
    }
}

// How a link breaks: a daemon stopped or killed, a radio that falls silent or
// whose cable is pulled.
enum class Fault { Hang, Kill, Silence, Unplug };

// One radio, seen from outside the receiver.
class Peer {
public:
    virtual ~Peer() = default;
    // Brings the radio up; skips the test where this machine cannot.
    virtual void start() {}
    virtual QJsonObject entry() const = 0;
    // The radio's settings as it shows them, where anything but the receiver sees them.
    virtual QString holds(const HamlibBackend&) { return {}; }
    virtual int32_t frequency(const HamlibBackend& rx) = 0;
    // Commands written to the radio so far, where the peer hears them.
    virtual std::vector<QByteArray> writes() const { return {}; }
    // Turns the dial at the radio; false where nothing but the receiver can.
    virtual bool tune(int32_t) { return false; }
    virtual void fault(Fault, bool) {}
    // Whether fault(Fault::Unplug) takes its line away.
    virtual bool canUnplug() const { return false; }
    // The longest the window's thread may go without turning its loop.
    virtual qint64 stallMs() const { return 100; }

    Watchdog* watchdog = nullptr;

protected:
    // The peer's own waits are not the window's.
    template <typename F> auto unwatched(F f) {
        watchdog->pause();
        const auto out = f();
        watchdog->resume();
        return out;
    }
};

class DummyPeer final : public Peer {
public:
    static constexpr const char* json =
        R"({"name": "Dummy", "kind": "hamlib", "model": 1, "conf": {"static_data": 1}})";
    QJsonObject entry() const override { return entryFrom(json); }
    int32_t frequency(const HamlibBackend& rx) override { return rx.frequency(); }
};

class DaemonPeer final : public Peer {
public:
    static constexpr int timeoutMs = 500; // the entry's Hamlib timeout
    void start() override {
        if (QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty()) {
            GTEST_SKIP() << "rigctld is not installed";
        }
        m_daemon = std::make_unique<Daemon>(freePort());
        ASSERT_TRUE(m_daemon->start());
    }
    QJsonObject entry() const override { return entryFor(port()); }
    // A rigctld entry for `port` (a relay in front of this daemon, say).
    static QJsonObject entryFor(quint16 port, int timeout = timeoutMs) {
        return QJsonObject{{"name", "Net"},
                           {"kind", "rigctld"},
                           {"host", "127.0.0.1"},
                           {"port", port},
                           {"conf", QJsonObject{{"timeout", timeout}}}};
    }
    quint16 port() const { return m_daemon->port(); }
    // rigctl from the shell: an independent look at the daemon's rig.
    QString holds(const HamlibBackend&) override { return shell({"f", "m", "l", "ATT", "j"}); }
    int32_t frequency(const HamlibBackend&) override { return shell({"f"}).toInt(); }
    bool tune(int32_t hz) override {
        shell({"F", QString::number(hz)});
        return true;
    }
    void fault(Fault f, bool on) override {
        if (f == Fault::Hang) {
            m_daemon->signal(on ? SIGSTOP : SIGCONT);
        } else if (on) {
            m_daemon->signal(SIGKILL);
        } else {
            // Restarted on the same port.
            ASSERT_TRUE(unwatched([&] {
                m_daemon->stop();
                m_daemon = std::make_unique<Daemon>(m_daemon->port());
                return m_daemon->start();
            }));
        }
    }
    qint64 stallMs() const override { return timeoutMs / 4; }

private:
    QString shell(const QStringList& command) {
        return unwatched([&] { return rigctl(m_daemon->port(), command); });
    }
    std::unique_ptr<Daemon> m_daemon;
};

struct VRig {
    const char* radio;
    int speed;
    const char* romId;
    bool vfoAndRit;      // a VFO B the program must follow, and RIT
    const char* agcKnob; // an AGC change at the radio ("" none: AGC is not read)
    int agcCode;         // and the code the program shows for it
};

inline const VRig rigs[] = {
    // Hamlib 4.5 reads the IC-R75's SLOW as its SUPERFAST.
    {"IC-R75", 19200, "Icom IC-R75", false, "agc slow", RIG_AGC_SUPERFAST},
    {"IC-7300", 115200, "Icom IC-7300", true, "agc slow", RIG_AGC_SLOW},
    {"TS-2000", 57600, "Kenwood TS-2000", true, "agc off", RIG_AGC_OFF},
    {"TS-590SG", 115200, "Kenwood TS-590SG", true, "agc off", 0},
};

class VRadioPeer final : public Peer {
    // Made first and gone last: the radio runs on this clock.
    QTemporaryDir m_dir;
    RealClock m_clock;

public:
    // `asIs`: the radio's own tables, else without FM (so that a mode the
    // backend offers is refused at the radio).
    explicit VRadioPeer(const VRig& rig, bool asIs = false) : rig(rig), m_asIs(asIs) {}
    void start() override {
        initVradioProfiles();
        ASSERT_TRUE(m_dir.isValid());
        model = findRadioModel(QString::fromLatin1(rig.radio));
        ASSERT_NE(model, nullptr);
        Profile profile = modelProfile(*model);
        for (Profile::Mode& mode : profile.modes) {
            mode.available = m_asIs || mode.name != QLatin1String("FM");
        }
        if (tweak) {
            tweak(profile);
        }
        radio = std::make_unique<Radio>(std::move(profile), m_clock);
        engine = makeEngine(*radio, *model);
        line = std::make_unique<Line>(*engine, rig.speed, m_dir.filePath("radio"));
        QString error;
        ASSERT_TRUE(line->open(&error)) << error.toStdString();
        m_panel = std::make_unique<FrontPanel>(*radio, *engine, *line);
        // Both VFOs on one frequency: the case in which Hamlib's IC-7300
        // backend would move the radio 100 Hz and back to find its VFO.
        engine->clearHeard();
    }
    QJsonObject entry() const override {
        return QJsonObject{{"name", "V"},
                           {"kind", "hamlib"},
                           {"model", model->hamlibModel},
                           {"port", m_dir.filePath("radio")},
                           {"speed", rig.speed}};
    }
    // Its settings: the status without the S-meter, which moves.
    QString holds(const HamlibBackend&) override {
        return m_panel->status().section(QStringLiteral(" S "), 0, 0);
    }
    int32_t frequency(const HamlibBackend&) override { return radio->freq(); }
    std::vector<QByteArray> writes() const override {
        std::vector<QByteArray> out;
        for (const Heard& h : engine->heard()) {
            if (h.write) {
                out.push_back(h.command);
            }
        }
        return out;
    }
    bool tune(int32_t hz) override {
        panel(QStringLiteral("freq %1").arg(hz));
        return true;
    }
    void fault(Fault f, bool on) override {
        if (f == Fault::Silence) {
            line->setSilent(on);
        } else {
            panel(on ? "unplug" : "replug");
        }
    }
    bool canUnplug() const override { return true; }
    void panel(const QString& command) { m_panel->command(command); }

    const VRig rig;
    // Changes the radio's tables before it starts (after FM was made
    // unavailable, which this may undo).
    std::function<void(Profile&)> tweak;
    const RadioModel* model = nullptr;
    std::unique_ptr<Radio> radio;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<Line> line;

private:
    bool m_asIs;
    std::unique_ptr<FrontPanel> m_panel;
};

// A receiver on a peer, and the waits the tests share.
class OnPeer : public ::testing::Test {
protected:
    void begin(std::unique_ptr<Peer> peer) {
        m_peer = std::move(peer);
        m_peer->start();
        if (!IsSkipped() && !HasFatalFailure()) {
            m_rx = makeBackend(m_peer->entry(), m_sink);
            m_watchdog = std::make_unique<Watchdog>();
            m_peer->watchdog = m_watchdog.get();
        }
    }
    void TearDown() override {
        m_rx.reset();
        // The Hamlib side ends before the radio does: a worker still inside a
        // call (a reconnect, say) could otherwise open the radio's link after
        // its terminal has gone and its number been given to another test's
        // radio. The radio answers meanwhile, from this loop.
        const bool ended =
            waitUntil([] { return hamlibplugin::WorkerThreads::running() == 0; }, workersMs);
        if (dynamic_cast<VRadioPeer*>(m_peer.get()) != nullptr) {
            EXPECT_TRUE(ended) << "a Hamlib worker outlived its receiver by " << workersMs << " ms";
        }
        if (m_watchdog) {
            EXPECT_LT(m_watchdog->longestMs(), m_peer->stallMs()) << "the window's thread stalled";
        }
    }
    // Connects and waits for the first reading of the rig; then takes remote
    // control if asked.
    void connect(bool remote) {
        connectAndWait(*m_rx, m_sink);
        ASSERT_EQ(m_rx->setRemote(remote), 0);
    }
    // Does `what` and waits for an event of `kind` that `match` accepts.
    std::optional<ReceiverEvent> after(const std::function<void()>& what, Kind kind,
                                       const std::function<bool(const ReceiverEvent&)>& match = {},
                                       int ms = 3000) {
        const size_t from = m_sink.events.size();
        what();
        return m_sink.await(kind, from, ms, match);
    }
    static std::function<bool(const ReceiverEvent&)> at(int32_t hz) {
        return [hz](const ReceiverEvent& e) { return e.freq() == hz; };
    }
    // Waits for the link to be reported up or lost; the time it took in ms, or -1.
    qint64 awaitLink(bool up, int ms) {
        QElapsedTimer t;
        t.start();
        const auto e =
            m_sink.await(Kind::ConnState, m_sink.events.size(), ms,
                         [up](const ReceiverEvent& ev) { return (ev.err() == 1000) == up; });
        return e ? t.elapsed() : -1;
    }
    size_t dataErrors(size_t from) const { return m_sink.of(Kind::DataError, from).size(); }

    static constexpr int workersMs = 10000;

    Recorder m_sink;
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<Peer> m_peer;
    std::unique_ptr<HamlibBackend> m_rx;
};

} // namespace corvane::testsupport

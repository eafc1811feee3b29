// The Hamlib receiver against every radio of HamlibRigs.h (the virtual one as
// an IC-R75, IC-7300, TS-2000 and TS-590SG through Hamlib's real backends).
// The rules every radio keeps are one table over them; what only one kind of
// radio does follows.
#include "tests/support/HamlibRigs.h"

#include "hamlibplugin/HamlibModels.h"

#include <chrono>
#include <future>

namespace corvane::testsupport {
namespace {

// --- the rules every radio keeps ---

struct PeerCase {
    const char* name;
    std::function<std::unique_ptr<Peer>()> make;
    const char* romId;
    int32_t startHz;
    const char* startMode;
    int32_t usbWidth; // the passband a change to USB brings (0: the one in use stays)
    bool rit;
};

class PeerRules : public OnPeer, public ::testing::WithParamInterface<PeerCase> {
protected:
    void SetUp() override { begin(GetParam().make()); }

    // Sets `code` of `setting` (a filter's width for Setting::Mode): the rig
    // takes it and reports it as the program's.
    ::testing::AssertionResult takes(Setting setting, Kind kind, int32_t code) {
        const bool filter = setting == Setting::Mode;
        const auto now = [&] { return filter ? m_rx->filter() : m_rx->current(setting); };
        const bool already = now() == code;
        const size_t from = m_sink.events.size();
        const auto e = after(
            [&] {
                if (filter) {
                    m_rx->setFilter(code, Origin::Program);
                } else {
                    m_rx->set(setting, code, Origin::Program);
                }
            },
            kind, [code](const ReceiverEvent& ev) { return ev.value() == code; },
            already ? 0 : 3000);
        if ((!already && (!e || e->origin != Origin::Program)) || now() != code ||
            dataErrors(from) != 0) {
            return ::testing::AssertionFailure()
                   << "kind " << static_cast<int>(kind) << " to " << code << ": now " << now();
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_P(PeerRules, AMonitoredRigIsReadAndNeverWritten) {
    const QString before = m_peer->holds(*m_rx);
    connect(false);
    EXPECT_TRUE(m_rx->romId().startsWith(QLatin1String(GetParam().romId)))
        << m_rx->romId().toStdString();
    EXPECT_EQ(m_rx->frequency(), GetParam().startHz);
    ASSERT_GE(m_rx->current(Setting::Mode), 0);
    EXPECT_EQ(m_rx->name(Setting::Mode, m_rx->current(Setting::Mode)),
              QLatin1String(GetParam().startMode));
    const size_t from = m_sink.events.size();
    m_rx->setFrequency(7000000, Origin::Program);
    m_rx->set(Setting::Mode, m_rx->code(Setting::Mode, "USB"), Origin::Program);
    m_rx->set(Setting::Att, 15, Origin::Program); // not even refused: nothing is sent at all
    m_rx->setDeltaF(100, Origin::Program);
    idle(2000); // past a slow poll of every setting
    EXPECT_EQ(m_sink.events.size() - m_sink.of(Kind::SMt, from).size(), from);
    // Neither opening nor polling writes anything: not even a VFO selected
    // and selected back.
    EXPECT_EQ(m_peer->writes(), std::vector<QByteArray>{});
    EXPECT_EQ(m_peer->holds(*m_rx), before);
    // Nor does the program show what it asked for.
    EXPECT_EQ(m_rx->frequency(), GetParam().startHz);
    EXPECT_EQ(m_rx->name(Setting::Mode, m_rx->current(Setting::Mode)),
              QLatin1String(GetParam().startMode));
    EXPECT_EQ(m_rx->deltaF(), 0);

    // A change made at the radio (its dial, another program) is reported.
    if (m_peer->tune(7123000)) {
        const auto frq = m_sink.await(Kind::Frq, from, 2000, at(7123000));
        ASSERT_TRUE(frq);
        EXPECT_EQ(frq->origin, Origin::Receiver);
    }

    // Nor does opening it again after the line came back.
    if (m_peer->canUnplug()) {
        m_peer->fault(Fault::Unplug, true);
        ASSERT_GE(awaitLink(false, 3000), 0) << "no lost link";
        m_peer->fault(Fault::Unplug, false);
        ASSERT_GE(awaitLink(true, 6000), 0) << "the link did not come back";
        idle(500);
        EXPECT_EQ(m_peer->writes(), std::vector<QByteArray>{});
    }
}

TEST_P(PeerRules, EverySettingOfferedIsWrittenAndReported) {
    connect(true);
    ASSERT_TRUE(
        after([&] { m_rx->setFrequency(14074000, Origin::Program); }, Kind::Frq, at(14074000)));
    EXPECT_EQ(m_peer->frequency(*m_rx), 14074000);

    const int32_t usb = m_rx->code(Setting::Mode, "USB");
    const size_t from = m_sink.events.size();
    const auto mod = after([&] { m_rx->set(Setting::Mode, usb, Origin::Forwarded); }, Kind::Mod);
    ASSERT_TRUE(mod);
    EXPECT_EQ(mod->code(), usb);
    EXPECT_EQ(mod->origin, Origin::Forwarded);
    // A filter USB does not have brings the mode's normal passband (over
    // rigctld Hamlib 4.5 reports the old one unless it is asked for).
    if (GetParam().usbWidth != 0) {
        const auto flt = m_sink.await(Kind::Flt, from, 3000);
        ASSERT_TRUE(flt);
        EXPECT_EQ(flt->width(), GetParam().usbWidth);
        EXPECT_EQ(flt->origin, Origin::Forwarded);
    }

    for (const auto& [setting, kind] : {std::pair{Setting::Agc, Kind::Agc},
                                        {Setting::NBl, Kind::NBl},
                                        {Setting::Att, Kind::Att}}) {
        for (int i = m_rx->count(setting) - 1; i >= 0; --i) {
            if (m_rx->available(setting, i)) {
                EXPECT_TRUE(takes(setting, kind, m_rx->codeAt(setting, i)));
            }
        }
    }
    for (int i = 0; i < m_rx->filterCount(); ++i) {
        EXPECT_TRUE(takes(Setting::Mode, Kind::Flt, m_rx->filterWidth(i)));
    }
    // Delta-F goes through RIT: the carrier moves, the dial does not.
    if (GetParam().rit) {
        const auto frq =
            after([&] { m_rx->setDeltaF(-700, Origin::Program); }, Kind::Frq,
                  [](const ReceiverEvent& e) { return e.carrier() == 14074000 - 700; });
        ASSERT_TRUE(frq);
        EXPECT_EQ(frq->freq(), 14074000);
        EXPECT_EQ(m_rx->deltaF(), -700);
    }

    // Setting what is in force already sends nothing and reports nothing.
    const size_t again = m_sink.events.size();
    const size_t wrote = m_peer->writes().size();
    m_rx->setFrequency(14074000, Origin::Program);
    m_rx->set(Setting::Mode, usb, Origin::Program);
    idle(400);
    EXPECT_TRUE(m_sink.of(Kind::Frq, again).empty());
    EXPECT_TRUE(m_sink.of(Kind::Mod, again).empty());
    EXPECT_EQ(dataErrors(again), 0u);
    EXPECT_EQ(m_peer->writes().size(), wrote);
}

template <typename P, typename... A> std::function<std::unique_ptr<Peer>()> make(A... a) {
    return [=] { return std::make_unique<P>(a...); };
}

template <typename C> std::string named(const ::testing::TestParamInfo<C>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Hamlib, PeerRules,
    ::testing::Values(
        PeerCase{"Dummy", make<DummyPeer>(), "Nothing much (dummy)", 145000000, "FM", 2400, true},
        PeerCase{"Rigctld", make<DaemonPeer>(), "Nothing much (dummy)", 145000000, "FM", 2400,
                 true},
        PeerCase{"ICR75", make<VRadioPeer>(rigs[0]), "Icom IC-R75", 7050000, "LSB", 0, false},
        PeerCase{"IC7300", make<VRadioPeer>(rigs[1]), "Icom IC-7300", 7050000, "LSB", 0, true},
        PeerCase{"TS2000", make<VRadioPeer>(rigs[2]), "Kenwood TS-2000", 7050000, "LSB", 0, true},
        PeerCase{"TS590SG", make<VRadioPeer>(rigs[3]), "Kenwood TS-590SG", 7050000, "LSB", 0,
                 true}),
    named<PeerCase>);

// A lost link is reported in time, and when the radio is back remote control
// is taken back and a setting goes through again.
struct LossCase {
    const char* name;
    std::function<std::unique_ptr<Peer>()> make;
    Fault fault;
    int withinMs;
    int err; // 0: any error
};

class LinkLoss : public OnPeer, public ::testing::WithParamInterface<LossCase> {
protected:
    void SetUp() override { begin(GetParam().make()); }
};

TEST_P(LinkLoss, IsReportedInTimeAndRemoteControlComesBack) {
    const LossCase& c = GetParam();
    connect(true);
    const size_t from = m_sink.events.size();
    m_peer->fault(c.fault, true);
    const qint64 tookMs = awaitLink(false, c.withinMs + 2000);
    ASSERT_GE(tookMs, 0) << "no lost link";
    EXPECT_LE(tookMs, c.withinMs);
    const int err = m_sink.of(Kind::ConnState, from).front().err();
    EXPECT_TRUE(c.err != 0 ? err == c.err : err < 0) << err;
    EXPECT_FALSE(m_rx->connected());
    EXPECT_FALSE(m_rx->remote());

    m_peer->fault(c.fault, false);
    ASSERT_GE(awaitLink(true, 6000), 0) << "the link did not come back";
    EXPECT_TRUE(m_rx->remote()) << "remote control not taken back";
    ASSERT_TRUE(
        after([&] { m_rx->setFrequency(7060000, Origin::Program); }, Kind::Frq, at(7060000)));
    EXPECT_EQ(m_peer->frequency(*m_rx), 7060000);
}

// Two timeouts in a row after at most one poll period; a daemon that is gone
// or a pulled cable at the next call; the documented 1.5 s for a silent radio.
constexpr int daemonMs = DaemonPeer::timeoutMs;
INSTANTIATE_TEST_SUITE_P(
    Hamlib, LinkLoss,
    ::testing::Values(
        LossCase{"RigctldHung", make<DaemonPeer>(), Fault::Hang, 2 * daemonMs + 800, -RIG_ETIMEOUT},
        LossCase{"RigctldKilled", make<DaemonPeer>(), Fault::Kill, daemonMs + 300, 0},
        LossCase{"ICR75Silent", make<VRadioPeer>(rigs[0]), Fault::Silence, 1500, 0},
        LossCase{"TS2000Silent", make<VRadioPeer>(rigs[2]), Fault::Silence, 1500, 0},
        LossCase{"ICR75Unplugged", make<VRadioPeer>(rigs[0]), Fault::Unplug, 3000, 0},
        LossCase{"TS2000Unplugged", make<VRadioPeer>(rigs[2]), Fault::Unplug, 3000, 0}),
    named<LossCase>);

// --- what only the virtual radio shows ---

class VirtualRadio : public OnPeer, public ::testing::WithParamInterface<VRig> {
protected:
    void SetUp() override { begin(std::make_unique<VRadioPeer>(GetParam())); }
    VRadioPeer& vr() { return static_cast<VRadioPeer&>(*m_peer); }
};

TEST_P(VirtualRadio, ARefusedWriteIsReportedWithWhatTheRadioHolds) {
    connect(true);
    // The backend offers FM, which this receiver lacks: the radio refuses,
    // the program says so and shows LSB again.
    const int32_t fm = m_rx->code(Setting::Mode, QStringLiteral("FM"));
    ASSERT_GE(fm, 0);
    const size_t from = m_sink.events.size();
    m_rx->set(Setting::Mode, fm, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::DataError, from, 3000));
    const auto mod = m_sink.await(Kind::Mod, from, 3000);
    ASSERT_TRUE(mod);
    EXPECT_EQ(m_rx->name(Setting::Mode, mod->code()), QStringLiteral("LSB"));
    EXPECT_EQ(m_rx->current(Setting::Mode), mod->code());
    EXPECT_EQ(vr().radio->mode(), Mode::Lsb);
}

TEST_P(VirtualRadio, WhatIsChangedAtTheRadioIsReported) {
    if (GetParam().vfoAndRit) {
        vr().panel("vfo b");
        vr().panel("freq 7200000");
        vr().panel("vfo a");
    }
    connect(false);
    // A station of the profile (-50 dBm at 9.41 MHz) on the radio's own meter
    // scale, read back through the backend's calibration.
    const auto smt = after([&] { vr().tune(9410000); }, Kind::SMt, at(9410000));
    ASSERT_TRUE(smt);
    EXPECT_NEAR(smt->dBm(), -50, 6) << smt->text().toStdString();
    ASSERT_TRUE(after([&] { vr().tune(7123000); }, Kind::Frq, at(7123000)));
    const auto mod = after([&] { vr().panel("mode usb"); }, Kind::Mod);
    ASSERT_TRUE(mod);
    EXPECT_EQ(m_rx->name(Setting::Mode, mod->code()), QStringLiteral("USB"));
    if (*GetParam().agcKnob != '\0') {
        const auto agc = after([&] { vr().panel(GetParam().agcKnob); }, Kind::Agc);
        ASSERT_TRUE(agc);
        EXPECT_EQ(agc->code(), GetParam().agcCode);
    }
    if (GetParam().vfoAndRit) {
        // The operator switches to VFO B: the program follows it, and a
        // frequency typed then goes to B, never to A.
        ASSERT_TRUE(after([&] { vr().panel("vfo b"); }, Kind::Frq, at(7200000)));
        ASSERT_EQ(m_rx->setRemote(true), 0);
        ASSERT_TRUE(
            after([&] { m_rx->setFrequency(7210000, Origin::Program); }, Kind::Frq, at(7210000)));
        EXPECT_EQ(vr().radio->freqOf(1), 7210000);
        EXPECT_EQ(vr().radio->freqOf(0), 7123000);
        EXPECT_EQ(vr().radio->vfo(), 1);
    }
}

// Line faults, on one radio of each protocol.
class VirtualRadioLine : public VirtualRadio {};

TEST_P(VirtualRadioLine, GarbageIsReportedAndTheLinkRecovers) {
    connect(true);
    const size_t from = m_sink.events.size();
    vr().line->setGarbage(true);
    m_rx->setFrequency(7100000, Origin::Program);
    ASSERT_TRUE(
        m_sink.await(Kind::ConnState, from, 4000, [](auto& e) { return e.err() != 1000; }) ||
        dataErrors(from) > 0)
        << "garbage went unnoticed";
    vr().line->setGarbage(false);
    if (!m_rx->connected()) {
        ASSERT_GE(awaitLink(true, 5000), 0) << "the link did not come back";
    }
    ASSERT_TRUE(
        after([&] { m_rx->setFrequency(7150000, Origin::Program); }, Kind::Frq, at(7150000)));
    EXPECT_EQ(vr().radio->freq(), 7150000);
}

// The driver dialog's Test: what it found, or exactly why not.
TEST_P(VirtualRadioLine, TheDialogsTestSaysWhatItFoundOrWhyNot) {
    const auto test = [this] {
        // Blocking, as on the dialog's own thread; the radio answers here.
        auto answer = std::async(std::launch::async, [settings = m_rx->settings()] {
            return hamlibplugin::testLink(settings);
        });
        waitUntil(
            [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            10000);
        return answer.get();
    };
    const QString found = test();
    EXPECT_TRUE(
        found.startsWith(QStringLiteral("Connected: %1").arg(QLatin1String(GetParam().romId))))
        << found.toStdString();
    EXPECT_TRUE(found.endsWith(QStringLiteral(", 7050000 Hz"))) << found.toStdString();
    const struct {
        const char* fault;
        const char* undo;
        const char* answer;
        bool civOnly;
    } faults[] = {
        {"silent on", "silent off", "Failed: no answer from", false},
        {"addr 0x5b", "addr own", "Failed: no answer from", true},
        // Hamlib finds out at opening whether the line echoes.
        {"echo off", "echo on", "Connected: ", true},
        {"garbage on", "garbage off", "Failed: ", false},
        {"unplug", "replug", "Failed: cannot use", false},
    };
    for (const auto& f : faults) {
        if (f.civOnly && vr().model->protocol != Protocol::CiV) {
            continue;
        }
        vr().panel(f.fault);
        const QString answer = test();
        EXPECT_TRUE(answer.startsWith(QLatin1String(f.answer)))
            << f.fault << ": " << answer.toStdString();
        vr().panel(f.undo);
    }
}

std::string nameOf(const ::testing::TestParamInfo<VRig>& info) {
    return QString::fromLatin1(info.param.radio).remove('-').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hamlib, VirtualRadio, ::testing::ValuesIn(rigs), nameOf);
INSTANTIATE_TEST_SUITE_P(Hamlib, VirtualRadioLine, ::testing::Values(rigs[0], rigs[2]), nameOf);

} // namespace
} // namespace corvane::testsupport

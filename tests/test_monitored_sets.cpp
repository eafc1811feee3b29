// A set that would change a receiver not under remote control is refused:
// the call fails with the reason, RxDataError says it, and the event of what
// the receiver holds follows, so a window that shows the pick takes it back.
// Writing back what the receiver holds, as every selection does, stays silent.
#include "tests/support/HamlibRigs.h"

#include "tests/support/ComponentFixture.h"
#include "tests/support/ShownWindow.h"

#include <QTest>

#include <gtest/gtest.h>

namespace corvane::testsupport {
namespace {

using C = CorvaneComponent;
using Set = std::function<void(C&)>;

const QString refused = QStringLiteral("receiver 0 is not under remote control");
const QString refusedEvent = QStringLiteral("RxDataError(0, %1)").arg(notUnderRemoteControl);

// smallProfile() in USB on 7 MHz, connected or not, never under remote control.
QJsonObject monitoredProfile(bool connected) {
    QJsonObject p = smallProfile();
    p["initial"] =
        QJsonObject{{"freq", 7000000}, {"mode", 3}, {"filter", 2400}, {"agc", 1},
                    {"nb", 0},         {"att", 0},  {"deltaF", 0},    {"connected", connected}};
    return p;
}

TEST(MonitoredSets, AChangeIsRefusedWithWhatTheReceiverHoldsAndTheSameValueIsSilent) {
    const struct {
        const char* what;
        Set change;
        const char* holds;
        Set same;
    } cases[] = {
        {"mode", [](C& c) { c.setRxMod(0, 1); }, "RxModUpdated(0, 3, -1500)",
         [](C& c) { c.setRxMod(0, 3); }},
        {"filter", [](C& c) { c.setRxFlt(0, 1800); }, "RxFltUpdated(0, 2400)",
         [](C& c) { c.setRxFlt(0, 2400); }},
        {"agc", [](C& c) { c.setRxAgc(0, 2); }, "RxAgcUpdated(0, 1, 1)",
         [](C& c) { c.setRxAgc(0, 1); }},
        {"nb", [](C& c) { c.setRxNBl(0, 1); }, "RxNBlUpdated(0, 0, 0)",
         [](C& c) { c.setRxNBl(0, 0); }},
        {"att", [](C& c) { c.setRxAtt(0, 20); }, "RxAttUpdated(0, 0, 0)",
         [](C& c) { c.setRxAtt(0, 0); }},
        // Even one the receiver does not offer: it is not asked at all.
        {"unknown mode", [](C& c) { c.setRxMod(0, 42); }, "RxModUpdated(0, 3, -1500)",
         [](C& c) { c.setRxMod(0, 3); }},
        {"frequency", [](C& c) { c.setRxFrq(0, 0, 7100000); }, "RxFrqUpdated(0, 7000000, 7000000)",
         [](C& c) { c.setRxFrq(0, 0, 7000000); }},
        {"delta-F", [](C& c) { c.setRxDeltaF(0, 250); }, "RxFrqUpdated(0, 7000000, 7000000)",
         [](C& c) { c.setRxDeltaF(0, 0); }},
    };
    for (const bool connected : {true, false}) {
        Rig rig;
        rig.setUp({monitoredProfile(connected)});
        C& c = *rig.component;
        ASSERT_EQ(c.RxConnected(0), connected ? -1 : 0);
        ASSERT_EQ(c.RxIsRemote(0), 0);
        EventLog log(c);
        for (const auto& k : cases) {
            SCOPED_TRACE(std::string(k.what) + (connected ? " monitored" : " not connected"));
            EXPECT_EQ(failure([&] { k.change(c); }), refused);
            EXPECT_EQ(log.take(), QStringList{}) << "emitted from inside the call";
            rig.deliver();
            EXPECT_EQ(log.take(), (QStringList{refusedEvent, QString::fromLatin1(k.holds)}));
            EXPECT_EQ(failure([&] { k.same(c); }), "(answered)");
            rig.deliver();
            EXPECT_EQ(log.take(), QStringList{});
        }
        EXPECT_EQ(c.RxMod(0), 3);
        EXPECT_EQ(c.RxFlt(0), 2400);
        EXPECT_EQ(c.RxAtt(0), 0);
        EXPECT_EQ(c.RxFrq(0, 0), 7000000);
    }
}

// The refusal in the trace, and a coupled receiver under remote control is not
// made to follow the receiver that refused.
TEST(MonitoredSets, TheTraceSaysWhyAndNothingIsForwarded) {
    QTemporaryDir traceDir;
    const QString tracePath = traceDir.filePath("trace.txt");
    Rig rig(tracePath);
    QJsonObject other = smallProfile();
    other["initial"] =
        QJsonObject{{"freq", 9000000}, {"mode", 1}, {"connected", true}, {"remote", true}};
    rig.setUp({monitoredProfile(true), other});
    C& c = *rig.component;
    c.setDrvForward(1);
    EXPECT_EQ(failure([&] { c.setRxFrq(0, 0, 7100000); }), refused);
    rig.deliver();
    EXPECT_EQ(c.RxFrq(1, 0), 9000000);
    const QString trace = QString::fromUtf8(readAll(tracePath));
    EXPECT_TRUE(trace.contains("call RxFrq(0, 0) <- 7100000 !! " + refused)) << trace.toStdString();
    EXPECT_TRUE(
        trace.contains("event " + refusedEvent + "\nevent RxFrqUpdated(0, 7000000, 7000000)"))
        << trace.toStdString();
}

// The window over a monitored simulated receiver. A change reported for it
// reloads a list, which enables it (the window does that on every load); the
// operator then picks another entry with the mouse.
TEST(MonitoredSets, APickInTheWindowIsReportedAndTheListShowsWhatTheReceiverHolds) {
    Rig rig(std::nullopt);
    const QString profilePath = rig.dir.filePath("corvane/monitored.json");
    writeFile(profilePath, QJsonDocument(monitoredProfile(true)).toJson());
    rig.writeTable(QJsonArray{Rig::sim("Monitored", profilePath)});
    C* c = rig.component.get();
    RecordingReporter reporter;
    window::MainWindow w(
        [&] { return std::unique_ptr<receiver::Component>(std::move(rig.component)); }, &reporter);
    const Controls ui(w);
    w.load();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const auto settle = [&] {
        for (int i = 0; i < 4; ++i) {
            rig.deliver();
        }
    };

    const struct {
        controls::ListBox* list;
        std::function<void()> reload; // a change reported for the receiver
        const char* pick;
        const char* holds;
        const char* handler;
    } cases[] = {
        {ui.Mode, [&] { emit c->RxModUpdated(0, 3, -1500); }, "AM", "USB", "Mode_Click"},
        {ui.Filter, [&] { emit c->RxFltUpdated(0, 2400); }, "  1800 / Nar", "  2400 / SSB",
         "Filter_Click"},
        {ui.Agc, [&] { emit c->RxAgcUpdated(0, 1, 1); }, "Slow", "Fast", "Agc_Click"},
        {ui.NB, [&] { emit c->RxNBlUpdated(0, 0, 0); }, "NB1", "Off", "NB_Click"},
        {ui.Att, [&] { emit c->RxAttUpdated(0, 0, 0); }, "20 dB", "0 dB", "Att_Click"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.handler);
        k.reload();
        settle();
        // The reload wrote back what the receiver holds: nothing refused.
        ASSERT_EQ(reporter.reports, QStringList{});
        ASSERT_TRUE(k.list->isEnabled());
        const qsizetype row = listTexts(*k.list).indexOf(QString::fromLatin1(k.pick));
        ASSERT_GE(row, 0) << listTexts(*k.list).join(u'|').toStdString();
        pick(*k.list, static_cast<int>(row));
        ASSERT_EQ(reporter.reports.size(), 1);
        EXPECT_TRUE(reporter.reports[0].startsWith(QString::fromLatin1(k.handler)));
        EXPECT_TRUE(reporter.reports[0].contains(refused)) << reporter.reports[0].toStdString();
        reporter.reports.clear();
        settle();
        EXPECT_EQ(k.list->listText(k.list->listIndex()), QString::fromLatin1(k.holds));
        EXPECT_EQ(reporter.reports, QStringList{});
    }
    EXPECT_EQ(c->RxMod(0), 3);
    EXPECT_EQ(c->RxFlt(0), 2400);
    EXPECT_EQ(c->RxAgc(0), 1);
    EXPECT_EQ(c->RxNBl(0), 0);
    EXPECT_EQ(c->RxAtt(0), 0);
}

// Hamlib's real backends against the virtual radio, through the component:
// the radio hears no write, still holds what it held, and the component
// answers each change with what the radio holds.
class MonitoredRadio : public ::testing::TestWithParam<VRig> {
protected:
    void TearDown() override {
        component.reset();
        // The radio answers from this loop until the workers have closed it.
        EXPECT_TRUE(waitUntil([] { return hamlibplugin::WorkerThreads::running() == 0; }, 10000));
    }

    QTemporaryDir dir;
    std::unique_ptr<C> component;
};

// Another entry of `setting` the radio offers now than `code`; -1 if none.
int32_t another(const ReceiverBackend& rx, Setting setting, int32_t code) {
    for (int32_t i = 0; i < rx.count(setting); ++i) {
        if (rx.codeAt(setting, i) != code && rx.available(setting, i)) {
            return rx.codeAt(setting, i);
        }
    }
    return -1;
}

TEST_P(MonitoredRadio, EveryChangeIsRefusedAndTheRadioHearsNoWrite) {
    VRadioPeer peer(GetParam());
    peer.start();
    ASSERT_FALSE(HasFatalFailure());
    Watchdog watchdog;
    peer.watchdog = &watchdog;

    C::Options o;
    o.configHome = dir.path();
    o.registry = BackendRegistry::withBuiltins();
    // The plugin's backend as this test links it, not loaded from a file.
    o.registry->add(QStringLiteral("hamlib"), [](const BackendContext& context) {
        return std::make_unique<HamlibBackend>(
            HamlibBackend::settingsOf(readHamlibEntry(context.entry)), context.sink);
    });
    component = std::make_unique<C>(std::move(o));
    writeDriverTable(dir.path(),
                     QJsonDocument(QJsonObject{{"drivers", QJsonArray{peer.entry()}}}).toJson());
    C& c = *component;
    c.DrvSetup("Test", 0);
    EventLog log(c);
    c.RxConnect(0, -1);
    ASSERT_TRUE(waitUntil([&] { return c.RxConnected(0) != 0 && c.RxMod(0) >= 0; }, 5000));
    idle(300);
    log.take();
    const ReceiverBackend& rx = *c.backend(0);
    const QString before = peer.holds(*static_cast<const HamlibBackend*>(&rx));
    const int32_t freq = c.RxFrq(0, 0);
    const int32_t mode = c.RxMod(0);
    const QString heldFrequency = QStringLiteral("RxFrqUpdated(0, %1, %1)").arg(freq);

    // Each setting: its set, another value the radio offers, the one it holds
    // and the event that says so.
    struct Case {
        QString what;
        std::function<void(C&, int32_t)> set;
        int32_t other, held;
        QString holds;
    };
    const auto choice = [](void (C::*set)(int16_t, int32_t)) {
        return [set](C& x, int32_t v) { (x.*set)(0, v); };
    };
    std::vector<Case> cases{
        {"frequency", [](C& x, int32_t v) { x.setRxFrq(0, 0, v); }, freq + 1000, freq,
         heldFrequency},
        {"delta-F", choice(&C::setRxDeltaF), 100, 0, heldFrequency},
        {"mode", choice(&C::setRxMod), another(rx, Setting::Mode, mode), mode,
         QStringLiteral("RxModUpdated(0, %1, %2)").arg(mode).arg(c.RxBfo(0))},
    };
    const struct {
        Setting setting;
        const char* name;
        void (C::*set)(int16_t, int32_t);
    } choices[] = {{Setting::Agc, "Agc", &C::setRxAgc},
                   {Setting::NBl, "NBl", &C::setRxNBl},
                   {Setting::Att, "Att", &C::setRxAtt}};
    for (const auto& [setting, name, set] : choices) {
        const int32_t held = rx.current(setting);
        const int32_t other = another(rx, setting, held);
        if (held >= 0 && other >= 0) { // read, and something else to pick
            cases.push_back({name, choice(set), other, held,
                             QStringLiteral("Rx%1Updated(0, %2, %3)")
                                 .arg(QLatin1String(name))
                                 .arg(held)
                                 .arg(rx.capabilities()->indexOf(setting, held))});
        }
    }
    if (rx.filterCount() > 1) {
        const int32_t held = rx.filter();
        cases.push_back({"filter", choice(&C::setRxFlt),
                         rx.filterWidth(rx.filterWidth(0) != held ? 0 : 1), held,
                         QStringLiteral("RxFltUpdated(0, %1)").arg(held)});
    }
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what.toStdString());
        EXPECT_EQ(failure([&] { k.set(c, k.other); }), refused);
        QStringList got;
        waitUntil([&] { return (got += log.take()).size() >= 2; }, 2000);
        EXPECT_EQ(got, (QStringList{refusedEvent, k.holds}));
        EXPECT_EQ(failure([&] { k.set(c, k.held); }), "(answered)");
    }
    idle(1800); // past a poll of every setting
    EXPECT_EQ(log.take(), QStringList{}) << "the radio never changed";
    EXPECT_EQ(peer.writes(), std::vector<QByteArray>{});
    EXPECT_EQ(peer.holds(*static_cast<const HamlibBackend*>(&rx)), before);
    EXPECT_EQ(c.RxFrq(0, 0), freq);
    EXPECT_EQ(c.RxMod(0), mode);
}

INSTANTIATE_TEST_SUITE_P(Hamlib, MonitoredRadio, ::testing::ValuesIn(rigs), [](const auto& info) {
    QString name = QString::fromLatin1(info.param.radio);
    return name.remove('-').toStdString();
});

} // namespace
} // namespace corvane::testsupport

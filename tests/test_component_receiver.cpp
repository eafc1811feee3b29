// Simulated receivers through the component's operations, on a driven clock:
// their tables, sets and events, forwarding between them, and the trace of a
// session.
#include "tests/support/ComponentFixture.h"

#include "component/api/Capabilities.h"

#include "receiver/Component.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace corvane::testsupport;

namespace {

QJsonObject with(QJsonObject profile, const QString& key, const QJsonValue& value) {
    profile.insert(key, value);
    return profile;
}

// The same receiver, but USB under another code with its narrow filter first,
// and a higher lower limit.
QJsonObject otherMaker() {
    QJsonArray modes = smallProfile()["modes"].toArray();
    modes[1] = QJsonDocument::fromJson(R"({"name": "USB", "code": 30, "bfo": -1500, "filters":
        [{"width": 1800, "name": "Nar"}, {"width": 2400, "name": "SSB"}]})")
                   .object();
    return with(with(smallProfile(), "modes", modes), "frqMin", 1000000);
}

} // namespace

// The simulation's events come in the order its timers were started when
// they fall due together, and a timer started by a callback for the moment
// already reached still fires within the same advance.
TEST(DrivenClock, TimersDueTogetherFireInStartOrder) {
    DrivenClock clock;
    QStringList fired;
    clock.start(10, [&] {
        fired << "a";
        clock.start(0, [&] { fired << "c"; });
    });
    clock.start(10, [&] { fired << "b"; });
    clock.start(11, [&] { fired << "late"; });
    clock.advance(10);
    EXPECT_EQ(fired, (QStringList{"a", "b", "c"}));
    EXPECT_EQ(clock.nowMs(), 10);
}

TEST(ComponentReceiver, TablesAnswerFromTheProfileAndRefuseWhatIsOutOfRange) {
    Rig rig;
    rig.setUp({smallProfile()});
    auto& c = *rig.component;
    EXPECT_EQ(c.RxFrqMin(0), 100000);
    EXPECT_EQ(c.RxFrqMax(0), 30000000);
    EXPECT_EQ(c.RxModCount(0), 4);
    EXPECT_EQ(c.RxModName(0, 1), "USB");
    EXPECT_EQ(c.RxModAvail(0, 1), -1);
    EXPECT_EQ(c.RxModAvail(0, 3), 0);
    EXPECT_EQ(c.RxModCode(0, "CW"), 4);
    EXPECT_EQ(c.RxModCode(0, ""), -1);
    EXPECT_EQ(c.RxModCode(0, "usb"), -1);

    // Filters and AGC availability follow the current mode (AM: 6000/2400, AGC Fast/Slow).
    EXPECT_EQ(c.RxFltCount(0), 2);
    EXPECT_EQ(c.RxFltWidth(0, 1), 2400);
    EXPECT_EQ(c.RxFltName(0, 2400), "Mid");
    EXPECT_EQ(c.RxFltName(0, 500), "");
    EXPECT_EQ(c.RxFlt(0), 6000);
    EXPECT_EQ(c.RxAgcCount(0), 4);
    EXPECT_EQ(c.RxAgcAvail(0, 0), 0); // Off is not allowed in AM
    EXPECT_EQ(c.RxAgcAvail(0, 1), -1);
    EXPECT_EQ(c.RxAgcAvail(0, 3), 0); // unavailable in every mode
    EXPECT_EQ(c.RxAgc(0), 1);
    EXPECT_EQ(c.RxNBlName(0, 1), "NB1");
    EXPECT_EQ(c.RxAttCode(0, "20 dB"), 20);

    // Out of range is a failure naming the receiver, table or entry.
    EXPECT_TRUE(failure([&] { c.RxRomId(1); }).startsWith("receiver 1 does not exist"));
    EXPECT_TRUE(failure([&] { c.RxMod(-1); }).startsWith("receiver -1 does not exist"));
    EXPECT_TRUE(failure([&] { c.DrvName(3); }).contains("no driver 3"));
    EXPECT_TRUE(failure([&] { c.RxModName(0, 4); }).contains("no entry 4"));
    EXPECT_TRUE(failure([&] { c.RxAgcAvail(0, -1); }).contains("no entry -1"));
    EXPECT_TRUE(failure([&] { c.RxFltWidth(0, 2); }).contains("no filter 2"));
    EXPECT_TRUE(failure([&] { c.RxFrq(0, 1); }).contains("no VFO 1"));
    EXPECT_TRUE(failure([&] { c.RxFrq(0, -1); }).contains("no VFO -1"));
}

// The look-ups every backend shares, on a table with duplicate names and codes:
// the first entry with a name or code wins, and filters and AGC follow the
// mode asked about, an unknown one having no filters and allowing every AGC.
TEST(Capabilities, LookUpsTakeTheFirstEntryAndFollowTheMode) {
    using corvane::component::Capabilities;
    using corvane::component::Setting;
    Capabilities caps;
    caps.modes = {
        {"USB", 3, true, {{2400, "SSB"}, {1800, ""}, {2400, "Again"}}, std::vector<int32_t>{1}},
        {"USB", 5, true, {{500, "CW"}}, std::nullopt},
        {"AM", 3, false, {{6000, "Wide"}}, std::nullopt}};
    caps.agc = {{"Fast", 1}, {"Slow", 2}, {"Fast", 7}, {"Off", 0, false}};
    caps.att = {{"0 dB", 0}, {"", 10}, {"10 dB", 10}};
    const auto number = [](int32_t n) { return QString::number(n); };
    const auto name = [](const QString& text) { return text.isNull() ? QString("(none)") : text; };
    const auto avail = [](bool yes) { return QString(yes ? "yes" : "no"); };
    const struct {
        const char* what;
        QString got;
        QString want;
    } cases[] = {
        {"mode named twice", number(caps.code(Setting::Mode, "USB")), "3"},
        {"AGC named twice", number(caps.code(Setting::Agc, "Fast")), "1"},
        {"blank attenuator name", number(caps.code(Setting::Att, "")), "10"},
        {"name in another case", number(caps.code(Setting::Agc, "fast")), "-1"},
        {"mode code twice", number(caps.indexOf(Setting::Mode, 3)), "0"},
        {"attenuator code twice", number(caps.indexOf(Setting::Att, 10)), "1"},
        {"unknown code", number(caps.indexOf(Setting::Agc, 3)), "-1"},
        {"filters of a code twice", number(static_cast<int32_t>(caps.filters(3).size())), "3"},
        {"filters of the other USB", number(static_cast<int32_t>(caps.filters(5).size())), "1"},
        {"filters of an unknown mode", number(static_cast<int32_t>(caps.filters(8).size())), "0"},
        {"width twice in a mode", name(caps.filterName(3, 2400)), "SSB"},
        {"blank filter name", name(caps.filterName(3, 1800)), ""},
        {"width of another mode", name(caps.filterName(3, 500)), "(none)"},
        {"width in an unknown mode", name(caps.filterName(8, 2400)), "(none)"},
        {"AGC the mode allows", avail(caps.available(Setting::Agc, 0, 3)), "yes"},
        {"AGC the mode leaves out", avail(caps.available(Setting::Agc, 1, 3)), "no"},
        {"AGC in a mode naming none", avail(caps.available(Setting::Agc, 1, 5)), "yes"},
        {"AGC in an unknown mode", avail(caps.available(Setting::Agc, 2, 8)), "yes"},
        {"AGC unavailable in any mode", avail(caps.available(Setting::Agc, 3, 5)), "no"},
        {"unavailable mode", avail(caps.available(Setting::Mode, 2, 3)), "no"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got, c.want) << c.what;
    }
}

// Sets are refused unless connected and under remote control
// (test_monitored_sets has how), and then apply at once.
TEST(ComponentReceiver, ConnectsAfterTheDelayAndEventsComeFromTheLoopOnly) {
    Rig rig;
    rig.setUp({smallProfile()});
    auto& c = *rig.component;
    EventLog log(c);
    const QStringList connState{"RxConnState(0, 1000)"};

    EXPECT_THROW(c.setRxFrq(0, 0, 7100000), RuntimeError);
    rig.deliver();
    log.take();
    EXPECT_EQ(c.RxConnect(0, -1), 0);
    rig.advance(299);
    EXPECT_EQ(c.RxConnected(0), 0);
    rig.advance(1);
    EXPECT_EQ(c.RxConnected(0), -1);
    EXPECT_THROW(c.setRxMod(0, 3), RuntimeError);
    EXPECT_EQ(log.take(), QStringList{}); // queued, not emitted by the clock
    rig.deliver();
    EXPECT_EQ(log.take(), (QStringList{"RxConnState(0, 1000)", "RxDataError(0, 1001)",
                                       "RxModUpdated(0, 1, 0)"}));
    EXPECT_EQ(c.RxFrq(0, 0), 7000000);
    EXPECT_EQ(c.RxMod(0), 1);

    // Remote control only while connected; a second take changes nothing.
    EXPECT_EQ(c.RxRemote(0, -1), 0);
    EXPECT_EQ(c.RxIsRemote(0), -1);
    c.setRxFrq(0, 0, 7100000);
    EXPECT_EQ(c.RxFrq(0, 0), 7100000);
    rig.deliver();
    EXPECT_EQ(log.take(),
              (QStringList{"RxConnState(0, 1000)", "RxFrqUpdated(0, 7100000, 7100000)"}));
    c.RxRemote(0, -1);
    c.RxConnect(0, -1);
    rig.advance(1000);
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{});

    // Disconnecting is immediate and drops remote control with it.
    c.RxConnect(0, 0);
    EXPECT_EQ(c.RxConnected(0), 0);
    EXPECT_EQ(c.RxIsRemote(0), 0);
    rig.deliver();
    EXPECT_EQ(log.take(), connState);
    EXPECT_NE(c.RxRemote(0, -1), 0);
    EXPECT_EQ(c.RxIsRemote(0), 0);

    // A connect cancelled before it completes leaves no trace.
    c.RxConnect(0, -1);
    c.RxConnect(0, 0);
    rig.advance(1000);
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{});
    EXPECT_EQ(c.RxConnected(0), 0);
}

// Sets on receiver 0 under remote control, in AM at 7 MHz with the 6 kHz
// filter and Fast AGC, and the events they raise from the event loop: none for
// a set that changes nothing.
using Setter = std::function<void(CorvaneComponent&, int16_t, int32_t)>;
struct Set {
    const char* name;
    QList<QPair<Setter, int32_t>> sets;
    QStringList events;
};

class SetUnderControl : public ::testing::TestWithParam<Set> {};

TEST_P(SetUnderControl, ReportsRealChangesFromTheLoopOnly) {
    Rig rig;
    rig.setUp({smallProfile()});
    rig.takeControl(0);
    EventLog log(*rig.component);
    for (const auto& [set, value] : GetParam().sets) {
        set(*rig.component, 0, value);
    }
    EXPECT_EQ(log.take(), QStringList{});
    rig.deliver();
    EXPECT_EQ(log.take(), GetParam().events);
}

using C = CorvaneComponent;
const Setter frq = [](C& c, int16_t i, int32_t hz) { c.setRxFrq(i, 0, hz); };
INSTANTIATE_TEST_SUITE_P(
    ComponentReceiver, SetUnderControl,
    ::testing::Values(
        Set{"Frequency", {{frq, 7100000}}, {"RxFrqUpdated(0, 7100000, 7100000)"}},
        Set{"TheHighestFrequency", {{frq, 30000000}}, {"RxFrqUpdated(0, 30000000, 30000000)"}},
        Set{"DeltaFMovesTheCarrier",
            {{&C::setRxDeltaF, 250}},
            {"RxFrqUpdated(0, 7000000, 7000250)"}},
        Set{"TheSameFrequency", {{frq, 7000000}}, {}},
        Set{"BelowTheLowestFrequency", {{frq, 99999}}, {}},
        Set{"TheSameMode", {{&C::setRxMod, 1}}, {}},
        Set{"AnUnavailableMode", {{&C::setRxMod, 9}}, {}},
        Set{"AnUnknownMode", {{&C::setRxMod, 42}}, {}},
        Set{"AnAgcTheModeLacks", {{&C::setRxAgc, 0}}, {}},
        Set{"AFilterTheModeLacks", {{&C::setRxFlt, 500}}, {}},
        Set{"AModeThatHasTheFilterKeepsIt",
            {{&C::setRxFlt, 2400}, {&C::setRxMod, 3}},
            {"RxFltUpdated(0, 2400)", "RxModUpdated(0, 3, -1500)"}},
        Set{"AModeWithoutTheFilterTakesItsFirst",
            {{&C::setRxMod, 3}},
            {"RxModUpdated(0, 3, -1500)", "RxFltUpdated(0, 2400)"}},
        Set{"AModeWithoutTheAgcTakesItsFirst",
            {{&C::setRxMod, 4}},
            {"RxModUpdated(0, 4, -700)", "RxFltUpdated(0, 500)", "RxAgcUpdated(0, 0, 0)"}},
        Set{"TheAttenuatorByItsPlace", {{&C::setRxAtt, 20}}, {"RxAttUpdated(0, 20, 1)"}}),
    [](const ::testing::TestParamInfo<Set>& info) { return std::string(info.param.name); });

// A level between two S units (6 dB each below S9) shows the lower one.
TEST(ComponentReceiver, SMeterTextScale) {
    EXPECT_EQ(SimReceiver::reading(-73).text, "S9");
    EXPECT_EQ(SimReceiver::reading(-74).text, "S8");
    EXPECT_EQ(SimReceiver::reading(-80).text, "S7");
}

TEST(ComponentReceiver, FaultsDropTheLinkRaiseDataErrorsAndFailOperations) {
    QJsonObject p = smallProfile();
    p["behaviour"] = QJsonObject{{"connectDelayMs", 10}, {"smeterIntervalMs", 0}};
    p["faults"] = QJsonDocument::fromJson(R"({"dropAfterMs": 1000, "dropErr": 7,
        "dataErrorEveryMs": 300, "failOps": ["RxRomId", "RxMod"]})")
                      .object();
    Rig rig;
    rig.setUp({p, smallProfile()});
    auto& c = *rig.component;
    EventLog log(c);

    EXPECT_EQ(failure([&] { c.RxRomId(0); }), "receiver 0 does not answer");
    EXPECT_THROW(c.setRxMod(0, 3), RuntimeError);
    EXPECT_EQ(c.RxRomId(1), "Test RX 1"); // only the faulty receiver fails
    EXPECT_EQ(c.RxFrq(0, 0), 7000000);

    c.RxConnect(0, -1);
    rig.advance(10 + 999);
    rig.deliver();
    EXPECT_EQ(c.RxConnected(0), -1);
    EXPECT_EQ(log.take(), QStringList({"RxConnState(0, 1000)", "RxDataError(0, 1)",
                                       "RxDataError(0, 1)", "RxDataError(0, 1)"}));
    rig.advance(1);
    EXPECT_EQ(c.RxConnected(0), 0);
    rig.advance(5000);
    rig.deliver();
    // The link's error, and no data errors once it is down.
    EXPECT_EQ(log.take(), QStringList{"RxConnState(0, 7)"});
}

// A profile that cannot be used names its file and the field at fault.
struct BadProfile {
    const char* name;
    const char* key;  // the field of the small profile replaced by `value`
    QJsonValue value; // without a key: the whole file, as text
    QString problem;  // what the description starts with after the file
};

class ProfileError : public ::testing::TestWithParam<BadProfile> {};

TEST_P(ProfileError, NamesTheFileAndTheField) {
    const auto& [name, key, value, problem] = GetParam();
    const QByteArray bytes = key != nullptr
                                 ? QJsonDocument(with(smallProfile(), key, value)).toJson()
                                 : value.toString().toUtf8();
    const QString why = failure([&] { parseProfile(bytes, "/p/x.json"); });
    EXPECT_TRUE(why.startsWith("profile /p/x.json: " + problem)) << why.toStdString();
}

const QString whole32 = "expected a whole number within 32 bits";
INSTANTIATE_TEST_SUITE_P(
    ComponentReceiver, ProfileError,
    ::testing::Values(
        BadProfile{"NotJson", nullptr, "{\"romId\": ", "not valid JSON at line 1"},
        BadProfile{"TopLevelArray", nullptr, "[]", "(top level): expected an object"},
        BadProfile{"FieldMissing", "frqMax", QJsonValue::Undefined, "frqMax: missing"},
        BadProfile{"Fraction", "frqMin", 1.5, "frqMin: " + whole32},
        BadProfile{"Past32Bits", "frqMax", 3e9, "frqMax: " + whole32},
        BadProfile{"NameNotAText", "agc", QJsonArray{QJsonObject{{"name", 3}, {"code", 1}}},
                   "agc[0].name: expected a text"},
        BadProfile{"ListNotAnArray", "faults", QJsonObject{{"failOps", "RxMod"}},
                   "faults.failOps: expected an array"},
        BadProfile{"RomIdTooLong", "romId", QString(129, u'X'),
                   "romId: 129 characters, more than the 128 allowed"},
        BadProfile{
            "TooManyModes", "modes",
            QJsonArray::fromVariantList(QVariantList(257, QVariantMap{{"name", "M"}, {"code", 1}})),
            "modes: 257 entries, more than the 256 allowed"}),
    [](const ::testing::TestParamInfo<BadProfile>& info) { return std::string(info.param.name); });

TEST(ComponentReceiver, OddButWellTypedProfileValuesAreTakenAsTheyStand) {
    QJsonObject p = with(smallProfile(), "frqMin", -10);
    p["modes"] = QJsonDocument::fromJson(R"([{"name": " A ", "code": 5, "filters":
        [{"width": 70000, "name": ""}]}, {"name": "", "code": 5}])")
                     .array();
    p["initial"] = QJsonObject{{"mode", 5}, {"agc", -1}};
    const Profile odd = parseProfile(QJsonDocument(p).toJson(), "odd");
    EXPECT_EQ(odd.frqMin, -10);
    EXPECT_EQ(odd.modes.at(0).filters.at(0).width, 70000);
    EXPECT_EQ(odd.initial.filter, 70000);
    EXPECT_EQ(odd.initial.agc, -1);
}

TEST(ComponentReceiver, BuiltinProfilesLoadAndFitTheirLimits) {
    for (const QString& name : builtinProfiles()) {
        const Profile p = loadProfile("builtin:" + name, {});
        EXPECT_FALSE(p.romId.isEmpty());
        EXPECT_LT(p.frqMin, p.frqMax);
        EXPECT_GE(p.initial.freq, p.frqMin);
        EXPECT_LE(p.initial.freq, p.frqMax);
        EXPECT_GE(p.modes.size(), 2u);
    }
    EXPECT_THROW(loadProfile("builtin:nope", {}), RuntimeError);
}

// The example profile the README shows must load and behave as it says: its
// S-meter reads the stations less the attenuator, and only while connected.
TEST(ComponentReceiver, DocumentedExampleProfileLoadsAndBehavesAsDescribed) {
    const QString example = QStringLiteral(CORVANE_SOURCE_DIR "/docs/examples/airband.json");
    EXPECT_TRUE(readAll(CORVANE_SOURCE_DIR "/README.md").contains(readAll(example)))
        << "README.md no longer shows docs/examples/airband.json as it is";

    Rig rig;
    rig.writeTable(QJsonArray{Rig::sim("Air", example)});
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.RxRomId(0), "AIR-1 v1");
    QSignalSpy meter(&c, &CorvaneComponent::RxSMtUpdated);
    QSignalSpy dataErrors(&c, &CorvaneComponent::RxDataError);
    // The readings of the next `ms`, delivered.
    auto readings = [&](int ms) {
        meter.clear();
        rig.advance(ms);
        EXPECT_EQ(meter.count(), 0); // queued until the loop delivers them
        rig.deliver();
        return QList<QList<QVariant>>(meter);
    };

    EXPECT_EQ(readings(1000).size(), 0); // not connected: silent
    c.RxConnect(0, -1);
    rig.advance(499);
    EXPECT_EQ(c.RxConnected(0), 0);
    rig.advance(1);
    c.RxRemote(0, -1);
    const auto onStation = readings(1000);
    ASSERT_EQ(onStation.size(), 4); // every 250 ms
    const int dbm = onStation.at(3).at(2).value<int16_t>();
    EXPECT_EQ(onStation.at(3).at(1).value<int32_t>(), 118700000);
    EXPECT_NEAR(dbm, -70, 2);
    EXPECT_EQ(onStation.at(3).at(3).value<int16_t>(), dbm + 73);
    EXPECT_EQ(onStation.at(3).at(4).toString(), QStringLiteral("S9+%1").arg(dbm + 73));

    // 20 dB of attenuation, then off the stations: down to the noise.
    c.setRxAtt(0, 20);
    const auto attenuated = readings(250);
    ASSERT_EQ(attenuated.size(), 1);
    EXPECT_NEAR(attenuated.at(0).at(2).value<int16_t>(), -90, 2);
    c.setRxFrq(0, 0, 130000000);
    const auto noise = readings(250);
    ASSERT_EQ(noise.size(), 1);
    EXPECT_EQ(noise.at(0).at(4).toString(), "S0");

    // Data error 3 one minute after connecting; then, disconnected, silence.
    rig.advance(60000 - 1500);
    rig.deliver();
    ASSERT_EQ(dataErrors.count(), 1);
    EXPECT_EQ(dataErrors.at(0).at(1).value<int16_t>(), 3);
    c.RxConnect(0, 0);
    EXPECT_EQ(readings(1000).size(), 0);
}

TEST(ComponentForward, ChangesReachControlledReceiversByNameWithoutEcho) {
    Rig rig;
    rig.setUp({smallProfile(), smallProfile(), otherMaker(), smallProfile()});
    auto& c = *rig.component;
    for (int16_t i : {0, 1, 2}) {
        rig.takeControl(i);
    }
    c.RxConnect(3, -1); // monitored only: connected, not under control
    rig.advance(1000);
    rig.deliver();

    EXPECT_EQ(c.drvForward(), 0);
    corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(1));

    // The events of one pass, in no particular order between receivers.
    EventLog log(c);
    auto events = [&log] {
        QStringList all = log.take();
        all.sort();
        return all;
    };
    c.setRxMod(0, 3); // USB
    EXPECT_EQ(log.take(), QStringList{});
    rig.deliver();
    rig.deliver(); // a second pass must find nothing more: no echo
    // Receiver 2 took the same mode by name, with its own first filter, then
    // receiver 0's 2400 Hz; its 1800 Hz never came back to the others.
    // Receiver 3 (not under control) is never written.
    EXPECT_EQ(c.RxFlt(2), 2400);
    EXPECT_EQ(events(), QStringList({"RxFltUpdated(0, 2400)", "RxFltUpdated(1, 2400)",
                                     "RxFltUpdated(2, 1800)", "RxFltUpdated(2, 2400)",
                                     "RxModUpdated(0, 3, -1500)", "RxModUpdated(1, 3, -1500)",
                                     "RxModUpdated(2, 30, -1500)"}));

    // A frequency only where it is within the limits.
    c.setRxFrq(0, 0, 500000);
    rig.deliver();
    EXPECT_EQ(events(),
              QStringList({"RxFrqUpdated(0, 500000, 500000)", "RxFrqUpdated(1, 500000, 500000)"}));

    // Forwarding off: a change stays where it is made.
    corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(0));
    c.setRxNBl(0, 1);
    c.setRxAtt(0, 20);
    rig.deliver();
    EXPECT_EQ(events(), QStringList({"RxAttUpdated(0, 20, 1)", "RxNBlUpdated(0, 1, 1)"}));

    // Any nonzero value forwards.
    c.setDrvForward(2);
    c.setRxNBl(1, 1);
    rig.deliver();
    EXPECT_EQ(events(), QStringList({"RxNBlUpdated(1, 1, 1)", "RxNBlUpdated(2, 1, 1)"}));
}

TEST(ComponentTrace, RecordedSessionHasTheDocumentedLines) {
    QTemporaryDir traceDir;
    const QString path = traceDir.filePath("trace.txt");
    {
        Rig rig(path);
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        c.DrvName(0);
        corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(1));
        c.RxConnect(0, -1);
        rig.advance(300);
        rig.deliver();
        c.RxRemote(0, -1);
        rig.deliver();
        c.setRxMod(0, 3);
        rig.deliver();
        EXPECT_THROW(c.RxRomId(5), RuntimeError);
        EXPECT_THROW(c.setRxMod(5, 3), RuntimeError);
        c.RxModCode(0, "a\"b\\\n");
        c.setRxFrq(0, 0, 7100000);
        c.RxConnected(0);
        rig.deliver();
    }
    const QStringList lines = QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
    const QStringList expected{
        R"(call DrvSetup("Test", 0) -> 0)",
        R"(call DrvName(0) -> "HF")",
        R"(call DrvForward <- 1)",
        R"(call RxConnect(0, -1) -> 0)",
        R"(event RxConnState(0, 1000))",
        R"(call RxRemote(0, -1) -> 0)",
        R"(event RxConnState(0, 1000))",
        R"(call RxMod(0) <- 3)",
        R"(event RxModUpdated(0, 3, -1500))",
        R"(call RxRomId(5) !! receiver 5 does not exist (4 in the table))",
        R"(call RxMod(5) <- 3 !! receiver 5 does not exist (4 in the table))",
        R"(call RxModCode(0, "a\"b\\\x0a") -> -1)",
        R"(call RxFrq(0, 0) <- 7100000)",
        R"(call RxConnected(0) -> -1)",
        R"(event RxFrqUpdated(0, 7100000, 7100000))",
    };
    EXPECT_EQ(lines, expected);
}

// The Hamlib backend against Hamlib's own dummy rig, in this process.
#include "tests/support/ComponentFixture.h"
#include "tests/support/HamlibRigs.h"

#include <iostream>

#include <pty.h>

namespace corvane::testsupport {
namespace {

class HamlibDummy : public OnPeer {
protected:
    void SetUp() override {
        begin(std::make_unique<DummyPeer>());
        connect(false);
    }
    void takeRemote() {
        const size_t from = m_sink.events.size();
        ASSERT_EQ(m_rx->setRemote(true), 0);
        ASSERT_TRUE(m_rx->remote());
        ASSERT_EQ(m_sink.of(Kind::ConnState, from).size(), 1u);
    }
    std::vector<QString> names(Setting s) const {
        std::vector<QString> out;
        for (int32_t i = 0; i < m_rx->count(s); ++i) {
            out.push_back(m_rx->name(s, i));
        }
        return out;
    }
};

TEST_F(HamlibDummy, ConnectingReadsTheRigsTablesAndState) {
    EXPECT_EQ(m_rx->frqMin(), 150000);
    EXPECT_EQ(m_rx->frqMax(), 1500000000);
    EXPECT_EQ(names(Setting::Mode), (std::vector<QString>{"AM", "CW", "USB", "LSB", "RTTY", "FM",
                                                          "WFM", "CWR", "RTTYR"}));
    // The dummy lists OFF twice over rigctld and these seven in-process.
    EXPECT_EQ(names(Setting::Agc),
              (std::vector<QString>{"OFF", "SUPERFAST", "FAST", "MEDIUM", "SLOW", "AUTO", "USER"}));
    EXPECT_EQ(names(Setting::NBl), (std::vector<QString>{"Off", "NB", "NB2"}));
    EXPECT_EQ(names(Setting::Att), (std::vector<QString>{"0 dB", "10 dB", "20 dB", "30 dB"}));

    // The dummy starts 15 kHz wide (its 145 MHz FM is checked with the other
    // radios), AGC off, nothing switched in.
    EXPECT_EQ(m_rx->filter(), 15000);
    ASSERT_EQ(m_rx->filterCount(), 2);
    EXPECT_EQ(m_rx->filterWidth(0), 8000);
    EXPECT_EQ(m_rx->filterName(8000), QStringLiteral("Narrow"));
    EXPECT_EQ(m_rx->filterName(15000), QStringLiteral("Normal"));
    EXPECT_TRUE(m_rx->filterName(2400).isNull());
    EXPECT_EQ(m_rx->current(Setting::Agc), RIG_AGC_OFF);
    EXPECT_EQ(m_rx->current(Setting::NBl), 0);
    EXPECT_EQ(m_rx->current(Setting::Att), 0);
    EXPECT_EQ(m_rx->bfo(), 0);

    // Each value is reported once, the link first.
    ASSERT_FALSE(m_sink.events.empty());
    EXPECT_EQ(m_sink.events.front().kind, Kind::ConnState);
    for (const Kind k : {Kind::Frq, Kind::Mod, Kind::Flt, Kind::Agc, Kind::NBl, Kind::Att}) {
        EXPECT_EQ(m_sink.of(k).size(), 1u) << static_cast<int>(k);
    }
    EXPECT_EQ(m_sink.of(Kind::Frq).front().freq(), 145000000);
    EXPECT_EQ(m_sink.of(Kind::Flt).front().width(), 15000);
    const auto smeter = m_sink.await(Kind::SMt, 0, 2000);
    ASSERT_TRUE(smeter.has_value());
    EXPECT_EQ(smeter->freq(), 145000000);
    EXPECT_TRUE(smeter->text().startsWith('S')) << smeter->text().toStdString();

    // USB's three filters; a filter list past 16 bits is left out: WFM's
    // single 230 kHz filter.
    takeRemote();
    size_t from = m_sink.events.size();
    m_rx->set(Setting::Mode, m_rx->code(Setting::Mode, "USB"), Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Mod, from, 2000).has_value());
    EXPECT_EQ(m_rx->filterCount(), 3);
    EXPECT_EQ(m_rx->filterName(1800), QStringLiteral("Narrow"));
    EXPECT_EQ(m_rx->filterName(3000), QStringLiteral("Wide"));
    from = m_sink.events.size();
    m_rx->set(Setting::Mode, m_rx->code(Setting::Mode, "WFM"), Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Mod, from, 2000).has_value());
    EXPECT_EQ(m_rx->filterCount(), 0);
}

TEST_F(HamlibDummy, ALaterSetReplacesOneNotYetSent) {
    takeRemote();
    const size_t from = m_sink.events.size();
    for (int32_t khz = 7000; khz < 7040; ++khz) {
        m_rx->setFrequency(khz * 1000, Origin::Program);
    }
    ASSERT_TRUE(m_sink.await(Kind::Frq, from, 2000,
                             [](const ReceiverEvent& e) { return e.freq() == 7039000; }));
    // All forty sets were queued before the worker could send one.
    EXPECT_LE(m_sink.of(Kind::Frq, from).size(), 2u);
}

TEST_F(HamlibDummy, ValuesOutsideTheTablesAreRefusedAndChangeNothing) {
    takeRemote();
    const std::vector<std::pair<const char*, std::function<void()>>> wrong{
        {"att 15", [&] { m_rx->set(Setting::Att, 15, Origin::Program); }},
        {"agc 99", [&] { m_rx->set(Setting::Agc, 99, Origin::Program); }},
        {"nb 3", [&] { m_rx->set(Setting::NBl, 3, Origin::Program); }},
        {"mode 9", [&] { m_rx->set(Setting::Mode, 9, Origin::Program); }},
        {"mode -1", [&] { m_rx->set(Setting::Mode, -1, Origin::Program); }},
        {"USB's 2400 Hz in FM", [&] { m_rx->setFilter(2400, Origin::Program); }},
        {"149999 Hz", [&] { m_rx->setFrequency(149999, Origin::Program); }},
        {"-5 Hz", [&] { m_rx->setFrequency(-5, Origin::Program); }},
        {"delta-F past the RIT's 9990", [&] { m_rx->setDeltaF(10000, Origin::Program); }},
    };
    // Each is refused at once with one data error, and sends nothing.
    const size_t from = m_sink.events.size();
    for (const auto& [what, set] : wrong) {
        const size_t before = m_sink.events.size();
        set();
        EXPECT_EQ(m_sink.events.size(), before + 1) << what;
        EXPECT_EQ(m_sink.events.back().kind, Kind::DataError) << what;
    }
    idle(500); // a poll and the writes would have come through by now
    for (const Kind k : {Kind::Frq, Kind::Mod, Kind::Flt, Kind::Agc, Kind::NBl, Kind::Att}) {
        EXPECT_TRUE(m_sink.of(k, from).empty()) << static_cast<int>(k);
    }
    EXPECT_EQ(m_rx->frequency(), 145000000);
    EXPECT_EQ(m_rx->filter(), 15000);
}

TEST_F(HamlibDummy, DisconnectingReportsAndStopsTheRig) {
    takeRemote();
    const size_t from = m_sink.events.size();
    ASSERT_EQ(m_rx->connect(false), 0);
    EXPECT_FALSE(m_rx->connected());
    EXPECT_FALSE(m_rx->remote());
    ASSERT_EQ(m_sink.of(Kind::ConnState, from).size(), 1u);
    EXPECT_EQ(m_sink.events.back().err(), 1000);
    EXPECT_EQ(m_rx->setRemote(true), 1);
    idle(700);
    EXPECT_EQ(m_sink.events.size(), from + 1) << "events after the link was closed";
    // It comes back on demand, monitored, with nothing new to report.
    connectAndWait(*m_rx, m_sink, 5000, false);
    EXPECT_FALSE(m_rx->remote());
    idle(400);
    EXPECT_TRUE(m_sink.of(Kind::Frq, from).empty());
    EXPECT_EQ(m_rx->frequency(), 145000000);
}

// Every check of a Hamlib or rigctld entry, in one table and through the
// whole component. What the entry says is judged when the table is read; a
// model only Hamlib can judge on the first operation, which makes the backend.
// A refused receiver stays in the table and refuses with the reason (every
// operation alike: HamlibMissing), and the other receivers go on.
struct EntryCase {
    const char* name;
    const char* entry;
    const char* refusal; // after "receiver 0 is not available: driver "a": "; empty: accepted
};

class HamlibEntryCheck : public ::testing::TestWithParam<EntryCase> {};

TEST_P(HamlibEntryCheck, RefusedWithTheReasonWhileTheOthersGoOn) {
    Rig rig;
    rig.writeTable(QJsonArray{entryFrom(GetParam().entry), Rig::sim("HF", "builtin:hf")});
    auto& c = *rig.component;
    ASSERT_EQ(c.DrvSetup(QStringLiteral("Test"), 0), 0);
    ASSERT_EQ(c.DrvCount(), 2);
    EXPECT_EQ(c.DrvName(0), QStringLiteral("a"));
    const QString expected = QString::fromUtf8(GetParam().refusal);
    const QString why = failure([&] { c.RxFrqMax(0); });
    EXPECT_EQ(why, expected.isEmpty() ? QStringLiteral("(answered)")
                                      : R"(receiver 0 is not available: driver "a": )" + expected);
    EXPECT_EQ(c.RxRomId(1), QStringLiteral("HF150 v2"));
}

constexpr const char* kModel = R"("model" must be a Hamlib model number)";
constexpr const char* kTcpPort = R"("port" must be a TCP port number)";

INSTANTIATE_TEST_SUITE_P(
    HamlibEntries, HamlibEntryCheck,
    ::testing::Values(
        EntryCase{"ModelMissing", R"({"name": "a", "kind": "hamlib"})", kModel},
        EntryCase{"ModelZero", R"({"name": "a", "kind": "hamlib", "model": 0})", kModel},
        EntryCase{"ModelAWord", R"({"name": "a", "kind": "hamlib", "model": "seven"})", kModel},
        EntryCase{"ModelUnknownToHamlib", R"({"name": "a", "kind": "hamlib", "model": 999999})",
                  "Hamlib knows no model 999999"},
        EntryCase{"ModelAsText", R"({"name": "a", "kind": "hamlib", "model": " 1 "})", ""},
        EntryCase{"PortNotAPath", R"({"name": "a", "kind": "hamlib", "model": 1, "port": 5})",
                  R"("port" must be a device path)"},
        EntryCase{"SpeedAWord", R"({"name": "a", "kind": "hamlib", "model": 1, "speed": "fast"})",
                  R"("speed" must be a number of baud)"},
        EntryCase{"ConfNotAnObject", R"({"name": "a", "kind": "hamlib", "model": 1, "conf": [1]})",
                  R"("conf" must be an object of Hamlib settings)"},
        EntryCase{"ConfValueAList",
                  R"({"name": "a", "kind": "hamlib", "model": 1, "conf": {"x": [1]}})",
                  R"(conf "x" must be a text or a number)"},
        EntryCase{"TcpPortZero", R"({"name": "a", "kind": "rigctld", "port": 0})", kTcpPort},
        EntryCase{"TcpPortPastTheLast", R"({"name": "a", "kind": "rigctld", "port": 65536})",
                  kTcpPort},
        EntryCase{"TcpPortTheLast", R"({"name": "a", "kind": "rigctld", "port": 65535})", ""}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

// What cannot be a radio's port is refused when connecting, naming the
// driver and the port, before anything is written to it; a pseudo-terminal,
// like the virtual radio's, and a path where nothing is yet are connected as
// ever. An empty port is refused with the entry.
TEST(HamlibPorts, WhatCannotBeARadiosPortIsRefusedNamingDriverAndPort) {
    int line = -1;
    int pty = -1;
    int terminal = -1;
    int own = -1;
    ASSERT_EQ(::openpty(&line, &pty, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(::openpty(&terminal, &own, nullptr, nullptr, nullptr), 0);
    const QString ptyPath = QString::fromLocal8Bit(::ttyname(pty));
    const QString ownPath = QString::fromLocal8Bit(::ttyname(own));
    QTemporaryDir folder;
    const struct {
        QString port;
        QString said; // empty: connected
    } cases[] = {
        {"/dev/null", "is a memory device"},
        {"/dev/zero", "is a memory device"},
        {"/dev/tty", "controlling terminal"},
        {folder.path(), "is a directory"},
        {folder.path() + "/a\nb", "has a control character"},
        {ownPath, "is the terminal this program runs in"},
        {ptyPath, ""},
        {folder.path() + "/ttyUSB9", ""},
    };
    Rig rig;
    QJsonArray table;
    for (const auto& c : cases) {
        table.append(QJsonObject{{"name", QString("D%1").arg(table.size())},
                                 {"kind", "hamlib"},
                                 {"model", 1},
                                 {"port", c.port}});
    }
    table.append(QJsonObject{{"name", "E"}, {"kind", "hamlib"}, {"model", 1}, {"port", " "}});
    rig.writeTable(table);
    auto& c = *rig.component;
    ASSERT_EQ(c.DrvSetup("Test", 0), 0);
    // The program's own terminal, as a program started from one has it.
    const int savedIn = ::dup(STDIN_FILENO);
    ASSERT_EQ(::dup2(own, STDIN_FILENO), STDIN_FILENO);
    for (int16_t i = 0; i < int16_t(std::size(cases)); ++i) {
        const auto& [port, said] = cases[i];
        SCOPED_TRACE(port.toStdString());
        const QString why = failure([&] { c.RxConnect(i, -1); });
        if (said.isEmpty()) {
            EXPECT_EQ(why, "(answered)");
        } else {
            const QString named = QString(R"(driver "D%1": port ")").arg(i);
            EXPECT_TRUE(why.startsWith(named) && why.contains(said) && !why.contains('\n'))
                << why.toStdString();
            EXPECT_TRUE(why.contains(port) || port.contains('\n')) << why.toStdString();
            EXPECT_EQ(c.RxConnected(i), 0);
        }
    }
    ::dup2(savedIn, STDIN_FILENO);
    ::close(savedIn);
    EXPECT_TRUE(waitUntil([&] { return c.RxConnected(6) != 0; }, 5000)) << "the pty's receiver";
    EXPECT_EQ(failure([&] { c.RxConnect(8, -1); }),
              R"(receiver 8 is not available: driver "E": "port" is empty: name the radio's )"
              R"(device, or leave "port" out for Hamlib's default)");
    rig.component.reset();
    for (const int fd : {line, pty, terminal, own}) {
        ::close(fd);
    }
}

// What an accepted entry becomes: the link Hamlib is given.
TEST(HamlibEntries, AcceptedEntriesBecomeTheLinkSettings) {
    const auto byDefault = HamlibBackend::settingsOf(
        readHamlibEntry(entryFrom(R"({"name": "n", "kind": "rigctld"})")));
    EXPECT_EQ(byDefault.model, RIG_MODEL_NETRIGCTL);
    EXPECT_EQ(byDefault.pathname, QStringLiteral("127.0.0.1:4532"));
    const auto net = HamlibBackend::settingsOf(
        readHamlibEntry(entryFrom(R"({"name": "n", "kind": "rigctld", "host": "10.0.0.2",
                                      "port": "4533", "conf": {"timeout": 400}})")));
    EXPECT_EQ(net.pathname, QStringLiteral("10.0.0.2:4533"));
    EXPECT_EQ(net.timeoutMs, 400); // the entry's own timeout wins over the default
    const auto serial = HamlibBackend::settingsOf(readHamlibEntry(entryFrom(
        R"({"name": "s", "kind": "hamlib", "model": 1, "port": "/dev/ttyUSB0", "speed": 9600})")));
    EXPECT_EQ(serial.pathname, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(serial.speed, 9600);
}

// A real radio, only when CORVANE_HAMLIB_MODEL (and CORVANE_HAMLIB_PORT,
// CORVANE_HAMLIB_SPEED as it needs) name one. It is only monitored: nothing
// is written to it.
TEST(HamlibHardware, ARealRadioIsReadWithoutBeingWritten) {
    const QByteArray model = qgetenv("CORVANE_HAMLIB_MODEL");
    if (model.isEmpty()) {
        GTEST_SKIP() << "no radio named in CORVANE_HAMLIB_MODEL";
    }
    QJsonObject entry{{"name", "Radio"}, {"kind", "hamlib"}, {"model", model.toInt()}};
    if (const QByteArray port = qgetenv("CORVANE_HAMLIB_PORT"); !port.isEmpty()) {
        entry.insert("port", QString::fromLocal8Bit(port));
    }
    if (const QByteArray speed = qgetenv("CORVANE_HAMLIB_SPEED"); !speed.isEmpty()) {
        entry.insert("speed", speed.toInt());
    }
    Recorder sink;
    auto rx = makeBackend(entry, sink);
    connectAndWait(*rx, sink, 15000);
    std::cout << "radio: " << rx->romId().toStdString() << ", " << rx->frequency() << " Hz, "
              << rx->count(Setting::Mode) << " modes\n";
    EXPECT_FALSE(rx->romId().isEmpty());
    EXPECT_GT(rx->count(Setting::Mode), 0);
    EXPECT_GE(rx->frequency(), rx->frqMin());
    EXPECT_LE(rx->frequency(), rx->frqMax());
    EXPECT_TRUE(sink.of(Kind::DataError).empty());
}

} // namespace
} // namespace corvane::testsupport

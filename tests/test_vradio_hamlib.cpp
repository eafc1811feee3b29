// The Hamlib receiver through Hamlib's real backends (IC-R75, IC-7300, TS-2000,
// TS-590SG) against the virtual radio on a pseudo-terminal, which runs here on
// the test's (the window's) thread while the receiver's worker talks to it.
#include "tests/support/HamlibHarness.h"

#include "vradio/FrontPanel.h"

#include "hamlib/HamlibModels.h"

#include <QTemporaryDir>

#include <chrono>
#include <future>

#include <iostream>
#include <set>

static void initProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::testsupport {
namespace {

using namespace corvane::vradio;

struct Rig {
    const char* radio;
    int speed;
    const char* romId;
    bool vfoAndRit;      // a VFO B the program must follow, and RIT
    const char* agcKnob; // an AGC change at the radio ("" none: AGC is not read)
    int agcCode;         // and the code the program shows for it
};

void PrintTo(const Rig& rig, std::ostream* os) {
    *os << rig.radio << " at " << rig.speed << " baud";
}

const Rig rigs[] = {
    // Hamlib 4.5 reads the IC-R75's SLOW as its SUPERFAST.
    {"IC-R75", 19200, "Icom IC-R75", false, "agc slow", RIG_AGC_SUPERFAST},
    {"IC-7300", 115200, "Icom IC-7300", true, "agc slow", RIG_AGC_SLOW},
    {"TS-2000", 57600, "Kenwood TS-2000", true, "agc off", RIG_AGC_OFF},
    {"TS-590SG", 115200, "Kenwood TS-590SG", true, "", 0},
};

// The documented time in which a radio that stopped answering is noticed.
constexpr int lossMs = 1500;

class VirtualRadio : public ::testing::TestWithParam<Rig> {
protected:
    void SetUp() override {
        initProfiles();
        ASSERT_TRUE(m_dir.isValid());
        const Rig& rig = GetParam();
        m_model = findRadioModel(QString::fromLatin1(rig.radio));
        ASSERT_NE(m_model, nullptr);
        Profile profile = loadProfile(QStringLiteral("builtin:hf"), {});
        for (Profile::Mode& mode : profile.modes) {
            mode.available = mode.name != QLatin1String("FM"); // refused at the radio
        }
        if (m_model->hamlibModel == 3039) {
            profile.agc[2].name = QStringLiteral("S-Fast"); // where others have medium
        }
        m_radio = std::make_unique<Radio>(std::move(profile), m_clock);
        m_engine = makeEngine(*m_radio, *m_model);
        m_line = std::make_unique<Line>(*m_engine, rig.speed, m_dir.filePath("radio"));
        QString error;
        ASSERT_TRUE(m_line->open(&error)) << error.toStdString();
        m_panel = std::make_unique<FrontPanel>(*m_radio, *m_engine, *m_line);
        // Two VFOs apart: Hamlib 4.5's IC-7300 backend moves a radio whose
        // VFOs are equal by 100 Hz and back while opening it (docs/hamlib.md).
        panel("vfo b");
        panel("freq 7200000");
        panel("vfo a");
        m_engine->clearHeard();
        const QString entry =
            QStringLiteral(
                R"({"name": "V", "kind": "hamlib", "model": %1, "port": "%2", "speed": %3})")
                .arg(m_model->hamlibModel)
                .arg(m_dir.filePath("radio"))
                .arg(rig.speed);
        m_rx = makeBackend(entryFrom(entry.toUtf8().constData()), m_sink);
        m_watchdog = std::make_unique<Watchdog>();
    }
    void TearDown() override {
        m_rx.reset();
        if (m_watchdog) {
            std::cout << "longest stall of the window's thread: " << m_watchdog->longestMs()
                      << " ms\n";
            EXPECT_LT(m_watchdog->longestMs(), 100);
        }
    }
    void panel(const char* command) { m_panel->command(QString::fromLatin1(command)); }
    // The radio's settings (its status without the S-meter, which moves).
    QString state() const { return m_panel->status().section(QStringLiteral(" S "), 0, 0); }
    // Connects and waits for the first reading of the frequency.
    void connect() {
        connectAndWait(*m_rx, m_sink, 5000, false);
        ASSERT_TRUE(m_sink.await(Kind::Frq, 0, 3000));
    }
    void connectRemote() {
        connect();
        ASSERT_EQ(m_rx->setRemote(true), 0);
    }
    std::vector<QByteArray> writes() const {
        std::vector<QByteArray> out;
        for (const Heard& h : m_engine->heard()) {
            if (h.write) {
                out.push_back(h.command);
            }
        }
        return out;
    }
    // Sets `name` of `setting` and waits for the event that reports it.
    std::optional<ReceiverEvent> choose(Setting setting, const QString& name, Kind kind) {
        const size_t from = m_sink.events.size();
        m_rx->set(setting, m_rx->code(setting, name), Origin::Program);
        return m_sink.await(kind, from, 3000);
    }
    size_t dataErrors(size_t from = 0) const { return m_sink.of(Kind::DataError, from).size(); }
    qint64 awaitState(size_t from, int ms, bool up) {
        QElapsedTimer t;
        t.start();
        const auto e = m_sink.await(Kind::ConnState, from, ms, [up](const ReceiverEvent& ev) {
            return (ev.err() == 1000) == up;
        });
        return e ? t.elapsed() : -1;
    }

    QTemporaryDir m_dir;
    RealClock m_clock;
    const RadioModel* m_model = nullptr;
    std::unique_ptr<Radio> m_radio;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Line> m_line;
    std::unique_ptr<FrontPanel> m_panel;
    Recorder m_sink;
    std::unique_ptr<HamlibBackend> m_rx;
    std::unique_ptr<Watchdog> m_watchdog;
};

TEST_P(VirtualRadio, AMonitoredRadioIsReadAndNeverWritten) {
    const QString before = state();
    connect();
    EXPECT_TRUE(m_rx->romId().startsWith(QLatin1String(GetParam().romId)))
        << m_rx->romId().toStdString();
    EXPECT_EQ(m_rx->frequency(), 7050000);
    ASSERT_GE(m_rx->current(Setting::Mode), 0);
    EXPECT_EQ(m_rx->name(Setting::Mode, m_rx->current(Setting::Mode)), QStringLiteral("LSB"));
    const size_t opened = m_engine->heard().size();
    idle(2000); // a slow poll of every setting
    m_rx->setFrequency(7000000, Origin::Program);
    idle(400);
    // What each backend sends, for docs/hamlib.md: "!" marks a write.
    std::set<QByteArray> sent[2];
    std::vector<QByteArray> polledWrites;
    for (size_t i = 0; i < m_engine->heard().size(); ++i) {
        const Heard& h = m_engine->heard()[i];
        sent[i < opened ? 0 : 1].insert((h.write ? "!" : "") + h.command);
        if (i >= opened && h.write) {
            polledWrites.push_back(h.command);
        }
    }
    for (int i = 0; i < 2; ++i) {
        std::cout << (i == 0 ? "opening sent:" : "polling sent:");
        for (const QByteArray& c : sent[i]) {
            std::cout << " [" << c.constData() << ']';
        }
        std::cout << '\n';
    }
    // Polling writes nothing. Hamlib's own opening sequence of some backends
    // selects a VFO or switches auto information off: the radio must be as
    // it was afterwards.
    EXPECT_EQ(polledWrites, std::vector<QByteArray>{});
    EXPECT_EQ(state(), before);
}

TEST_P(VirtualRadio, EveryChoiceOfferedReachesTheRadio) {
    connectRemote();
    size_t from = m_sink.events.size();
    m_rx->setFrequency(14074000, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.freq() == 14074000; }));
    EXPECT_EQ(m_radio->freq(), 14074000);
    ASSERT_TRUE(choose(Setting::Mode, QStringLiteral("USB"), Kind::Mod));
    EXPECT_EQ(m_radio->mode(), Mode::Usb);
    // Each AGC, noise-blanker and attenuator choice offered, and each filter
    // of USB, is taken by the radio and reported back as set.
    for (const auto& [setting, kind] :
         {std::pair{Setting::Agc, Kind::Agc}, std::pair{Setting::NBl, Kind::NBl},
          std::pair{Setting::Att, Kind::Att}}) {
        for (int i = m_rx->count(setting) - 1; i >= 0; --i) {
            if (!m_rx->available(setting, i)) {
                continue;
            }
            const int32_t code = m_rx->codeAt(setting, i);
            from = m_sink.events.size();
            m_rx->set(setting, code, Origin::Program);
            idle(700);
            EXPECT_EQ(m_rx->current(setting), code) << m_rx->name(setting, i).toStdString();
            EXPECT_EQ(dataErrors(from), 0u) << m_rx->name(setting, i).toStdString();
        }
    }
    EXPECT_EQ(m_radio->attDb(), 0);
    EXPECT_EQ(m_radio->nb(), 0);
    for (int i = 0; i < m_rx->filterCount(); ++i) {
        const int32_t width = m_rx->filterWidth(i);
        from = m_sink.events.size();
        m_rx->setFilter(width, Origin::Program);
        idle(700);
        EXPECT_EQ(m_rx->filter(), width);
        EXPECT_EQ(dataErrors(from), 0u) << width;
    }
    if (GetParam().vfoAndRit) {
        from = m_sink.events.size();
        m_rx->setDeltaF(120, Origin::Program);
        ASSERT_TRUE(
            m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.carrier() == 14074120; }));
        EXPECT_EQ(m_radio->rit(), 120);
        EXPECT_TRUE(m_radio->ritOn());
    }
}

TEST_P(VirtualRadio, ARefusedWriteIsReportedWithWhatTheRadioHolds) {
    connectRemote();
    // The backend offers FM, which this receiver lacks (SetUp): the radio
    // refuses, the program says so and shows LSB again.
    const int32_t fm = m_rx->code(Setting::Mode, QStringLiteral("FM"));
    ASSERT_GE(fm, 0);
    const size_t from = m_sink.events.size();
    m_rx->set(Setting::Mode, fm, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::DataError, from, 3000));
    const auto mod = m_sink.await(Kind::Mod, from, 3000);
    ASSERT_TRUE(mod);
    EXPECT_EQ(m_rx->name(Setting::Mode, mod->code()), QStringLiteral("LSB"));
    EXPECT_EQ(m_rx->current(Setting::Mode), mod->code());
    EXPECT_EQ(m_radio->mode(), Mode::Lsb);
}

TEST_P(VirtualRadio, AKnobTurnedAtTheRadioIsReported) {
    connect();
    size_t from = m_sink.events.size();
    panel("freq 7123000");
    const auto frq =
        m_sink.await(Kind::Frq, from, 1500, [](auto& e) { return e.freq() == 7123000; });
    ASSERT_TRUE(frq);
    EXPECT_EQ(frq->origin, Origin::Receiver);
    // A station of the profile (-50 dBm at 9.41 MHz) on the radio's own meter
    // scale, read back through the backend's calibration.
    from = m_sink.events.size();
    panel("freq 9410000");
    const auto smt =
        m_sink.await(Kind::SMt, from, 3000, [](auto& e) { return e.freq() == 9410000; });
    ASSERT_TRUE(smt);
    EXPECT_NEAR(smt->dBm(), -50, 6) << smt->text().toStdString();
    panel("freq 7123000");
    from = m_sink.events.size();
    panel("mode usb");
    const auto mod = m_sink.await(Kind::Mod, from, 3000);
    ASSERT_TRUE(mod);
    EXPECT_EQ(m_rx->name(Setting::Mode, mod->code()), QStringLiteral("USB"));
    if (*GetParam().agcKnob != '\0') {
        from = m_sink.events.size();
        panel(GetParam().agcKnob);
        const auto agc = m_sink.await(Kind::Agc, from, 3000);
        ASSERT_TRUE(agc);
        EXPECT_EQ(agc->code(), GetParam().agcCode);
    }
    if (GetParam().vfoAndRit) {
        // The operator switches to VFO B: the program follows it, and a
        // frequency typed then goes to B, never to A.
        from = m_sink.events.size();
        panel("vfo b");
        ASSERT_TRUE(
            m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.freq() == 7200000; }));
        ASSERT_EQ(m_rx->setRemote(true), 0);
        from = m_sink.events.size();
        m_rx->setFrequency(7210000, Origin::Program);
        ASSERT_TRUE(
            m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.freq() == 7210000; }));
        EXPECT_EQ(m_radio->freqOf(1), 7210000);
        EXPECT_EQ(m_radio->freqOf(0), 7123000);
        EXPECT_EQ(m_radio->vfo(), 1);
    }
}

// Line faults, on one radio of each protocol.
class VirtualRadioLine : public VirtualRadio {};

TEST_P(VirtualRadioLine, SilenceLosesTheLinkInTimeAndAnsweringBringsItBack) {
    connectRemote();
    size_t from = m_sink.events.size();
    m_line->setSilent(true);
    const qint64 tookMs = awaitState(from, 4 * lossMs, false);
    ASSERT_GE(tookMs, 0) << "no lost link";
    std::cout << "silence noticed after " << tookMs << " ms\n";
    EXPECT_LE(tookMs, lossMs);
    from = m_sink.events.size();
    m_line->setSilent(false);
    ASSERT_GE(awaitState(from, 5000, true), 0) << "the link did not come back";
    EXPECT_TRUE(m_rx->remote());
}

TEST_P(VirtualRadioLine, GarbageIsReportedAndTheLinkRecovers) {
    connectRemote();
    size_t from = m_sink.events.size();
    m_line->setGarbage(true);
    m_rx->setFrequency(7100000, Origin::Program);
    ASSERT_TRUE(
        m_sink.await(Kind::ConnState, from, 4000, [](auto& e) { return e.err() != 1000; }) ||
        dataErrors(from) > 0)
        << "garbage went unnoticed";
    m_line->setGarbage(false);
    from = m_sink.events.size();
    if (!m_rx->connected()) {
        ASSERT_GE(awaitState(from, 5000, true), 0) << "the link did not come back";
    }
    from = m_sink.events.size();
    m_rx->setFrequency(7150000, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.freq() == 7150000; }));
    EXPECT_EQ(m_radio->freq(), 7150000);
}

TEST_P(VirtualRadioLine, UnpluggedAndPluggedBackItRecovers) {
    connectRemote();
    size_t from = m_sink.events.size();
    panel("unplug");
    ASSERT_GE(awaitState(from, 2 * lossMs, false), 0) << "no lost link";
    EXPECT_FALSE(m_rx->connected());
    from = m_sink.events.size();
    panel("replug");
    ASSERT_GE(awaitState(from, 6000, true), 0) << "the link did not come back";
    EXPECT_TRUE(m_rx->remote());
    from = m_sink.events.size();
    m_rx->setFrequency(7060000, Origin::Program);
    ASSERT_TRUE(m_sink.await(Kind::Frq, from, 3000, [](auto& e) { return e.freq() == 7060000; }));
}

// The driver dialog's Test: what it found, or exactly why not.
TEST_P(VirtualRadioLine, TheDialogsTestSaysWhatItFoundOrWhyNot) {
    const auto test = [this] {
        // Blocking, as on the dialog's own thread; the radio answers here.
        auto answer = std::async(std::launch::async, [settings = m_rx->settings()] {
            return hamlib::testLink(settings);
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
        if (f.civOnly && m_model->protocol != Protocol::CiV) {
            continue;
        }
        panel(f.fault);
        const QString answer = test();
        std::cout << f.fault << ": " << answer.toStdString() << '\n';
        EXPECT_TRUE(answer.startsWith(QLatin1String(f.answer)))
            << f.fault << ": " << answer.toStdString();
        panel(f.undo);
    }
}

std::string nameOf(const ::testing::TestParamInfo<Rig>& info) {
    return QString::fromLatin1(info.param.radio).remove('-').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hamlib, VirtualRadio, ::testing::ValuesIn(rigs), nameOf);
INSTANTIATE_TEST_SUITE_P(Hamlib, VirtualRadioLine, ::testing::Values(rigs[0], rigs[2]), nameOf);

} // namespace
} // namespace corvane::testsupport

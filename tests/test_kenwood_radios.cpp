// The TS-2000 and TS-590SG through Hamlib's real backends and the model's own
// commands, against the virtual radio playing each: every entry of every
// list is picked under remote control, and the radio (not the program) is
// asked what it then holds.
#include "tests/support/HamlibRigs.h"

namespace corvane::testsupport {
namespace {

const VRig kenwoods[] = {rigs[2], rigs[3]};

class KenwoodRadio : public OnPeer, public ::testing::WithParamInterface<VRig> {
protected:
    // Starts the radio with every mode it has, changed by `tweak`, and a
    // receiver on it.
    void start(const std::function<void(Profile&)>& tweak = {}) {
        auto peer = std::make_unique<VRadioPeer>(GetParam());
        peer->tweak = [tweak](Profile& p) {
            for (Profile::Mode& m : p.modes) {
                m.available = true;
            }
            if (tweak) {
                tweak(p);
            }
        };
        m_vr = peer.get();
        begin(std::move(peer));
    }
    const Profile& profile() const { return m_vr->radio->profile(); }
    int32_t radioWidth() const {
        const auto widths = m_vr->radio->filters();
        return widths[static_cast<size_t>(m_vr->radio->filterIndex())];
    }
    // Picks `code` (a width for a filter) and waits for the program to report it.
    ::testing::AssertionResult picks(Kind kind, int32_t code, Setting setting = Setting::Mode) {
        const bool filter = kind == Kind::Flt;
        const auto now = [&] { return filter ? m_rx->filter() : m_rx->current(setting); };
        const size_t from = m_sink.events.size();
        if (now() != code) {
            filter ? m_rx->setFilter(code, Origin::Program)
                   : m_rx->set(setting, code, Origin::Program);
            if (!m_sink.await(kind, from, 3000, [&](const ReceiverEvent& e) {
                    return (filter ? e.width() : e.code()) == code;
                })) {
                return ::testing::AssertionFailure() << "no report of " << code;
            }
        }
        if (now() != code || dataErrors(from) != 0) {
            return ::testing::AssertionFailure() << code << " shown as " << now();
        }
        return ::testing::AssertionSuccess();
    }

    VRadioPeer* m_vr = nullptr;
};

TEST_P(KenwoodRadio, EveryModeAndEachOfItsFiltersIsHeldByTheRadio) {
    start();
    connect(true);
    ASSERT_EQ(m_rx->count(Setting::Mode), static_cast<int>(profile().modes.size()));
    for (int i = 0; i < m_rx->count(Setting::Mode); ++i) {
        const int32_t code = m_rx->codeAt(Setting::Mode, i);
        const QString name = m_rx->name(Setting::Mode, code);
        ASSERT_TRUE(picks(Kind::Mod, code)) << name.toStdString();
        EXPECT_EQ(m_vr->radio->mode(), modeNamed(name)) << name.toStdString();
        // Offered: exactly the filters the radio has in this mode.
        std::vector<int32_t> offered;
        for (int f = 0; f < m_rx->filterCount(); ++f) {
            offered.push_back(m_rx->filterWidth(f));
        }
        std::vector<int32_t> has = m_vr->radio->filters();
        std::sort(has.begin(), has.end());
        EXPECT_EQ(offered, has) << name.toStdString();
        for (const int32_t width : offered) {
            EXPECT_TRUE(picks(Kind::Flt, width)) << name.toStdString();
            EXPECT_EQ(radioWidth(), width) << name.toStdString();
        }
    }
}

TEST_P(KenwoodRadio, EveryAgcNoiseBlankerAndAttenuatorEntryIsHeldByTheRadio) {
    start();
    connect(true);
    // Off and the twenty time constants; the blankers and the one
    // attenuator step the radio has.
    EXPECT_EQ(m_rx->count(Setting::Agc), 21);
    EXPECT_EQ(m_rx->count(Setting::NBl), static_cast<int>(profile().nb.size()));
    EXPECT_EQ(m_rx->count(Setting::Att), static_cast<int>(profile().att.size()));
    const struct {
        Setting setting;
        Kind kind;
        std::function<int32_t()> held;
    } lists[] = {
        {Setting::Agc, Kind::Agc, [&] { return m_vr->radio->agcCode(); }},
        {Setting::NBl, Kind::NBl, [&] { return m_vr->radio->nb(); }},
        {Setting::Att, Kind::Att, [&] { return m_vr->radio->attDb(); }},
    };
    for (const auto& l : lists) {
        for (int i = m_rx->count(l.setting) - 1; i >= 0; --i) {
            const int32_t code = m_rx->codeAt(l.setting, i);
            ASSERT_TRUE(m_rx->available(l.setting, i));
            EXPECT_TRUE(picks(l.kind, code, l.setting)) << static_cast<int>(l.kind);
            EXPECT_EQ(l.held(), code) << static_cast<int>(l.kind);
        }
    }
}

TEST_P(KenwoodRadio, ARefusedPickIsReportedAndNotShown) {
    // The radio refuses AGC 10, its attenuator, AM and 30 MHz up ("?;").
    start([](Profile& p) {
        p.frqMax = 30000000;
        p.agc[10].available = false;
        p.att[1].available = false;
        for (Profile::Mode& m : p.modes) {
            m.available = m.name != QLatin1String("AM");
        }
    });
    connect(true);
    const struct {
        Setting setting;
        Kind kind;
        const char* name;
    } refused[] = {{Setting::Agc, Kind::Agc, "10"},
                   {Setting::Att, Kind::Att, nullptr},
                   {Setting::Mode, Kind::Mod, "AM"}};
    for (const auto& r : refused) {
        const int32_t before = m_rx->current(r.setting);
        const int32_t code =
            r.name != nullptr ? m_rx->code(r.setting, r.name) : m_rx->codeAt(r.setting, 1);
        const QString held = m_vr->holds(*m_rx);
        const size_t from = m_sink.events.size();
        m_rx->set(r.setting, code, Origin::Program);
        EXPECT_TRUE(m_sink.await(Kind::DataError, from, 3000)) << static_cast<int>(r.kind);
        // Put back to what the radio holds, which has not changed.
        const auto back = m_sink.await(r.kind, from, 3000);
        ASSERT_TRUE(back) << static_cast<int>(r.kind);
        EXPECT_EQ(back->code(), before);
        EXPECT_EQ(m_rx->current(r.setting), before);
        EXPECT_EQ(m_vr->holds(*m_rx), held);
    }
    // A frequency beyond the radio's (as made here) but within Hamlib's ranges.
    const size_t from = m_sink.events.size();
    m_rx->setFrequency(50100000, Origin::Program);
    EXPECT_TRUE(m_sink.await(Kind::DataError, from, 3000));
    const auto back = m_sink.await(Kind::Frq, from, 3000);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->freq(), 7050000);
    EXPECT_EQ(m_rx->frequency(), 7050000);
    EXPECT_EQ(m_vr->radio->freq(), 7050000);
}

TEST_P(KenwoodRadio, AMonitoredRadioWithAutoInformationOnIsNeverWritten) {
    start();
    // Left in AI2 by another program: Hamlib's own open would write AI0.
    m_vr->engine->feed("AI2;");
    m_vr->engine->clearHeard();
    connect(false);
    EXPECT_EQ(m_rx->frequency(), 7050000);
    // The dial turned: the radio announces it unasked, and the poll reads it.
    ASSERT_TRUE(after([&] { m_vr->tune(7123000); }, Kind::Frq, at(7123000)));
    EXPECT_EQ(dataErrors(0), 0u);
    // Nor on the way back after a dead line.
    m_vr->fault(Fault::Unplug, true);
    ASSERT_GE(awaitLink(false, 3000), 0) << "no lost link";
    m_vr->fault(Fault::Unplug, false);
    ASSERT_GE(awaitLink(true, 6000), 0) << "the link did not come back";
    idle(1000);
    ASSERT_TRUE(m_rx->connected());
    ASSERT_EQ(m_rx->connect(false), 0);
    m_rx.reset();
    EXPECT_EQ(m_vr->writes(), std::vector<QByteArray>{});
}

std::string nameOf(const ::testing::TestParamInfo<VRig>& info) {
    return QString::fromLatin1(info.param.radio).remove('-').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hamlib, KenwoodRadio, ::testing::ValuesIn(kenwoods), nameOf);

} // namespace
} // namespace corvane::testsupport

// The IC-R75 and IC-7300 list by list, through Hamlib's real backends and
// the plugin's CI-V dialect against the virtual radio playing each with its
// own tables: every entry of every list picked under remote control is what
// the radio then holds (read from the virtual radio) and what the program
// reports; a mode change keeps the radio's filter number; 1A 03 is never
// written; a width stored at the radio is learnt.
#include "tests/support/HamlibRigs.h"

namespace corvane::testsupport {
namespace {

const VRig icoms[] = {rigs[0], rigs[1]};

class IcomRadio : public OnPeer, public ::testing::WithParamInterface<VRig> {
protected:
    void SetUp() override { begin(std::make_unique<VRadioPeer>(GetParam(), true)); }
    VRadioPeer& vr() { return static_cast<VRadioPeer&>(*m_peer); }
    bool ic7300() const { return QLatin1String(GetParam().radio) == QLatin1String("IC-7300"); }

    // Picks `code` of `setting` (a width for a filter) and waits until the
    // program reports it, or shows it already; then `holds` must say the
    // radio has it.
    ::testing::AssertionResult picks(std::optional<Setting> setting, Kind kind, int32_t code,
                                     const std::function<bool()>& holds) {
        const auto now = [&] { return setting ? m_rx->current(*setting) : m_rx->filter(); };
        const size_t from = m_sink.events.size();
        if (now() != code) {
            const auto e = after(
                [&] {
                    if (setting) {
                        m_rx->set(*setting, code, Origin::Program);
                    } else {
                        m_rx->setFilter(code, Origin::Program);
                    }
                },
                kind, [code](const ReceiverEvent& ev) { return ev.value() == code; });
            if (!e || e->origin != Origin::Program) {
                return ::testing::AssertionFailure() << "no event for " << code;
            }
        }
        if (now() != code || dataErrors(from) != 0) {
            return ::testing::AssertionFailure()
                   << "reports " << now() << " for " << code << "; " << status();
        }
        if (!holds()) {
            return ::testing::AssertionFailure() << "the radio holds " << status();
        }
        return ::testing::AssertionSuccess();
    }
    std::string status() {
        QString refused;
        for (const Heard& h : vr().engine->heard()) {
            if (h.refused) {
                refused += QStringLiteral(" [%1]").arg(QString::fromLatin1(h.command));
            }
        }
        return (vr().holds(*m_rx) + refused).toStdString();
    }

    // The radio's filter number in use: 1 wide / FIL1 .. 3 narrow / FIL3.
    int radioFilter() {
        const auto widths = vr().radio->filters();
        const int missing = ic7300() ? 0 : 3 - static_cast<int>(widths.size());
        return vr().radio->filterIndex() + 1 + missing;
    }
    // The number a filter's name stands for.
    int numberNamed(const QString& name) const {
        if (ic7300()) {
            return name.startsWith(QLatin1String("FIL")) ? name.mid(3).toInt() : 0;
        }
        return static_cast<int>(QStringList{"Wide", "Normal", "Narrow"}.indexOf(name)) + 1;
    }
    int32_t radioWidth() {
        const auto widths = vr().radio->filters();
        return widths[static_cast<size_t>(vr().radio->filterIndex())];
    }
    int32_t mode(const char* name) const { return m_rx->code(Setting::Mode, name); }
    std::vector<QByteArray> widthWrites() const {
        std::vector<QByteArray> out;
        for (const QByteArray& w : m_peer->writes()) {
            if (w.startsWith("1A 03")) {
                out.push_back(w);
            }
        }
        return out;
    }
};

TEST_P(IcomRadio, EveryEntryOfEveryListIsTheRadiosAndWorks) {
    connect(true);
    for (int i = 0; i < m_rx->count(Setting::Mode); ++i) {
        const QString name = m_rx->name(Setting::Mode, i);
        const int32_t code = m_rx->codeAt(Setting::Mode, i);
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(m_rx->available(Setting::Mode, i));
        EXPECT_TRUE(picks(Setting::Mode, Kind::Mod, code,
                          [&] { return vr().radio->mode() == modeNamed(name); }));
        // The mode's filters, each the radio's by number and width.
        ASSERT_GE(m_rx->filterCount(), 2);
        for (int f = 0; f < m_rx->filterCount(); ++f) {
            const int32_t width = m_rx->filterWidth(f);
            const QString filter = m_rx->filterName(width);
            SCOPED_TRACE(filter.toStdString());
            EXPECT_TRUE(picks(std::nullopt, Kind::Flt, width, [&] {
                return radioWidth() == width && radioFilter() == numberNamed(filter);
            }));
        }
    }
    const auto lists = {
        std::tuple{Setting::Agc, Kind::Agc,
                   std::function<bool(const QString&, int32_t)>([&](const QString& n, int32_t) {
                       return vr().radio->agc() == agcNamed(n);
                   })},
        std::tuple{Setting::NBl, Kind::NBl,
                   std::function<bool(const QString&, int32_t)>(
                       [&](const QString&, int32_t c) { return vr().radio->nb() == c; })},
        std::tuple{Setting::Att, Kind::Att,
                   std::function<bool(const QString&, int32_t)>(
                       [&](const QString&, int32_t c) { return vr().radio->attDb() == c; })}};
    for (const auto& [setting, kind, radioHas] : lists) {
        ASSERT_GE(m_rx->count(setting), 2);
        for (int i = m_rx->count(setting) - 1; i >= 0; --i) {
            const QString name = m_rx->name(setting, i);
            const int32_t code = m_rx->codeAt(setting, i);
            SCOPED_TRACE(name.toStdString());
            EXPECT_TRUE(m_rx->available(setting, i));
            EXPECT_TRUE(picks(setting, kind, code, [&] { return radioHas(name, code); }));
        }
    }
    EXPECT_EQ(widthWrites(), std::vector<QByteArray>{});
}

TEST_P(IcomRadio, AModeChangeKeepsTheRadiosFilter) {
    // The IC-7300's USB port gives no echo unless told to: the commands'
    // answers come first.
    if (ic7300()) {
        vr().panel("echo off");
    }
    connect(true);
    ASSERT_TRUE(picks(Setting::Mode, Kind::Mod, mode("USB"), [] { return true; }));
    const int32_t fil2 = m_rx->filterWidth(m_rx->filterCount() - 2); // rising widths
    ASSERT_EQ(numberNamed(m_rx->filterName(fil2)), 2);
    ASSERT_TRUE(picks(std::nullopt, Kind::Flt, fil2, [&] { return radioFilter() == 2; }));
    for (const char* next : {"CW", "AM", "USB"}) {
        SCOPED_TRACE(next);
        EXPECT_TRUE(picks(Setting::Mode, Kind::Mod, mode(next), [&] { return radioFilter() == 2; }))
            << status();
        EXPECT_EQ(numberNamed(m_rx->filterName(m_rx->filter())), 2);
    }
    EXPECT_EQ(m_rx->filter(), fil2);
    EXPECT_EQ(widthWrites(), std::vector<QByteArray>{});
}

// The IC-7300 tells only the width of the filter in use: one stored at the
// radio shows under that filter's name once it is read, in place of the
// factory width, and is then chosen like any other.
TEST_P(IcomRadio, AWidthStoredAtTheRadioIsLearnt) {
    if (!ic7300()) {
        GTEST_SKIP() << "the IC-R75's widths are fixed";
    }
    connect(true);
    ASSERT_TRUE(picks(Setting::Mode, Kind::Mod, mode("CW"), [] { return true; }));
    ASSERT_TRUE(picks(std::nullopt, Kind::Flt, 1200, [&] { return radioFilter() == 1; }));
    ASSERT_EQ(m_rx->filterName(1200), QStringLiteral("FIL1"));
    const auto flt = after([&] { vr().radio->setFilterWidth(800); }, Kind::Flt,
                           [](const ReceiverEvent& e) { return e.width() == 800; });
    ASSERT_TRUE(flt);
    EXPECT_EQ(flt->origin, Origin::Receiver);
    EXPECT_EQ(m_rx->filterName(800), QStringLiteral("FIL1"));
    EXPECT_TRUE(m_rx->filterName(1200).isNull());
    EXPECT_TRUE(picks(std::nullopt, Kind::Flt, 250, [&] { return radioFilter() == 3; }));
    EXPECT_TRUE(picks(std::nullopt, Kind::Flt, 800, [&] { return radioWidth() == 800; }));
    EXPECT_EQ(widthWrites(), std::vector<QByteArray>{});
}

std::string radioName(const ::testing::TestParamInfo<VRig>& info) {
    return QString::fromLatin1(info.param.radio).remove('-').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Hamlib, IcomRadio, ::testing::ValuesIn(icoms), radioName);

} // namespace
} // namespace corvane::testsupport

// How Hamlib's lists become the receiver's tables, without a rig.
#include "hamlib/HamlibMapping.h"
#include "hamlib/HamlibWorker.h"
#include "hamlib/InitHamlib.h"

#include <gtest/gtest.h>

#include <limits>

namespace corvane::hamlib {
namespace {

std::vector<int32_t> widths(const std::vector<Filter>& filters) {
    std::vector<int32_t> out;
    for (const Filter& f : filters) {
        out.push_back(f.width);
    }
    return out;
}

TEST(HamlibMapping, FiltersOfAModeAreCleanedSortedAndNamed) {
    const filter_list list[] = {
        {RIG_MODE_USB | RIG_MODE_LSB, 2400},
        {RIG_MODE_USB, 500},
        {RIG_MODE_AM, 6000},
        {RIG_MODE_USB, RIG_FLT_ANY},
        {RIG_MODE_USB, 2400},
        {RIG_MODE_USB, 40000},
        {RIG_MODE_USB, 3000},
        {RIG_MODE_USB, 32767},
        RIG_FLT_END,
        {RIG_MODE_USB, 100}, // past the end marker: not part of the list
    };
    const auto usb = filtersFor(list, std::size(list), RIG_MODE_USB, 500, 2400, 3000);
    EXPECT_EQ(widths(usb), (std::vector<int32_t>{500, 2400, 3000, 32767}));
    EXPECT_EQ(usb[0].name, QStringLiteral("Narrow"));
    EXPECT_EQ(usb[1].name, QStringLiteral("Normal"));
    EXPECT_EQ(usb[2].name, QStringLiteral("Wide"));
    EXPECT_EQ(usb[3].name, QStringLiteral("32767 Hz"));

    // A passband that is both normal and wide is called normal; no passbands
    // known (0) names every filter by its width.
    const auto am = filtersFor(list, std::size(list), RIG_MODE_AM, 0, 6000, 6000);
    ASSERT_EQ(widths(am), (std::vector<int32_t>{6000}));
    EXPECT_EQ(am[0].name, QStringLiteral("Normal"));
    const auto lsb = filtersFor(list, std::size(list), RIG_MODE_LSB, 0, 0, 0);
    ASSERT_EQ(lsb.size(), 1u);
    EXPECT_EQ(lsb[0].name, QStringLiteral("2400 Hz"));
    EXPECT_TRUE(filtersFor(list, std::size(list), RIG_MODE_FM, 0, 0, 0).empty());
}

TEST(HamlibMapping, AgcAndAttenuatorTables) {
    const agc_level_e listed[] = {RIG_AGC_OFF, RIG_AGC_SLOW, RIG_AGC_OFF, RIG_AGC_NONE,
                                  RIG_AGC_AUTO};
    const auto agc = agcChoices(listed, static_cast<int>(std::size(listed)));
    ASSERT_EQ(agc.size(), 3u);
    EXPECT_EQ(agc[0].name, QStringLiteral("OFF"));
    EXPECT_EQ(agc[1].code, RIG_AGC_SLOW);
    EXPECT_EQ(agc[2].name, QStringLiteral("AUTO"));

    const auto common = agcChoices(nullptr, 0);
    ASSERT_EQ(common.size(), 4u);
    EXPECT_EQ(common[0].code, RIG_AGC_OFF);
    EXPECT_EQ(common[1].code, RIG_AGC_FAST);
    EXPECT_EQ(common[2].code, RIG_AGC_MEDIUM);
    EXPECT_EQ(common[3].code, RIG_AGC_SLOW);

    const int steps[] = {6, 12, 6, 18, 0, 24};
    const auto att = attenuatorChoices(steps, std::size(steps));
    ASSERT_EQ(att.size(), 4u);
    EXPECT_EQ(att[0].name, QStringLiteral("0 dB"));
    EXPECT_EQ(att[0].code, 0);
    EXPECT_EQ(att[3].code, 18);
    EXPECT_EQ(RigTables::indexOf(att, 12), 2);
    EXPECT_EQ(RigTables::indexOf(att, 24), -1);
}

TEST(HamlibMapping, FrequencyLimits) {
    EXPECT_EQ(clampHz(7050000.4), 7050000);
    EXPECT_EQ(clampHz(7050000.6), 7050001);
    EXPECT_EQ(clampHz(3e9), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(clampHz(-3e9), std::numeric_limits<int32_t>::min());

    RigTables t;
    t.ranges = {{100000, 30000000}, {50000000, 54000000}};
    EXPECT_TRUE(t.tunable(100000));
    EXPECT_TRUE(t.tunable(54000000));
    EXPECT_FALSE(t.tunable(40000000)); // between the two ranges
    EXPECT_FALSE(t.tunable(-1));
}

TEST(HamlibMapping, ErrorsThatEndTheLinkAndThoseThatDoNot) {
    for (const int e : {RIG_EIO, RIG_EPROTO, RIG_BUSERROR, RIG_ETIMEOUT}) {
        EXPECT_TRUE(linkError(-e)) << e;
    }
    for (const int e : {RIG_EINVAL, RIG_ERJCTED, RIG_ENAVAIL, RIG_ENIMPL}) {
        EXPECT_FALSE(linkError(-e)) << e;
    }
    EXPECT_TRUE(missingFeature(-RIG_ENAVAIL));
    EXPECT_TRUE(missingFeature(-RIG_ENIMPL));
    EXPECT_FALSE(missingFeature(-RIG_EIO));
    EXPECT_EQ(errorText(-RIG_ETIMEOUT), QStringLiteral("Communication timed out"));
}

TEST(HamlibMapping, ARadiosLineIsShortItsIdNamesItAndItsBackendsFaultsAreLeftOut) {
    initHamlib();
    const struct {
        rig_model_t model;
        const char* info;
        const char* romId;
        const char* timeout; // nullptr: no line defaults
    } cases[] = {
        {RIG_MODEL_TS2000, "Firmware: Overseas type", "Kenwood TS-2000 (Firmware: Overseas type)",
         "200"},
        {RIG_MODEL_ICR75, "", "Icom IC-R75", "500"},
        {RIG_MODEL_DUMMY, "Nothing much (dummy)", "Nothing much (dummy)", nullptr},
    };
    for (const auto& c : cases) {
        const rig_caps* caps = rig_get_caps(c.model);
        if (caps == nullptr) {
            ADD_FAILURE() << "Hamlib lacks model " << c.model;
            continue;
        }
        EXPECT_EQ(romIdOf(caps, QString::fromLatin1(c.info)), QLatin1String(c.romId));
        const auto conf = lineDefaults(caps);
        if (c.timeout == nullptr) {
            EXPECT_TRUE(conf.empty());
        } else {
            EXPECT_EQ(conf, (std::vector<std::pair<QString, QString>>{
                                {"timeout", QLatin1String(c.timeout)}, {"retry", "0"}}));
        }
    }

    RigTables t;
    t.modes = {{RIG_MODE_USB, "USB", {{2400, "Normal"}, {3000, "Wide"}}, 2400, false}};
    t.agc = agcChoices(nullptr, 0);
    correctForModel(RIG_MODEL_TS2000, t);
    EXPECT_TRUE(t.modes[0].filters.empty());
    EXPECT_EQ(t.modes[0].normalWidth, 0); // a mode change asks for no width
    ASSERT_EQ(t.agc.size(), 2u);
    EXPECT_TRUE(t.agc[0].settable);
    EXPECT_FALSE(t.agc[1].settable); // "ON" is read, never written
    correctForModel(RIG_MODEL_ICR75, t);
    EXPECT_EQ(t.agc[0].name, QStringLiteral("OFF"));
    EXPECT_EQ(t.agc[0].code, RIG_AGC_FAST); // what Hamlib writes as 00
    EXPECT_EQ(t.agc[3].name, QStringLiteral("SLOW"));
    EXPECT_EQ(t.agc[3].code, RIG_AGC_SUPERFAST); // and as 03
}

} // namespace
} // namespace corvane::hamlib

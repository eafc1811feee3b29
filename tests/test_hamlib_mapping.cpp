// How Hamlib's lists become the receiver's tables, without a rig.
#include "hamlibplugin/HamlibMapping.h"
#include "hamlibplugin/HamlibWorker.h"
#include "hamlibplugin/InitHamlib.h"

#include <gtest/gtest.h>

#include <limits>

namespace corvane::hamlibplugin {
namespace {

// "width name" or "code name" per entry, in the table's order; "(read)" marks
// a value the rig reports but the backend cannot set.
template <typename T> QStringList described(const std::vector<T>& table) {
    QStringList out;
    for (const T& t : table) {
        if constexpr (std::is_same_v<T, Filter>) {
            out << QStringLiteral("%1 %2").arg(t.width).arg(t.name);
        } else {
            out << QStringLiteral("%1 %2%3").arg(t.code).arg(t.name, t.available ? "" : " (read)");
        }
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
    const auto of = [&](rmode_t mode, int narrow, int normal, int wide) {
        return described(filtersFor(list, std::size(list), mode, narrow, normal, wide));
    };
    EXPECT_EQ(of(RIG_MODE_USB, 500, 2400, 3000),
              QStringList({"500 Narrow", "2400 Normal", "3000 Wide", "32767 32767 Hz"}));
    // A passband that is both normal and wide is called normal; no passbands
    // known (0) names every filter by its width.
    EXPECT_EQ(of(RIG_MODE_AM, 0, 6000, 6000), QStringList({"6000 Normal"}));
    EXPECT_EQ(of(RIG_MODE_LSB, 0, 0, 0), QStringList({"2400 2400 Hz"}));
    EXPECT_EQ(of(RIG_MODE_FM, 0, 0, 0), QStringList());
}

TEST(HamlibMapping, AgcAndAttenuatorTables) {
    const agc_level_e listed[] = {RIG_AGC_OFF, RIG_AGC_SLOW, RIG_AGC_OFF, RIG_AGC_NONE,
                                  RIG_AGC_AUTO};
    EXPECT_EQ(described(agcChoices(listed, static_cast<int>(std::size(listed)))),
              QStringList({"0 OFF", "3 SLOW", "6 AUTO"}));
    EXPECT_EQ(described(agcChoices(nullptr, 0)),
              QStringList({"0 OFF", "2 FAST", "5 MEDIUM", "3 SLOW"}));

    const int steps[] = {6, 12, 6, 18, 0, 24};
    const auto att = attenuatorChoices(steps, std::size(steps));
    EXPECT_EQ(described(att), QStringList({"0 0 dB", "6 6 dB", "12 12 dB", "18 18 dB"}));
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
        {RIG_MODEL_ICR75, "", "Icom IC-R75", "200"},
        {RIG_MODEL_IC7300, "", "Icom IC-7300", "200"},
        {RIG_MODEL_TS590SG, "", "Kenwood TS-590SG", "200"},
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
    t.caps.modes = {{"USB", 0, true, {{2400, "Normal"}, {3000, "Wide"}}, std::nullopt}};
    t.rigModes = {{RIG_MODE_USB, 2400, false}};
    t.caps.agc = agcChoices(nullptr, 0);
    // The IC-R75's 00 and 03, as Hamlib writes them.
    dialectFor(RIG_MODEL_ICR75)->correctTables(t);
    EXPECT_EQ(described(t.caps.agc), QStringList({"2 OFF", "5 SUPERFAST", "3 FAST", "1 SLOW"}));
}

} // namespace
} // namespace corvane::hamlibplugin

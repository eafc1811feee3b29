// The Filter list: entries as bandwidth and name, the filter in use found by
// the number its entry starts with, and the bandwidth read back from the text.
#include "settings/NumberText.h"
#include "tests/support/ShownWindow.h"
#include "tests/support/SmallReceiverCalls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

const QVector<FilterEntry> kFour{{2400, "A"}, {500, "B"}, {-32768, "C"}, {500, "D"}};

} // namespace

TEST(FilterList, EntriesAreASixCharacterFieldAndTheFirstEqualBandwidthIsSelected) {
    struct Case {
        int32_t value;
        int selected;
    };
    // 500 twice: the first entry wins. 0 matches nothing here, as the count
    // leaves no position past the items to read as the empty text.
    const Case cases[] = {{500, 1}, {-32768, 2}, {2400, 0}, {1000, -1}, {0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        LoadedWindow t;
        t.rx().filters = kFour;
        t.window.LoadFilterList(c.value);

        // The name is asked by bandwidth: both 500 entries carry the one the
        // component gives for 500.
        EXPECT_EQ(listTexts(*t.ui.Filter),
                  (QStringList{"  2400 / A", "   500 / B", "-32768 / C", "   500 / B"}));
        QStringList expected{"RxFltCount(0) -> 4",          "RxFltWidth(0, 0) -> 2400",
                             "RxFltWidth(0, 0) -> 2400",    R"(RxFltName(0, 2400) -> "A")",
                             "RxFltWidth(0, 1) -> 500",     "RxFltWidth(0, 1) -> 500",
                             R"(RxFltName(0, 500) -> "B")", "RxFltWidth(0, 2) -> -32768",
                             "RxFltWidth(0, 2) -> -32768",  R"(RxFltName(0, -32768) -> "C")",
                             "RxFltWidth(0, 3) -> 500",     "RxFltWidth(0, 3) -> 500",
                             R"(RxFltName(0, 500) -> "B")", "RxFltCount(0) -> 4"};
        if (c.selected >= 0) {
            expected.append(QStringLiteral("RxFlt(0) <- %1").arg(c.value));
        }
        EXPECT_EQ(t.fake->calls, expected);
        EXPECT_EQ(t.ui.Filter->listIndex(), c.selected);
        EXPECT_TRUE(t.ui.Filter->isEnabled());
    }
}

TEST(FilterList, BandwidthOutside16BitsOverflowsWhenItsNameIsAsked) {
    for (int32_t width : {32768, -32769, 40000}) {
        SCOPED_TRACE(width);
        LoadedWindow t;
        t.rx().filters = {{2400, "A"}, {width, "B"}, {500, "C"}};
        emit t.fake->RxFltUpdated(0, 2400);

        const QString second = QStringLiteral("RxFltWidth(0, 1) -> %1").arg(width);
        EXPECT_EQ(t.fake->calls, (QStringList{"RxFltCount(0) -> 3", "RxFltWidth(0, 0) -> 2400",
                                              "RxFltWidth(0, 0) -> 2400",
                                              R"(RxFltName(0, 2400) -> "A")", second, second}));
        EXPECT_EQ(listTexts(*t.ui.Filter), QStringList{"  2400 / A"});
        EXPECT_EQ(t.ui.Filter->listIndex(), -1);
        EXPECT_EQ(t.reporter.reports,
                  QStringList{QStringLiteral("Receiver_RxFltUpdated: Run-time error 6: Overflow "
                                             "(receiver 0, filter 1: bandwidth %1 does not fit "
                                             "16 bits)")
                                  .arg(width)});
    }
}

TEST(FilterList, OperatorPickSendsTheBandwidthAndLeavesTheListAsItIs) {
    LoadedWindow t(1, -1);
    t.rx().filters = {{2400, "A"}, {-500, "B"}};
    t.window.LoadFilterList(2400);
    ASSERT_EQ(t.ui.Filter->listIndex(), 0);
    t.fake->clearCalls();

    pick(*t.ui.Filter, 1);
    EXPECT_EQ(t.fake->calls, QStringList{"RxFlt(0) <- -500"});
    EXPECT_EQ(listTexts(*t.ui.Filter), (QStringList{"  2400 / A", "  -500 / B"}));
    EXPECT_EQ(t.ui.Filter->listIndex(), 1);
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

// Entry texts always hold whole numbers, so the rounding of the click is only
// reached through the two functions it is made of.
TEST(FilterNumber, LeadingNumberAndRoundingHalfToEven) {
    struct Case {
        const char* text;
        double number;
        std::optional<int32_t> rounded; // none: Overflow
    };
    const Case cases[] = {
        {"2.5", 2.5, 2},
        {"3.5", 3.5, 4},
        {"-2.5", -2.5, -2},
        {"0.5 / x", 0.5, 0},
        {"-1.5", -1.5, -2},
        {"2.6", 2.6, 3},
        {"1e3 / x", 1000, 1000},
        {"5e-1", 0.5, 0},
        {"1e / x", 1, 1},
        {".5", 0.5, 0},
        {"+7", 7, 7},
        {"1.2.3", 1.2, 1},
        {"1,5", 1, 1},
        {"  12abc", 12, 12},
        {"  2400 / A", 2400, 2400},
        {"-32768 / C", -32768, -32768},
        {"", 0, 0},
        {"abc", 0, 0},
        {"-", 0, 0},
        {"2147483647.4", 2147483647.4, 2147483647},
        {"2147483647.5", 2147483647.5, std::nullopt},
        {"-2147483648.5", -2147483648.5, -2147483647 - 1},
        {"-2147483649", -2147483649.0, std::nullopt},
        {"1e400", HUGE_VAL, std::nullopt},
        {"-1e400", -HUGE_VAL, std::nullopt},
        {"1e-400", 0, 0},
        {"0.00001e-320", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const double number = settings::leadingNumber(QString::fromLatin1(c.text));
        EXPECT_EQ(number, c.number);
        if (c.rounded) {
            EXPECT_EQ(settings::roundToInt32(number), *c.rounded);
        } else {
            try {
                settings::roundToInt32(number);
                ADD_FAILURE() << "no overflow";
            } catch (const receiver::RuntimeError& e) {
                EXPECT_EQ(e.number(), receiver::RuntimeError::Overflow);
            }
        }
    }
    // Found by fuzzing: a number too large for a double is too large even when
    // its exponent carries a minus sign, and too small only by its magnitude.
    const QString digits = QStringLiteral("3") + QString(400, u'0');
    EXPECT_EQ(settings::leadingNumber(digits + QStringLiteral("e-0000000000000 / x")), HUGE_VAL);
    EXPECT_EQ(settings::leadingNumber(digits + QStringLiteral("e-5")), HUGE_VAL);
    EXPECT_EQ(settings::leadingNumber(QStringLiteral("0.") + digits + QStringLiteral("e-800")),
              0.0);
    EXPECT_EQ(settings::leadingNumber(digits + QStringLiteral("e-900")), 0.0);
}

// The setting lists. Mode, AGC, NB and ATT: how a load finds the setting in
// force, how the selection writes it back, and what a failure leaves behind.
// Filter: entries as bandwidth and name, the filter in use found by the number
// its entry starts with, and the bandwidth read back from the text.
#include "settings/NumberText.h"
#include "tests/support/ShownWindow.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

struct Family {
    const char* op;   // as in the operation names: RxModCount, RxAgcCount...
    const char* list; // the list's name
    QVector<Entry> FakeReceiver::*table;
    void (window::MainWindow::*load)(int32_t);
    void (*raise)(FakeComponent&, int32_t code); // the change event for receiver 0

    bool mode() const { return table == &FakeReceiver::modes; }
    controls::ListBox& in(const window::MainWindow& w) const {
        return *control<controls::ListBox>(w, list);
    }
};

#define CORVANE_FAMILY(Op, Name, entries)                                                          \
    Family {                                                                                       \
        .op = #Op, .list = #Name, .table = &FakeReceiver::entries,                                 \
        .load = &window::MainWindow::Load##Name##List,                                             \
        .raise = [](FakeComponent& c, int32_t v) { emit c.Rx##Op##Updated(0, v, 0); }              \
    }
const Family kAll[] = {CORVANE_FAMILY(Mod, Mode, modes), CORVANE_FAMILY(Agc, Agc, agc),
                       CORVANE_FAMILY(NBl, NB, nb), CORVANE_FAMILY(Att, Att, att)};
#undef CORVANE_FAMILY

// A call line with the family's operation name put in for '@'.
QString L(const Family& f, const char* pattern) {
    return QString::fromUtf8(pattern).replace(QLatin1Char('@'), QString::fromLatin1(f.op));
}
QStringList L(const Family& f, QStringList patterns) {
    return patterns.replaceInStrings(QStringLiteral("@"), QString::fromLatin1(f.op));
}
// What follows every Mode load and Mode click.
QStringList tail(const Family& f) {
    return f.mode() ? dependentsRebuild() : QStringList{};
}

// Counts a list loader may be given at its first and second count call:
// nothing to fill, negative, and -32768 (whose last entry overflows 16 bits)
// before or after the list was filled.
struct CountCase {
    int16_t first, second;
    bool filled, overflow;
};
const CountCase kCountCases[] = {{0, 0, false, false},
                                 {-3, -3, false, false},
                                 {-32768, 2, false, true},
                                 {2, -32768, true, true}};

// Receiver 0 selected, not under remote control: every list starts disabled.
template <typename P> struct OnReceiver0 : ::testing::TestWithParam<P> { ShownWindow<> t{0}; };
struct ChoiceLists : OnReceiver0<Family> {
    const Family& f = GetParam();
    controls::ListBox& list = f.in(t.window);
    // The loader takes its value by reference: give it a named one (GCC's
    // sanitizer build takes a literal's temporary for uninitialised there).
    void load(int32_t current) { (t.window.*f.load)(current); }
};
using Counts = OnReceiver0<std::tuple<Family, CountCase>>;
using ClickedCode = OnReceiver0<std::tuple<Family, int32_t>>;

} // namespace

TEST_P(ChoiceLists, OnlyAgcNamesLoseTheirSpacesAndOnlySpaces) {
    t.rx().*f.table = {{"  Fast  ", 1}, {"\tSlow ", 2}, {"   ", 3}};
    load(99);
    const bool agc = f.table == &FakeReceiver::agc;
    const QStringList shown =
        agc ? QStringList{"Fast", "\tSlow", ""} : QStringList{"  Fast  ", "\tSlow ", "   "};
    EXPECT_EQ(listTexts(list), shown);
    // The pass converts what the list shows; the fake knows only the raw names.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.fake->calls.value(8 + i),
                  L(f, R"(Rx@Code(0, "%1") -> %2)").arg(shown[i]).arg(agc ? -1 : i + 1));
    }
    EXPECT_EQ(list.listIndex(), -1);
}

TEST_P(ChoiceLists, UnavailableEntriesAreLeftOutAndTheirPositionsReadEmpty) {
    t.rx().*f.table = {{"A", 10, -1}, {"B", 11, 0}, {"C", 12, 1}, {"D", 13, -1}};
    load(99);
    EXPECT_EQ(t.fake->calls,
              L(f, {"Rx@Count(0) -> 4", "Rx@Avail(0, 0) -> -1", R"(Rx@Name(0, 0) -> "A")",
                    "Rx@Avail(0, 1) -> 0", "Rx@Avail(0, 2) -> 1", R"(Rx@Name(0, 2) -> "C")",
                    "Rx@Avail(0, 3) -> -1", R"(Rx@Name(0, 3) -> "D")", "Rx@Count(0) -> 4",
                    R"(Rx@Code(0, "A") -> 10)", R"(Rx@Code(0, "C") -> 12)",
                    R"(Rx@Code(0, "D") -> 13)", R"(Rx@Code(0, "") -> -1)"}) +
                  tail(f));
    EXPECT_EQ(listTexts(list), (QStringList{"A", "C", "D"}));
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

TEST_P(ChoiceLists, CurrentMinusOneIsSearchedOnlyForMode) {
    t.rx().*f.table = {{"A", 0}, {"X", -1}};
    load(-1);
    const QStringList fill =
        L(f, {"Rx@Count(0) -> 2", "Rx@Avail(0, 0) -> -1", R"(Rx@Name(0, 0) -> "A")",
              "Rx@Avail(0, 1) -> -1", R"(Rx@Name(0, 1) -> "X")"});
    EXPECT_EQ(listTexts(list), (QStringList{"A", "X"}));
    EXPECT_TRUE(list.isEnabled());
    const QStringList search = f.mode()
                                   ? QStringList{"RxModCount(0) -> 2", R"(RxModCode(0, "A") -> 0)",
                                                 R"(RxModCode(0, "X") -> -1)",
                                                 R"(RxModCode(0, "X") -> -1)", "RxMod(0) <- -1"} +
                                         dependentsRebuild() + dependentsRebuild()
                                   : QStringList{};
    EXPECT_EQ(t.fake->calls, fill + search);
    EXPECT_EQ(list.listIndex(), f.mode() ? 1 : -1);
}

TEST(ModeList, MinusOneMatchingThePositionOfALeftOutEntryIsRefused) {
    ShownWindow<> t(0);
    t.rx().modes = {{"A", 0}, {"B", 1, 0}};
    emit t.fake->RxModUpdated(0, -1, 250); // the fake answers -1 for the empty text

    EXPECT_EQ(t.fake->calls.mid(4), (QStringList{"RxModCount(0) -> 2", R"(RxModCode(0, "A") -> 0)",
                                                 R"(RxModCode(0, "") -> -1)"}));
    EXPECT_EQ(t.reporter.reports,
              QStringList{"Receiver_RxModUpdated: Run-time error 380: Invalid property value "
                          "(Mode has no item at position 1)"});
    EXPECT_EQ(t.ui.Mode->listIndex(), -1);
    EXPECT_EQ(t.ui.BFO->text(), "-300"); // the handler ended before it
}

TEST_P(Counts, ThatFillNothingOrOverflow) {
    const auto& [f, c] = GetParam();
    t.rx().*f.table = {{"A", 1}, {"B", 2}};
    QList<int16_t> answers{c.first, c.second};
    t.fake->scripts[L(f, "Rx@Count")] = [&] {
        return QVariant(answers.isEmpty() ? int16_t{0} : answers.takeFirst());
    };
    f.raise(*t.fake, 1);

    controls::ListBox& list = f.in(t.window);
    EXPECT_EQ(listTexts(list), (c.filled ? QStringList{"A", "B"} : QStringList{}));
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_TRUE(list.isEnabled());
    QStringList expected{L(f, "Rx@Count(0) -> %1").arg(c.first)};
    if (c.filled) {
        expected += L(f, {"Rx@Avail(0, 0) -> -1", R"(Rx@Name(0, 0) -> "A")", "Rx@Avail(0, 1) -> -1",
                          R"(Rx@Name(0, 1) -> "B")"});
    }
    if (c.first != -32768) {
        expected += L(f, "Rx@Count(0) -> %1").arg(c.second);
    }
    if (!c.overflow) {
        expected += tail(f); // an empty Mode list still rebuilds Filter and AGC
    }
    EXPECT_EQ(t.fake->calls, expected);
    const QString overflow = L(f, "Receiver_Rx@Updated: Run-time error 6: Overflow (count -32768)");
    EXPECT_EQ(t.reporter.reports, c.overflow ? QStringList{overflow} : QStringList{});
}

// A code the click must hold in 16 bits fails after the selection was made
// and before anything is set; the loader goes no further.
TEST_P(ClickedCode, Outside16BitsIsAnOverflowForAgcNBAndAttAndOnlyItsListsAreRebuilt) {
    const auto& [f, code] = GetParam();
    t.rx().*f.table = {{"X", code}, {"Y", code}};
    f.raise(*t.fake, code);

    const bool fails = !f.mode() && (code > 32767 || code < -32768);
    QStringList expected =
        L(f, {"Rx@Count(0) -> 2", "Rx@Avail(0, 0) -> -1", R"(Rx@Name(0, 0) -> "X")",
              "Rx@Avail(0, 1) -> -1", R"(Rx@Name(0, 1) -> "Y")", "Rx@Count(0) -> 2"});
    const QString codeX = L(f, R"(Rx@Code(0, "X") -> %1)").arg(code);
    expected += QStringList{codeX, codeX};
    const QString overflow = L(f, "Receiver_Rx@Updated: Run-time error 6: Overflow (%1 does not "
                                  "fit 16 bits)")
                                 .arg(code);
    EXPECT_EQ(t.reporter.reports, fails ? QStringList{overflow} : QStringList{});
    if (!fails) {
        expected += L(f, "Rx@(0) <- %1").arg(code);
        expected += tail(f);
        if (f.mode()) { // the last match wins: Y clicks too
            const QString codeY = L(f, R"(Rx@Code(0, "Y") -> %1)").arg(code);
            expected += QStringList{codeY, codeY, L(f, "Rx@(0) <- %1").arg(code)};
            expected += tail(f) + tail(f);
        }
    }
    EXPECT_EQ(t.fake->calls, expected);
    EXPECT_EQ(f.in(t.window).listIndex(), f.mode() ? 1 : 0);
    // The event rebuilt its own list enabled (Mode: Filter and AGC too) and no
    // other; RxModUpdated shows its offset in BFO.
    for (const QString name : {"Mode", "Filter", "Agc", "NB", "Att"}) {
        const bool own = name == f.list || (f.mode() && (name == "Filter" || name == "Agc"));
        EXPECT_EQ(control<controls::ListBox>(t.window, qPrintable(name))->isEnabled(), own)
            << qPrintable(name);
    }
    EXPECT_EQ(t.ui.BFO->text(), f.mode() ? "0" : "-300");
}

TEST_P(ChoiceLists, OperatorPickSendsOneCodeAndOneSet) {
    t.rx().*f.table = {{"A", 1}, {"B", 2}};
    load(1);
    ASSERT_TRUE(list.isEnabled());
    ASSERT_EQ(list.listIndex(), 0);
    t.fake->clearCalls();

    pick(list, 1);
    EXPECT_EQ(t.fake->calls, L(f, {R"(Rx@Code(0, "B") -> 2)", "Rx@(0) <- 2"}) + tail(f));
    // The picked list is neither rebuilt nor read back.
    EXPECT_EQ(listTexts(list), (QStringList{"A", "B"}));
    EXPECT_EQ(list.listIndex(), 1);
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

namespace {
std::string caseName(const Family& f) {
    return f.list;
}
std::string caseName(int32_t v) {
    return (v < 0 ? "m" : "") + std::to_string(std::abs(v));
}
std::string caseName(const CountCase& c) {
    return caseName(c.first) + "_" + caseName(c.second);
}
template <typename A, typename B> std::string caseName(const std::tuple<A, B>& t) {
    return caseName(std::get<0>(t)) + "_" + caseName(std::get<1>(t));
}
const auto kNamed = [](const auto& info) { return caseName(info.param); };
} // namespace

INSTANTIATE_TEST_SUITE_P(Window, ChoiceLists, ::testing::ValuesIn(kAll), kNamed);
INSTANTIATE_TEST_SUITE_P(Window, Counts,
                         ::testing::Combine(::testing::ValuesIn(kAll),
                                            ::testing::ValuesIn(kCountCases)),
                         kNamed);
INSTANTIATE_TEST_SUITE_P(Window, ClickedCode,
                         ::testing::Combine(::testing::ValuesIn(kAll),
                                            ::testing::Values(32767, -32768, 32768, -32769, 70000)),
                         kNamed);

TEST(FilterList, EntriesAreASixCharacterFieldAndTheFirstEqualBandwidthIsSelected) {
    ShownWindow<> t(0);
    t.rx().filters = {{2400, "A"}, {500, "B"}, {-32768, "C"}, {500, "D"}};
    const QStringList fill{"RxFltCount(0) -> 4",          "RxFltWidth(0, 0) -> 2400",
                           "RxFltWidth(0, 0) -> 2400",    R"(RxFltName(0, 2400) -> "A")",
                           "RxFltWidth(0, 1) -> 500",     "RxFltWidth(0, 1) -> 500",
                           R"(RxFltName(0, 500) -> "B")", "RxFltWidth(0, 2) -> -32768",
                           "RxFltWidth(0, 2) -> -32768",  R"(RxFltName(0, -32768) -> "C")",
                           "RxFltWidth(0, 3) -> 500",     "RxFltWidth(0, 3) -> 500",
                           R"(RxFltName(0, 500) -> "B")", "RxFltCount(0) -> 4"};
    // 500 twice: the first entry wins. 0 matches nothing here, as the count
    // leaves no position past the items to read as the empty text.
    const std::pair<int32_t, int> cases[] = {{500, 1}, {-32768, 2}, {2400, 0}, {1000, -1}, {0, -1}};
    for (const auto& [value, selected] : cases) {
        SCOPED_TRACE(value);
        t.fake->clearCalls();
        t.window.LoadFilterList(value);
        // The name is asked by bandwidth: both 500 entries carry the one the
        // component gives for 500.
        EXPECT_EQ(listTexts(*t.ui.Filter),
                  (QStringList{"  2400 / A", "   500 / B", "-32768 / C", "   500 / B"}));
        const QStringList set{QStringLiteral("RxFlt(0) <- %1").arg(value)};
        EXPECT_EQ(t.fake->calls, selected < 0 ? fill : fill + set);
        EXPECT_EQ(t.ui.Filter->listIndex(), selected);
        EXPECT_TRUE(t.ui.Filter->isEnabled());
    }
}

TEST(FilterList, BandwidthOutside16BitsOverflowsWhenItsNameIsAsked) {
    for (int32_t width : {32768, -32769, 40000}) {
        SCOPED_TRACE(width);
        ShownWindow<> t(0);
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
    ShownWindow<> t(0, -1);
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

// The number an entry text starts with (the click rounds it as a typed
// number is rounded: TextToInt32).
TEST(FilterNumber, IsTheLeadingNumberOfTheEntryText) {
    const std::pair<const char*, double> cases[] = {
        {"2.5", 2.5},
        {"0.5 / x", 0.5},
        {"1e3 / x", 1000},
        {"5e-1", 0.5},
        {"1e / x", 1},
        {".5", 0.5},
        {"+7", 7},
        {"1.2.3", 1.2},
        {"1,5", 1},
        {"  12abc", 12},
        {"  2400 / A", 2400},
        {"-32768 / C", -32768},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"2147483647.4", 2147483647.4},
        {"-2147483649", -2147483649.0},
        {"1e400", HUGE_VAL},
        {"-1e400", -HUGE_VAL},
        {"1e-400", 0},
        {"0.00001e-320", 0},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(settings::leadingNumber(QString::fromLatin1(text)), number) << text;
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

// Start-up, the Config Driver button, the Driver list's rebuild, selecting a
// receiver, the status panel, and the change events that reload one list for
// the receiver the Driver list shows as selected.
#include "tests/support/ShownWindow.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

// Written out whole: the nested write-backs are the behaviour.
TEST(Selection, ReadsAndWritesBackEverySettingOfTheNewReceiverInOrder) {
    ShownWindow<> t(0);
    t.rx(1).connected = -1;
    t.ui.Driver->setListIndex(1);

    // Filter and AGC: built by Mode_Click, by the Mode load's own step, then
    // by RefreshReceiver: three times each.
    const QStringList dependents = dependentsRebuild(1);
    EXPECT_EQ(t.fake->calls, choiceLoad(1, "Mod", 1, "USB") + dependents + dependents + dependents +
                                 choiceLoad(1, "NBl", 0, "Off") + choiceLoad(1, "Att", 0, "0dB") +
                                 QStringList({"RxFrq(1, 0) -> 145500000", "RxBfo(1) -> -300"}) +
                                 statusReads(1, t.rx(1)));

    EXPECT_EQ(t.window.curRx(), 1);
    EXPECT_EQ(t.ui.Read->text(), "145500000");
    EXPECT_EQ(t.ui.RomID->text(), "VHF v1");
    EXPECT_EQ(listTexts(*t.ui.Mode), QStringList{"USB"}); // filled though not remote
    EXPECT_FALSE(t.ui.Mode->isEnabled());
    EXPECT_EQ(window::backColor(*t.ui.ConnState), window::kYellow);
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

// Agc_Click, run by the AGC load inside Mode_Click inside the operator's
// Driver_Click, cannot hold the code: the one report names Driver_Click and
// nothing after the failing step happens.
TEST(Selection, OverflowInANestedClickEndsTheWholeSelection) {
    ShownWindow<> t(0);
    t.rx(1).remote = -1;
    t.rx(1).agc = {{"Fast", 70000}};
    t.rx(1).agcCode = 70000;
    t.rx(1).nb = t.rx(1).att = {{"On", 0}};
    t.rx(1).bfo = 5;
    // NB, ATT, Read and BFO are not reached, nor is the status panel.
    const auto untouched = [&] {
        return windowState(t.window).split('\n').filter(
            QRegularExpression("^(RomID|FrqMax|FrqMin|Read|BFO|ConnState|NB|Att)[=\\[]"));
    };
    const QStringList before = untouched();
    ASSERT_EQ(before.size(), 8);
    pick(*t.ui.Driver, 1);

    const QStringList expected =
        choiceLoad(1, "Mod", 1, "USB") + filterRebuild(1) +
        choiceLoad(1, "Agc", 70000, "Fast").mid(0, 7); // up to the write-back
    EXPECT_EQ(t.fake->calls, expected);
    EXPECT_EQ(t.reporter.reports,
              QStringList{"Driver_Click: Run-time error 6: Overflow (70000 does not fit 16 bits)"});
    EXPECT_EQ(t.window.curRx(), 1);
    EXPECT_EQ(t.ui.Agc->listIndex(), 0); // selected before its click failed
    EXPECT_TRUE(t.ui.Agc->isEnabled());  // its loader got that far
    EXPECT_EQ(untouched(), before);
}

namespace {

// Every event that carries a receiver index, raised for receiver `i`.
struct IndexedEvent {
    const char* name;
    void (*raise)(FakeComponent&, int16_t i);
};
const IndexedEvent kIndexedEvents[] = {
    {"RxConnState1000", [](FakeComponent& c, int16_t i) { emit c.RxConnState(i, 1000); }},
    {"RxConnState0", [](FakeComponent& c, int16_t i) { emit c.RxConnState(i, 0); }},
    {"RxDataError", [](FakeComponent& c, int16_t i) { emit c.RxDataError(i, -1); }},
    {"RxFrqUpdated", [](FakeComponent& c, int16_t i) { emit c.RxFrqUpdated(i, 3500000, 0); }},
    {"RxModUpdated", [](FakeComponent& c, int16_t i) { emit c.RxModUpdated(i, 1, 250); }},
    {"RxFltUpdated", [](FakeComponent& c, int16_t i) { emit c.RxFltUpdated(i, 2400); }},
    {"RxAgcUpdated", [](FakeComponent& c, int16_t i) { emit c.RxAgcUpdated(i, 1, 3); }},
    {"RxNBlUpdated", [](FakeComponent& c, int16_t i) { emit c.RxNBlUpdated(i, 0, 3); }},
    {"RxAttUpdated", [](FakeComponent& c, int16_t i) { emit c.RxAttUpdated(i, 0, 3); }},
    {"RxSMtUpdated", [](FakeComponent& c, int16_t i) { emit c.RxSMtUpdated(i, 0, 1, 2, "S3"); }},
    {"RxHFFUpdated", [](FakeComponent& c, int16_t i) { emit c.RxHFFUpdated(i, 1); }},
};

class NotSelected : public ::testing::TestWithParam<IndexedEvent> {};

} // namespace

// Events are matched against the Driver list's selection at the moment they
// arrive: for any other receiver, and for every receiver while a rebuilt list
// has no selection (the receiver in CurRx included), nothing is asked and
// nothing changes. Under remote control and connected, any handling would show.
TEST_P(NotSelected, AnEventForAReceiverThatIsNotSelectedChangesNothing) {
    ShownWindow<> t(1, -1, -1);
    t.ui.BFO->setText(QStringLiteral("7")); // RxModUpdated would show its offset
    const QString before = windowState(t.window);
    for (const int16_t other : {0, 2, -1, 3}) {
        GetParam().raise(*t.fake, other);
    }
    EXPECT_EQ(t.fake->calls, QStringList{});
    EXPECT_EQ(windowState(t.window), before);
    emit t.fake->DrvUpdated(3);
    ASSERT_EQ(t.ui.Driver->listIndex(), -1);
    t.fake->clearCalls();
    const QString rebuilt = windowState(t.window);
    GetParam().raise(*t.fake, t.window.curRx());
    EXPECT_EQ(t.fake->calls, QStringList{});
    EXPECT_EQ(windowState(t.window), rebuilt);
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Window, NotSelected, ::testing::ValuesIn(kIndexedEvents),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartUp, ThreeDriversFillTheListInOrderAndShowReceiverZero) {
    WindowRig<> t(threeReceivers());
    t.window.load();
    EXPECT_FALSE(t.window.isUnloaded());
    EXPECT_EQ(listTexts(*t.ui.Driver), (QStringList{"HF", "VHF", "BC"}));
    EXPECT_EQ(t.ui.Driver->listIndex(), 0);
    EXPECT_EQ(t.window.curRx(), 0);
    // The selection of entry 0 did the first display.
    EXPECT_EQ(t.fake->calls.mid(0, 7),
              (QStringList{R"(DrvSetup("Test", 0) -> 0)", "DrvCount() -> 3", "DrvCount() -> 3",
                           R"(DrvName(0) -> "HF")", R"(DrvName(1) -> "VHF")",
                           R"(DrvName(2) -> "BC")", "RxMod(0) -> 1"}));
    EXPECT_EQ(t.ui.Read->text(), "7050000");
    EXPECT_EQ(t.ui.RomID->text(), "HF v1");
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

// Counts that fill no Driver list ask no name: 0 ends the program before its
// window is shown; -32768 and negative counts are reported and it goes on.
TEST(StartUp, NoDriverEndsTheProgramCountsThatCannotBeFilledAreReported) {
    const struct {
        int16_t count;
        const char* report; // none: the program ends
    } cases[] = {{0, nullptr},
                 {-32768, "Form_Load: Run-time error 6: Overflow (count -32768)"},
                 {-5, "Form_Load: Run-time error 380: Invalid property value (Driver has no "
                      "item at position 0)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        WindowRig<> t({smallReceiver(QStringLiteral("HF"))});
        t.fake->drvCount = c.count;
        bool ended = false;
        QObject::connect(&t.window, &window::MainWindow::unloaded, [&] { ended = true; });
        t.window.load();
        EXPECT_EQ(t.window.isUnloaded(), c.report == nullptr);
        EXPECT_EQ(ended, c.report == nullptr);
        EXPECT_EQ(t.ui.Driver->count(), 0);
        EXPECT_EQ(t.reporter.reports, c.report ? QStringList{c.report} : QStringList{});
        const QStringList start{R"(DrvSetup("Test", 0) -> 0)",
                                QStringLiteral("DrvCount() -> %1").arg(c.count)};
        EXPECT_EQ(c.report ? t.fake->calls.mid(0, 2) : t.fake->calls, start);
        EXPECT_FALSE(t.fake->calls.join(' ').contains("DrvName"));
    }
}

TEST(ConfigDriver, ShiftAloneConfiguresTheCurrentReceiverEverythingElseOpensTheDialog) {
    ShownWindow<> t; // receiver 1 selected
    auto* fake = t.fake;
    const QStringList dialog{R"(DrvSetup("Test", 1) -> 0)", "DrvCount() -> 3"};

    // Keyboard activation before any press: the driver dialog. The space is a
    // typed character too, forwarded first.
    t.ui.Dialog->setFocus();
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, QStringList{"RxKeyPress(1, 32) -> 0"} + dialog);

    fake->clearCalls();
    clickAt(*t.ui.Dialog, {-1, -1}, Qt::ShiftModifier);
    EXPECT_EQ(t.window.configShift(), 1);
    // The Shift state is kept: the keyboard configures again.
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{"RxConfigure(1) -> 0", "RxKeyPress(1, 32) -> 0",
                                        "RxConfigure(1) -> 0"}));

    fake->clearCalls();
    clickAt(*t.ui.Dialog);
    clickAt(*t.ui.Dialog, {-1, -1}, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(fake->calls, dialog + dialog);

    // Every driver removed in the dialog: the program ends without DrvUpdated.
    fake->drvCount = 0;
    clickAt(*t.ui.Dialog);
    EXPECT_TRUE(t.window.isUnloaded());
}

TEST(DrvUpdated, RebuildsWithNoSelectionKeepsTheReceiverShownAndTheButtonsActOnIt) {
    ShownWindow<> t(2);
    auto* fake = t.fake;
    ASSERT_EQ(t.ui.Read->text(), "6070000");

    fake->receivers[0].name = QStringLiteral("HF2");
    fake->receivers.append(smallReceiver(QStringLiteral("New")));
    fake->clearCalls();
    emit fake->DrvUpdated(99); // the argument is not what counts
    EXPECT_EQ(listTexts(*t.ui.Driver), (QStringList{"HF2", "VHF", "BC", "New"}));
    EXPECT_EQ(t.ui.Driver->listIndex(), -1);
    EXPECT_EQ(t.window.curRx(), 2);
    EXPECT_EQ(t.ui.Read->text(), "6070000");
    EXPECT_EQ(fake->calls.first(), "DrvCount() -> 4");
    EXPECT_FALSE(fake->calls.join(' ').contains("RxMod")); // nothing refreshed

    // The events are ignored now (see NotSelected), the buttons are not.
    fake->clearCalls();
    clickAt(*t.ui.Connect);
    clickAt(*t.ui.Remote);
    EXPECT_EQ(fake->calls, QStringList({"RxConnect(2, -1) -> 0", "RxRemote(2, -1) -> 0"}) +
                               statusReads(2, fake->receivers[2]));
    EXPECT_EQ(window::backColor(*t.ui.ConnState), window::kGreen);

    fake->drvCount = 0;
    emit fake->DrvUpdated(0);
    EXPECT_TRUE(t.window.isUnloaded());
}

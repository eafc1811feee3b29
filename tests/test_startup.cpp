// Start-up, the Config Driver button and the driver list's rebuild.
#include "tests/support/ShownWindow.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

// Loaded over threeReceivers(), shown and active, the calls of the load kept.
struct ThreeReceivers : WindowRig<> {
    ThreeReceivers() : WindowRig<>(threeReceivers()) {
        window.load();
        showActive();
    }
};

} // namespace

TEST(StartUp, ThreeDriversFillTheListInOrderAndShowReceiverZero) {
    ThreeReceivers t;
    EXPECT_FALSE(t.window.isUnloaded());
    EXPECT_EQ(listTexts(*t.ui.Driver), (QStringList{"HF", "VHF", "BC"}));
    EXPECT_EQ(t.ui.Driver->listIndex(), 0);
    EXPECT_EQ(t.window.curRx(), 0);
    EXPECT_EQ(
        t.fake->calls.mid(0, 6),
        (QStringList{R"(DrvSetup("Test", 0) -> 0)", "DrvCount() -> 3", "DrvCount() -> 3",
                     R"(DrvName(0) -> "HF")", R"(DrvName(1) -> "VHF")", R"(DrvName(2) -> "BC")"}));
    // The selection of entry 0 did the first display.
    EXPECT_EQ(t.fake->calls.at(6), "RxMod(0) -> 1");
    EXPECT_EQ(t.ui.Read->text(), "7050000");
    EXPECT_EQ(t.ui.RomID->text(), "HF v1");
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
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
        QObject::connect(&t.window, &window::Test::unloaded, [&] { ended = true; });
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
    ThreeReceivers t;
    auto* fake = t.fake;
    auto lastCalls = [&](int n) { return fake->calls.mid(fake->calls.size() - n); };

    // Keyboard activation before any press: the driver dialog. The space is a
    // typed character too, forwarded first.
    t.ui.Dialog->setFocus();
    fake->clearCalls();
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{"RxKeyPress(0, 32) -> 0", R"(DrvSetup("Test", 1) -> 0)",
                                        "DrvCount() -> 3"}));

    // Select receiver 1 so that "current" means something.
    pick(*t.ui.Driver, 1);
    fake->clearCalls();
    clickAt(*t.ui.Dialog, {-1, -1}, Qt::ShiftModifier);
    EXPECT_EQ(t.window.configShift(), 1);
    EXPECT_EQ(fake->calls, QStringList{"RxConfigure(1) -> 0"});

    // The Shift state is kept: the keyboard configures again.
    fake->clearCalls();
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{"RxKeyPress(1, 32) -> 0", "RxConfigure(1) -> 0"}));

    for (Qt::KeyboardModifiers m :
         {Qt::KeyboardModifiers(Qt::NoModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)}) {
        fake->clearCalls();
        clickAt(*t.ui.Dialog, {-1, -1}, m);
        EXPECT_EQ(lastCalls(2), (QStringList{R"(DrvSetup("Test", 1) -> 0)", "DrvCount() -> 3"}));
    }

    // Every driver removed in the dialog: the program ends without DrvUpdated.
    fake->drvCount = 0;
    clickAt(*t.ui.Dialog);
    EXPECT_TRUE(t.window.isUnloaded());
}

TEST(DrvUpdated, RebuildsFromDrvCountWithNoSelectionAndKeepsTheReceiverShown) {
    ThreeReceivers t;
    auto* fake = t.fake;
    t.ui.Driver->setListIndex(2);
    ASSERT_EQ(t.window.curRx(), 2);
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

    fake->drvCount = 0;
    emit fake->DrvUpdated(0);
    EXPECT_TRUE(t.window.isUnloaded());
}

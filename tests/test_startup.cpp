// Start-up, the Config Driver button and the driver list's rebuild.
#include "tests/support/Receivers.h"
#include "window/Test.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using testsupport::FakeFactory;
using testsupport::RecordingReporter;
using testsupport::smallReceiver;

namespace {

QStringList listTexts(const controls::ListBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts.append(list.listText(i));
    }
    return texts;
}

struct ThreeReceivers {
    FakeFactory<> factory;
    RecordingReporter reporter;
    window::Test window{factory.factory(), &reporter};

    ThreeReceivers() {
        factory.fake->receivers = {smallReceiver(QStringLiteral("HF")),
                                   smallReceiver(QStringLiteral("VHF"), 145500000),
                                   smallReceiver(QStringLiteral("BC"), 6070000)};
        window.load();
        window.show();
    }
};

} // namespace

TEST(StartUp, NoDriverEndsWithoutShowingAndWithoutAskingNames) {
    FakeFactory<> factory;
    RecordingReporter reporter;
    window::Test window(factory.factory(), &reporter);
    bool ended = false;
    QObject::connect(&window, &window::Test::unloaded, [&] { ended = true; });
    window.load();
    EXPECT_TRUE(window.isUnloaded());
    EXPECT_TRUE(ended);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(factory.fake->calls,
              (QStringList{R"(DrvSetup("Test", 0) -> 0)", "DrvCount() -> 0"}));
    EXPECT_TRUE(reporter.reports.isEmpty());
}

TEST(StartUp, ThreeDriversFillTheListInOrderAndShowReceiverZero) {
    ThreeReceivers t;
    EXPECT_FALSE(t.window.isUnloaded());
    EXPECT_EQ(listTexts(*t.window.Driver), (QStringList{"HF", "VHF", "BC"}));
    EXPECT_EQ(t.window.Driver->listIndex(), 0);
    EXPECT_EQ(t.window.CurRx, 0);
    EXPECT_EQ(t.factory.fake->calls.mid(0, 6),
              (QStringList{R"(DrvSetup("Test", 0) -> 0)", "DrvCount() -> 3", "DrvCount() -> 3",
                           R"(DrvName(0) -> "HF")", R"(DrvName(1) -> "VHF")", R"(DrvName(2) -> "BC")"}));
    // The selection of entry 0 did the first display.
    EXPECT_EQ(t.factory.fake->calls.at(6), "RxMod(0) -> 1");
    EXPECT_EQ(t.window.Read->text(), "7050000");
    EXPECT_EQ(t.window.RomID->text(), "HF v1");
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
}

TEST(StartUp, CountsThatCannotBeFilledAreReportedAndTheWindowGoesOn) {
    struct Case {
        int16_t count;
        const char* report;
    };
    const Case cases[] = {
        {-32768, "Form_Load: Run-time error 6: Overflow (count -32768)"},
        {-5, "Form_Load: Run-time error 380: Invalid property value (Driver has no item at position 0)"},
    };
    for (const Case& c : cases) {
        FakeFactory<> factory;
        factory.fake->receivers = {smallReceiver(QStringLiteral("HF"))};
        factory.fake->drvCount = c.count;
        RecordingReporter reporter;
        window::Test window(factory.factory(), &reporter);
        window.load();
        EXPECT_FALSE(window.isUnloaded());
        EXPECT_EQ(window.Driver->count(), 0);
        EXPECT_EQ(reporter.reports, QStringList{QString::fromLatin1(c.report)});
        EXPECT_FALSE(factory.fake->calls.join(' ').contains("DrvName"));
    }
}

TEST(ConfigDriver, ShiftAloneConfiguresTheCurrentReceiverEverythingElseOpensTheDialog) {
    ThreeReceivers t;
    auto* fake = t.factory.fake;
    auto lastCalls = [&](int n) { return fake->calls.mid(fake->calls.size() - n); };

    // Keyboard activation before any press: the driver dialog.
    t.window.Dialog->setFocus();
    fake->clearCalls();
    QTest::keyClick(t.window.Dialog, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{R"(DrvSetup("Test", 1) -> 0)", "DrvCount() -> 3"}));

    // Select receiver 1 so that "current" means something.
    t.window.Driver->setListIndex(1);
    fake->clearCalls();
    QTest::mouseClick(t.window.Dialog, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(t.window.ConfigShift, 1);
    EXPECT_EQ(fake->calls, QStringList{"RxConfigure(1) -> 0"});

    // The Shift state is kept: the keyboard configures again.
    fake->clearCalls();
    QTest::keyClick(t.window.Dialog, Qt::Key_Space);
    EXPECT_EQ(fake->calls, QStringList{"RxConfigure(1) -> 0"});

    for (Qt::KeyboardModifiers m : {Qt::KeyboardModifiers(Qt::NoModifier),
                                    Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)}) {
        fake->clearCalls();
        QTest::mouseClick(t.window.Dialog, Qt::LeftButton, m);
        EXPECT_EQ(lastCalls(2), (QStringList{R"(DrvSetup("Test", 1) -> 0)", "DrvCount() -> 3"}));
    }

    // Every driver removed in the dialog: the program ends without DrvUpdated.
    fake->drvCount = 0;
    QTest::mouseClick(t.window.Dialog, Qt::LeftButton);
    EXPECT_TRUE(t.window.isUnloaded());
}

TEST(DrvUpdated, RebuildsFromDrvCountWithNoSelectionAndKeepsTheReceiverShown) {
    ThreeReceivers t;
    auto* fake = t.factory.fake;
    t.window.Driver->setListIndex(2);
    ASSERT_EQ(t.window.CurRx, 2);
    ASSERT_EQ(t.window.Read->text(), "6070000");

    fake->receivers[0].name = QStringLiteral("HF2");
    fake->receivers.append(smallReceiver(QStringLiteral("New")));
    fake->clearCalls();
    emit fake->DrvUpdated(99); // the argument is not what counts
    EXPECT_EQ(listTexts(*t.window.Driver), (QStringList{"HF2", "VHF", "BC", "New"}));
    EXPECT_EQ(t.window.Driver->listIndex(), -1);
    EXPECT_EQ(t.window.CurRx, 2);
    EXPECT_EQ(t.window.Read->text(), "6070000");
    EXPECT_EQ(fake->calls.first(), "DrvCount() -> 4");
    EXPECT_FALSE(fake->calls.join(' ').contains("RxMod")); // nothing refreshed

    fake->drvCount = 0;
    emit fake->DrvUpdated(0);
    EXPECT_TRUE(t.window.isUnloaded());
}

// Key forwarding to the current receiver, the Coupling box and the window's
// focus order, driven with real key and mouse events.
#include "tests/support/ShownWindow.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using testsupport::FakeComponent;
using testsupport::ShownWindow;

namespace {

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(none)");
}

// The controls the focus visits from the one that has it, one Tab at a time,
// until it comes back or `limit` steps were taken.
QStringList tabCycle(int limit = 20) {
    const QWidget* start = QApplication::focusWidget();
    QStringList visited;
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(focusName());
        if (QApplication::focusWidget() == start) {
            break;
        }
    }
    return visited;
}

QString keyPress(int rx, int code) {
    return QStringLiteral("RxKeyPress(%1, %2) -> 0").arg(rx).arg(code);
}

} // namespace

TEST(KeyForwarding, EveryTypedCharacterGoesToCurRxBeforeTheBoxAndStillArrives) {
    ShownWindow<> t; // receiver 1 selected, nothing connected
    auto* fake = t.fake;
    ASSERT_TRUE(t.activated);
    t.window.Freq->setFocus();
    QTest::keyClicks(t.window.Freq, QStringLiteral("705"));
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, '7'), keyPress(1, '0'), keyPress(1, '5')}));
    EXPECT_EQ(t.window.Freq->text(), "705");

    fake->clearCalls();
    QTest::keyClick(t.window.Freq, Qt::Key_Return);
    QTest::keyClick(t.window.Freq, Qt::Key_Backspace);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, 13), keyPress(1, 8)}));
    EXPECT_EQ(t.window.Freq->text(), "70");

    // Keys that type no character are not forwarded and still do their work.
    fake->clearCalls();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home,
                        Qt::Key_F1, Qt::Key_F5, Qt::Key_F12}) {
        QTest::keyClick(t.window.Freq, key);
    }
    EXPECT_TRUE(fake->calls.isEmpty()) << fake->calls.join(", ").toStdString();
    EXPECT_EQ(t.window.Freq->cursorPosition(), 0);

    // In DeltaF too, and for the receiver in CurRx after the selection moved.
    t.window.Driver->setListIndex(2);
    t.window.DeltaF->setFocus();
    fake->clearCalls();
    QTest::keyClicks(t.window.DeltaF, QStringLiteral("-3"));
    EXPECT_EQ(fake->calls, (QStringList{keyPress(2, '-'), keyPress(2, '3')}));
    EXPECT_EQ(fake->receivers[2].connected, 0);
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
}

TEST(KeyForwarding, AFailingKeyPressIsReportedAndTheCharacterIsStillTyped) {
    ShownWindow<> t;
    t.fake->failOperation(QStringLiteral("RxKeyPress"));
    t.window.Freq->setFocus();
    QTest::keyClicks(t.window.Freq, QStringLiteral("12"));
    EXPECT_EQ(t.window.Freq->text(), "12");
    EXPECT_EQ(t.reporter.reports,
              QStringList(2, QStringLiteral(
                                 "Form_KeyPress: Run-time error 440: receiver does not answer")));
}

TEST(Coupling, EachClickSetsDrvForwardToTheBoxsNewStateOneOrZero) {
    ShownWindow<> t;
    auto* fake = t.fake;
    QTest::mouseClick(t.window.Coupling, Qt::LeftButton);
    EXPECT_TRUE(t.window.Coupling->isChecked());
    EXPECT_EQ(fake->calls, QStringList{"DrvForward <- 1"});
    EXPECT_EQ(fake->drvForward(), 1);
    QTest::mouseClick(t.window.Coupling, Qt::LeftButton);
    EXPECT_FALSE(t.window.Coupling->isChecked());
    EXPECT_EQ(fake->calls, (QStringList{"DrvForward <- 1", "DrvForward <- 0"}));
    EXPECT_EQ(fake->drvForward(), 0);

    // From the keyboard: the space is a typed character first, then the toggle.
    fake->clearCalls();
    t.window.Coupling->setFocus();
    QTest::keyClick(t.window.Coupling, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, ' '), "DrvForward <- 1"}));
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
}

TEST(Coupling, AComponentWithoutDrvForwardReportsEachClickAndTheWindowGoesOn) {
    ShownWindow<FakeComponent> t;
    ASSERT_TRUE(t.activated);
    const QString error = QStringLiteral(
        "Coupling_Click: Run-time error 438: Object doesn't support this property or method "
        "(DrvForward)");
    QTest::mouseClick(t.window.Coupling, Qt::LeftButton);
    EXPECT_TRUE(t.window.Coupling->isChecked());
    EXPECT_EQ(t.reporter.reports, QStringList{error});
    QTest::mouseClick(t.window.Coupling, Qt::LeftButton);
    EXPECT_FALSE(t.window.Coupling->isChecked());
    EXPECT_EQ(t.reporter.reports, (QStringList{error, error}));
    EXPECT_TRUE(t.fake->calls.isEmpty());

    QTest::mouseClick(t.window.Connect, Qt::LeftButton);
    EXPECT_EQ(t.fake->calls, QStringList{"RxConnect(1, -1) -> 0"});
}

TEST(FocusOrder, StartsOnDialogAndTabsThroughTheControlsSkippingDisabledLists) {
    ShownWindow<> t(0, /*remote*/ -1, /*connected*/ -1);
    ASSERT_TRUE(t.activated);
    EXPECT_EQ(focusName(), "Dialog");

    const QStringList all{"Driver", "Connect", "Disconnect", "Remote", "Local",
                          "Freq",   "Mode",    "Agc",        "NB",     "Att",
                          "Filter", "DeltaF",  "Coupling",   "Dialog"};
    EXPECT_EQ(tabCycle(), all);

    // Released from remote control: the five setting lists are disabled.
    QTest::mouseClick(t.window.Local, Qt::LeftButton);
    ASSERT_FALSE(t.window.Mode->isEnabled());
    t.window.Dialog->setFocus();
    QStringList withoutLists = all;
    for (const char* list : {"Mode", "Agc", "NB", "Att", "Filter"}) {
        withoutLists.removeOne(QString::fromLatin1(list));
    }
    EXPECT_EQ(tabCycle(), withoutLists);

    // Backwards from DeltaF lands on Freq when the lists cannot take the focus.
    t.window.DeltaF->setFocus();
    QTest::keyClick(t.window.DeltaF, Qt::Key_Backtab);
    EXPECT_EQ(focusName(), "Freq");
}

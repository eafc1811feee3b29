// Key forwarding to the current receiver and the Coupling box, driven with
// real key and mouse events.
#include "tests/support/ShownWindow.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

QString keyPress(int rx, int code) {
    return QStringLiteral("RxKeyPress(%1, %2) -> 0").arg(rx).arg(code);
}

} // namespace

TEST(KeyForwarding, EveryTypedCharacterGoesToCurRxBeforeTheBoxAndStillArrivesEvenIfItFails) {
    ShownWindow<> t; // receiver 1 selected, nothing connected
    auto* fake = t.fake;
    ASSERT_TRUE(t.activated);
    EXPECT_TRUE(t.ui.Dialog->hasFocus()); // the first control of the tab order starts with it
    t.ui.Freq->setFocus();
    type(t.window, QStringLiteral("705"));
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, '7'), keyPress(1, '0'), keyPress(1, '5')}));
    EXPECT_EQ(t.ui.Freq->text(), "705");

    fake->clearCalls();
    press(t.window, Qt::Key_Return);
    press(t.window, Qt::Key_Backspace);
    press(t.window, Qt::Key_Escape);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, 13), keyPress(1, 8), keyPress(1, 27)}));
    EXPECT_EQ(t.ui.Freq->text(), "70");

    // Keys that type no character are not forwarded and still do their work.
    fake->clearCalls();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home,
                        Qt::Key_F1, Qt::Key_F5, Qt::Key_F12}) {
        press(t.window, key);
    }
    EXPECT_TRUE(fake->calls.isEmpty()) << fake->calls.join(", ").toStdString();
    EXPECT_EQ(t.ui.Freq->cursorPosition(), 0);

    // In DeltaF too, and for the receiver in CurRx after the selection moved.
    t.ui.Driver->setListIndex(2);
    t.ui.DeltaF->setFocus();
    fake->clearCalls();
    type(t.window, QStringLiteral("-3"));
    EXPECT_EQ(fake->calls, (QStringList{keyPress(2, '-'), keyPress(2, '3')}));
    EXPECT_EQ(fake->receivers[2].connected, 0);
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();

    // A KeyPress that fails is reported, and the character is still typed.
    fake->failOperation(QStringLiteral("RxKeyPress"));
    const QString typed = t.ui.DeltaF->text().insert(t.ui.DeltaF->cursorPosition(), '1');
    type(t.window, QStringLiteral("1"));
    EXPECT_EQ(t.ui.DeltaF->text(), typed);
    EXPECT_EQ(t.reporter.reports,
              QStringList{"Form_KeyPress: Run-time error 440: receiver does not answer"});
}

TEST(Coupling, EachClickSetsDrvForwardToTheBoxsNewStateOneOrZero) {
    ShownWindow<> t;
    auto* fake = t.fake;
    clickAt(*t.ui.Coupling);
    EXPECT_TRUE(t.ui.Coupling->isChecked());
    EXPECT_EQ(fake->calls, QStringList{"DrvForward <- 1"});
    EXPECT_EQ(fake->drvForward(), 1);
    clickAt(*t.ui.Coupling);
    EXPECT_FALSE(t.ui.Coupling->isChecked());
    EXPECT_EQ(fake->calls, (QStringList{"DrvForward <- 1", "DrvForward <- 0"}));
    EXPECT_EQ(fake->drvForward(), 0);

    // From the keyboard: the space is a typed character first, then the toggle.
    fake->clearCalls();
    t.ui.Coupling->setFocus();
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, ' '), "DrvForward <- 1"}));
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
}

TEST(Coupling, AComponentWithoutDrvForwardReportsEachClickAndTheWindowGoesOn) {
    ShownWindow<FakeComponent> t;
    ASSERT_TRUE(t.activated);
    const QString error = QStringLiteral(
        "Coupling_Click: Run-time error 438: Object doesn't support this property or method "
        "(DrvForward)");
    clickAt(*t.ui.Coupling);
    EXPECT_TRUE(t.ui.Coupling->isChecked());
    EXPECT_EQ(t.reporter.reports, QStringList{error});
    clickAt(*t.ui.Coupling);
    EXPECT_FALSE(t.ui.Coupling->isChecked());
    EXPECT_EQ(t.reporter.reports, (QStringList{error, error}));
    EXPECT_TRUE(t.fake->calls.isEmpty());

    clickAt(*t.ui.Connect);
    EXPECT_EQ(t.fake->calls, QStringList{"RxConnect(1, -1) -> 0"});
}

// The toolkit behaviours the window's handlers are written against, driven
// with real key and mouse events. TextBox's Validate is tried through the
// main window's boxes (test_frequency).
#include "controls/Button.h"
#include "controls/KeyPreview.h"
#include "controls/ListBox.h"
#include "controls/TextBox.h"
#include "tests/support/RecordingComponent.h"
#include "tests/support/WindowInput.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;
using controls::Binding;
using receiver::RuntimeError;

namespace {

// A box, a list of A, B, C whose Click records the index it sees, and a
// button, shown and active.
struct Form {
    QWidget window;
    controls::TextBox* box = new controls::TextBox(&window);
    controls::ListBox* list = new controls::ListBox(&window);
    controls::Button* button = new controls::Button(QStringLiteral("B"), &window);
    RecordingReporter reporter;
    QList<int> clicks; // the list index each Click saw

    Form() {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : std::initializer_list<QWidget*>{box, list, button}) {
            layout->addWidget(w);
        }
        for (const char* t : {"A", "B", "C"}) {
            list->addListItem(QString::fromLatin1(t));
        }
        list->setClick(Binding{QStringLiteral("L_Click"),
                               [this] { clicks.append(list->listIndex()); }, &reporter});
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

} // namespace

TEST(ListBox, SelectionFromCodeRunsClickBeforeReturningAndPassesItsErrorUp) {
    Form f;
    f.list->setListIndex(1);
    EXPECT_EQ(f.clicks, QList<int>{1});
    f.list->setListIndex(1); // no change, no Click
    EXPECT_EQ(f.clicks, QList<int>{1});

    f.list->setClick(Binding{QStringLiteral("L_Click"),
                             [] { throw RuntimeError::overflow(QStringLiteral("in click")); },
                             &f.reporter});
    try {
        f.list->setListIndex(2);
        FAIL() << "the Click's error must reach the code that selected";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), RuntimeError::Overflow);
    }
    EXPECT_EQ(f.list->listIndex(), 2); // the selection itself was made
    EXPECT_TRUE(f.reporter.reports.isEmpty());
}

TEST(ListBox, OperatorAndScreenReaderSelectionRunClickOnceButFocusAloneDoesNot) {
    Form f;
    // Tabbing into a list without a selection moves Qt's current item only.
    f.box->setFocus();
    QTest::keyClick(f.box, Qt::Key_Tab);
    ASSERT_TRUE(f.list->hasFocus());
    EXPECT_TRUE(f.clicks.isEmpty());
    EXPECT_EQ(f.list->listIndex(), -1);

    pick(*f.list, 2);
    EXPECT_EQ(f.clicks, QList<int>{2});
    QTest::keyClick(f.list, Qt::Key_Up);
    EXPECT_EQ(f.clicks, (QList<int>{2, 1}));
    // Ctrl+click on the selected entry keeps it selected: no Click, no loss.
    clickAt(*f.list, entryPoint(*f.list, 1), Qt::ControlModifier);
    EXPECT_EQ(f.list->listIndex(), 1);
    EXPECT_EQ(f.clicks, (QList<int>{2, 1}));

    // A screen reader picks an entry through the accessibility interface; only
    // the entry picked runs Click, never the step between with nothing selected.
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(f.list)->tableInterface();
    ASSERT_NE(table, nullptr);
    table->cellAt(0, 0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(f.clicks, (QList<int>{2, 1, 0}));
    EXPECT_EQ(f.list->listIndex(), 0);
    EXPECT_EQ(f.reporter.reports, QStringList{});
}

// What the mouse and keyboard cannot do to a disabled list, a screen reader's
// actions cannot either: neither an entry's Toggle nor selecting or
// unselecting a row changes the selection or runs Click. Code still selects.
TEST(ListBox, ADisabledListRefusesTheAccessibilityInterfaceToo) {
    Form f;
    f.list->setListIndex(1);
    f.clicks.clear();
    f.list->setEnabled(false);
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(f.list)->tableInterface();
    ASSERT_NE(table, nullptr);
    table->cellAt(2, 0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    table->cellAt(1, 0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    table->selectRow(0);
    table->unselectRow(1);
    pick(*f.list, 2);
    EXPECT_EQ(f.list->listIndex(), 1);
    EXPECT_EQ(table->selectedRowCount(), 1);
    EXPECT_TRUE(f.clicks.isEmpty()) << f.clicks.size() << " clicks";

    f.list->setListIndex(2);
    EXPECT_EQ(f.clicks, QList<int>{2});
    f.list->setEnabled(true);
    table->selectRow(0);
    EXPECT_EQ(f.list->listIndex(), 0);
    EXPECT_EQ(f.clicks, (QList<int>{2, 0}));
    EXPECT_EQ(f.reporter.reports, QStringList{});
}

// MouseDown, with the Shift (1), Ctrl (2) and Alt (4) bits of the press, comes
// before Click; other modifiers count for nothing; the keyboard runs Click alone.
TEST(Button, MouseDownWithTheShiftStateBeforeClickAndTheKeyboardClicksAlone) {
    Form f;
    QStringList order;
    f.button->setMouseDown(
        QStringLiteral("B_MouseDown"),
        [&](int16_t s) { order.append(QStringLiteral("down %1").arg(s)); }, &f.reporter);
    f.button->setClick(Binding{QStringLiteral("B_Click"),
                               [&] { order.append(QStringLiteral("click")); }, &f.reporter});
    for (const Qt::KeyboardModifiers m :
         {Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::AltModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::NoModifier),
          Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier |
              Qt::KeypadModifier}) {
        clickAt(*f.button, {-1, -1}, m);
    }
    f.button->setFocus();
    press(f.window, Qt::Key_Space);
    EXPECT_EQ(order, (QStringList{"down 5", "click", "down 2", "click", "down 0", "click", "down 7",
                                  "click", "click"}));
    EXPECT_TRUE(f.reporter.reports.isEmpty());
}

TEST(KeyPreview, WindowSeesEachCharacterBeforeTheControlAndTheControlStillGetsIt) {
    Form f;
    QList<int> codes;
    QStringList textAtPreview;
    controls::KeyPreview preview(
        &f.window, QStringLiteral("Form_KeyPress"),
        [&](int16_t k) {
            codes.append(k);
            textAtPreview.append(f.box->text());
        },
        &f.reporter);
    f.box->setFocus();
    QTest::keyClicks(f.box, QStringLiteral("705"));
    EXPECT_EQ(codes, (QList<int>{'7', '0', '5'}));
    EXPECT_EQ(textAtPreview, (QStringList{QString(), QStringLiteral("7"), QStringLiteral("70")}));
    EXPECT_EQ(f.box->text(), QStringLiteral("705"));

    // Keys in a list are previewed too, once, even when the list passes them on.
    codes.clear();
    f.list->setFocus();
    QTest::keyClick(f.list, Qt::Key_Return);
    QTest::keyClick(f.list, Qt::Key_A);
    EXPECT_EQ(codes, (QList<int>{13, 'a'}));

    // A character outside the 16-bit plane comes as one key of two UTF-16
    // units: each goes on by itself, as the control gets them.
    codes.clear();
    f.box->setFocus();
    f.box->clear();
    QTest::sendKeyEvent(QTest::Press, f.box, Qt::Key_unknown, QStringLiteral("\U0001F4FB"),
                        Qt::NoModifier);
    EXPECT_EQ(codes, (QList<int>{int16_t(0xD83D), int16_t(0xDCFB)}));
    EXPECT_EQ(f.box->text(), QStringLiteral("\U0001F4FB"));
}

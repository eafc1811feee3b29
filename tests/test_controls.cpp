// The toolkit behaviours the window's handlers are written against, driven
// with real key and mouse events.
#include "controls/Button.h"
#include "controls/KeyPreview.h"
#include "controls/ListBox.h"
#include "controls/TextBox.h"
#include "tests/support/WindowInput.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace corvane;
using controls::Binding;
using receiver::RuntimeError;

namespace {

class Reporter : public controls::ErrorReporter {
public:
    QStringList reports;
    void report(const QString& handler, const RuntimeError& e) override {
        reports.append(handler + QStringLiteral(": ") + e.message());
    }
};

struct ListFixture {
    QWidget window;
    controls::ListBox* list = new controls::ListBox(&window);
    controls::TextBox* box = new controls::TextBox(&window);
    Reporter reporter;
    QList<int> clicks; // the list index each Click saw

    ListFixture() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(box);
        layout->addWidget(list);
        for (const char* t : {"A", "B", "C"}) {
            list->addListItem(QString::fromLatin1(t));
        }
        list->setClick(Binding{QStringLiteral("L_Click"),
                               [this] { clicks.append(list->listIndex()); }, &reporter});
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

TEST(ListBox, SelectionFromCodeRunsClickBeforeReturningAndPassesItsErrorUp) {
    ListFixture f;
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

TEST(ListBox, ClearingReadingPastTheEndAndRefusingEmptyPositions) {
    ListFixture f;
    f.list->setListIndex(0);
    f.list->clearList();
    EXPECT_EQ(f.clicks, QList<int>{0}); // clearing ran nothing
    EXPECT_EQ(f.list->listIndex(), -1);
    EXPECT_EQ(f.list->listText(0), QString());
    EXPECT_EQ(f.list->listText(-1), QString());
    f.list->addListItem(QStringLiteral("X"));
    EXPECT_EQ(f.list->listText(0), QStringLiteral("X"));
    EXPECT_EQ(f.list->listText(1), QString());
    try {
        f.list->setListIndex(1);
        FAIL() << "a position without an item must be refused";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), RuntimeError::InvalidPropertyValue);
    }
    EXPECT_EQ(f.list->listIndex(), -1);
}

TEST(ListBox, OperatorSelectionRunsClickAtTheBoundaryButFocusAloneDoesNot) {
    ListFixture f;
    // Tabbing into a list without a selection moves Qt's current item only.
    f.box->setFocus();
    QTest::keyClick(f.box, Qt::Key_Tab);
    ASSERT_TRUE(f.list->hasFocus());
    EXPECT_TRUE(f.clicks.isEmpty());
    EXPECT_EQ(f.list->listIndex(), -1);

    testsupport::pick(*f.list, 2);
    EXPECT_EQ(f.clicks, QList<int>{2});
    QTest::keyClick(f.list, Qt::Key_Up);
    EXPECT_EQ(f.clicks, (QList<int>{2, 1}));
    // Ctrl+click on the selected entry keeps it selected: no Click, no loss.
    testsupport::clickAt(*f.list, testsupport::entryPoint(*f.list, 1), Qt::ControlModifier);
    EXPECT_EQ(f.list->listIndex(), 1);
    EXPECT_EQ(f.clicks, (QList<int>{2, 1}));

    // An operator's Click that fails is reported and the list goes on working.
    f.list->setClick(Binding{QStringLiteral("L_Click"),
                             [] { throw RuntimeError::componentFailure(QStringLiteral("gone")); },
                             &f.reporter});
    testsupport::pick(*f.list, 0);
    EXPECT_EQ(f.reporter.reports, QStringList{QStringLiteral("L_Click: Run-time error 440: gone")});
    EXPECT_EQ(f.list->listIndex(), 0);
}

// A screen reader picks an entry through the accessibility interface; only
// the entry picked runs Click, never the step between with nothing selected.
TEST(ListBox, AnEntryPickedByAScreenReaderRunsOneClick) {
    ListFixture f;
    f.list->setListIndex(0);
    f.clicks.clear();
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(f.list)->tableInterface();
    ASSERT_NE(table, nullptr);
    QAccessibleInterface* cell = table->cellAt(2, 0);
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(f.clicks, QList<int>{2});
    EXPECT_EQ(f.list->listIndex(), 2);
    EXPECT_TRUE(f.reporter.reports.isEmpty());
}

TEST(TextBox, ValidateWhenFocusMovesToAnotherControlOnly) {
    QWidget window;
    auto* first = new controls::TextBox(&window);
    auto* second = new controls::TextBox(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    Reporter reporter;
    int validates = 0;
    first->setValidate(
        QStringLiteral("First_Validate"), [&](bool&) { ++validates; }, &reporter);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTest::keyClicks(first, QStringLiteral("12"));
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(validates, 1);
    EXPECT_TRUE(second->hasFocus());

    // Back by a click, then away by a click: once more.
    QTest::mouseClick(first, Qt::LeftButton);
    first->setFocus(Qt::MouseFocusReason);
    second->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(validates, 2);
    // Another window taking the focus, and a failing Validate, are tried
    // through the main window (test_frequency).
}

TEST(Button, ModifiersAreShiftCtrlAltBits) {
    using Qt::AltModifier, Qt::ControlModifier, Qt::ShiftModifier;
    EXPECT_EQ(controls::shiftState(Qt::NoModifier), 0);
    EXPECT_EQ(controls::shiftState(ShiftModifier), 1);
    EXPECT_EQ(controls::shiftState(ControlModifier), 2);
    EXPECT_EQ(controls::shiftState(AltModifier), 4);
    EXPECT_EQ(controls::shiftState(ShiftModifier | ControlModifier | AltModifier), 7);
    EXPECT_EQ(controls::shiftState(Qt::MetaModifier | Qt::KeypadModifier), 0);
}

// MouseDown, with the modifiers of the press, comes before Click; the
// keyboard runs Click alone.
TEST(Button, MouseDownBeforeClickAndTheKeyboardClicksAlone) {
    QWidget window;
    auto* button = new controls::Button(QStringLiteral("B"), &window);
    Reporter reporter;
    QStringList order;
    button->setMouseDown(
        QStringLiteral("B_MouseDown"),
        [&](int16_t s) { order.append(QStringLiteral("down %1").arg(s)); }, &reporter);
    button->setClick(Binding{QStringLiteral("B_Click"),
                             [&] { order.append(QStringLiteral("click")); }, &reporter});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    testsupport::clickAt(*button, {-1, -1}, Qt::ShiftModifier | Qt::AltModifier);
    button->setFocus();
    testsupport::press(window, Qt::Key_Space);
    EXPECT_EQ(order, (QStringList{"down 5", "click", "click"}));
}

TEST(KeyPreview, WindowSeesEachCharacterBeforeTheControlAndTheControlStillGetsIt) {
    QWidget window;
    auto* box = new controls::TextBox(&window);
    auto* list = new controls::ListBox(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(box);
    layout->addWidget(list);
    Reporter reporter;
    QList<int> codes;
    QStringList textAtPreview;
    controls::KeyPreview preview(
        &window, QStringLiteral("Form_KeyPress"),
        [&](int16_t k) {
            codes.append(k);
            textAtPreview.append(box->text());
        },
        &reporter);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("705"));
    EXPECT_EQ(codes, (QList<int>{'7', '0', '5'}));
    EXPECT_EQ(textAtPreview, (QStringList{QString(), QStringLiteral("7"), QStringLiteral("70")}));
    EXPECT_EQ(box->text(), QStringLiteral("705"));

    // Keys in a list are previewed too, once, even when the list passes them on.
    codes.clear();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_A);
    EXPECT_EQ(codes, (QList<int>{13, 'a'}));
    // Which keys are characters, and a failing KeyPress, are tried through
    // the main window (test_keys_coupling).
}

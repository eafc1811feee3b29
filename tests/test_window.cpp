// The window as the operator meets it: every control where the layout puts
// it, reached by a click at any point of it through the window, named for a
// screen reader, and the error report beside the window, never over it.
#include "controls/MessageReporter.h"
#include "tests/support/ShownWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

enum class Kind { Label, Caption, Button, List, Box, Check };

// One row of the window's control table. `tab`: the control the focus comes
// from with Tab (none for labels). `spoken`: the accessible name of a control
// the operator works, the description of a label that shows a value.
struct Row {
    const char* name; // object name; caption labels as "Label" with their index
    int index;
    Kind kind;
    const char* text;
    const char* tooltip;
    int left, top, width, height;
    const char* tab;
    const char* spoken;
};

// clang-format off
const Row kRows[] = {
    {"Label", 4, Kind::Caption, "FRQ", "", 1560, 645, 615, 255, nullptr, "Freq"},
    {"Dialog", -1, Kind::Button, "Config Driver", "Add/Configure drivers", 1800, 0, 735, 495, "Coupling", "Config Driver"},
    {"Driver", -1, Kind::List, "", "Select current receiver", 600, 0, 855, 450, "Dialog", "Rx"},
    {"Connect", -1, Kind::Button, "Connect", "Connect current receiver", 2520, 0, 975, 255, "Driver", "Connect"},
    {"Disconnect", -1, Kind::Button, "Disconnect", "Disconnect current receiver", 3480, 0, 975, 255, "Connect", "Disconnect"},
    {"Label", 1, Kind::Caption, "ROMId", "", 0, 480, 615, 255, nullptr, "RomID"},
    {"Label", 2, Kind::Caption, "FrqMax", "", 0, 720, 615, 255, nullptr, "FrqMax"},
    {"RomID", -1, Kind::Label, "", "", 600, 480, 855, 255, nullptr, "ROMId"},
    {"FrqMax", -1, Kind::Label, "", "", 600, 720, 855, 255, nullptr, "FrqMax"},
    {"Remote", -1, Kind::Button, "Remote", "Take control of current connected receiver", 2520, 240, 975, 255, "Disconnect", "Remote"},
    {"Local", -1, Kind::Button, "Local", "Release control of current connected receiver", 3480, 240, 975, 255, "Remote", "Local"},
    {"ConnState", -1, Kind::Label, "", "Connection state", 4560, 0, 855, 255, nullptr, "Connection state"},
    {"Label", 3, Kind::Caption, "Rx", "", 0, 10, 615, 255, nullptr, "Driver"},
    {"Freq", -1, Kind::Box, "", "", 1920, 840, 855, 285, "Local", "FRQ"},
    {"Label", 5, Kind::Caption, "MODE", "", 0, 1260, 615, 255, nullptr, "Mode"},
    {"Mode", -1, Kind::List, "", "", 600, 1200, 855, 450, "Freq", "MODE"},
    {"Read", -1, Kind::Label, "", "", 1920, 600, 855, 255, nullptr, "Frequency read"},
    {"Label", 0, Kind::Caption, "AGC", "", 1560, 1260, 615, 255, nullptr, "Agc"},
    {"Agc", -1, Kind::List, "", "", 1920, 1200, 975, 450, "Mode", "AGC"},
    {"Label", 6, Kind::Caption, "NB", "", 3000, 1260, 615, 255, nullptr, "NB"},
    {"NB", -1, Kind::List, "", "", 3360, 1200, 855, 450, "Agc", "NB"},
    {"Label", 7, Kind::Caption, "ATT", "", 4320, 1260, 615, 255, nullptr, "Att"},
    {"Att", -1, Kind::List, "", "", 4680, 1200, 735, 450, "NB", "ATT"},
    {"Label", 8, Kind::Caption, "FLT", "", 3360, 645, 615, 255, nullptr, "Filter"},
    {"Filter", -1, Kind::List, "", "", 3720, 600, 1695, 450, "Att", "FLT"},
    {"BFO", -1, Kind::Label, "", "", 2760, 600, 495, 255, nullptr, "BFO"},
    {"FrqMin", -1, Kind::Label, "", "", 600, 960, 855, 255, nullptr, "FrqMin"},
    {"Label", 9, Kind::Caption, "FrqMin", "", 0, 960, 615, 255, nullptr, "FrqMin"},
    {"DeltaF", -1, Kind::Box, "0", "", 2760, 840, 495, 285, "Filter", "DeltaF"},
    {"SMet", -1, Kind::Label, "", "SMeter", 4560, 240, 855, 255, nullptr, "SMeter"},
    {"Coupling", -1, Kind::Check, "", "Forward changes from one receiver to any other", 1560, 0, 255, 255, "DeltaF", "Forward changes from one receiver to any other"},
};
// clang-format on

QString accessible(QWidget* w, QAccessible::Text which) {
    return QAccessible::queryAccessibleInterface(w)->text(which);
}

// The error report the program shows, if there is one.
QMessageBox* report() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("Report")) {
            return qobject_cast<QMessageBox*>(w);
        }
    }
    return nullptr;
}

class Layout : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(Layout, ControlIsWhereTheTableSaysAndEveryPointOfItIsItsOwn) {
    const Row& r = GetParam();
    WindowRig<> f; // shown but not loaded: every control as it is created
    f.showActive();
    QWidget& w = f.window;
    // Caption labels share the name "Label" and differ by their index.
    QWidget* c = r.index < 0 ? control(w, r.name) : nullptr;
    for (QLabel* label : w.findChildren<QLabel*>("Label", Qt::FindDirectChildrenOnly)) {
        c = label->property("index").toInt() == r.index ? label : c;
    }
    ASSERT_NE(c, nullptr);
    const double scale = f.window.layoutScale();
    const auto px = [&](int twips) { return static_cast<int>(std::lround(twips * scale / 15.0)); };
    EXPECT_EQ(w.size(), QSize(px(5385), px(1665)));
    EXPECT_EQ(c->geometry(), QRect(px(r.left), px(r.top), px(r.width), px(r.height)));
    EXPECT_EQ(c->property("text").toString(), QString::fromLatin1(r.text));
    EXPECT_EQ(c->toolTip(), QString::fromLatin1(r.tooltip));
    EXPECT_TRUE(c->isVisible());
    EXPECT_TRUE(c->isEnabled());

    // Every point of the control not covered by a control stacked above it
    // reaches it; captions are never reached at all.
    const QObjectList stack = w.children();
    QRegion covered;
    for (qsizetype i = stack.indexOf(c) + 1; i < stack.size(); ++i) {
        auto* above = qobject_cast<QWidget*>(stack[i]);
        if (above != nullptr && above->objectName() != QLatin1String("Label") &&
            !above->isWindow()) {
            covered += above->geometry();
        }
    }
    const QRegion whole(c->geometry() & w.rect());
    const QRegion visible = r.kind == Kind::Caption ? whole : whole - covered;
    if (r.kind != Kind::Caption) { // only an edge may be under another control
        const QRect inner = c->geometry().adjusted(2, 2, -2, -2) & w.rect();
        EXPECT_TRUE(visible.contains(inner)) << visible.boundingRect().x();
    }
    int wrong = 0; // the first three are reported
    for (const QRect& part : visible) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            for (int x = part.left(); x <= part.right(); ++x) {
                QWidget* hit = w.childAt(x, y);
                const bool own = hit == c || (hit != nullptr && c->isAncestorOf(hit));
                if ((r.kind == Kind::Caption ? hit == c : !own) && ++wrong <= 3) {
                    ADD_FAILURE() << "(" << x << "," << y << ") reaches "
                                  << (hit ? qPrintable(hit->objectName()) : "nothing");
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);

    // Initial state, focus, and what a screen reader is told.
    switch (r.kind) {
    case Kind::Caption:
        EXPECT_EQ(c->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(static_cast<QLabel*>(c)->buddy(), control(w, r.spoken));
        break;
    case Kind::Label:
        EXPECT_EQ(c->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(accessible(c, QAccessible::Description), r.spoken);
        break;
    default: {
        EXPECT_EQ(accessible(c, QAccessible::Name), r.spoken);
        QWidget* from = control(w, r.tab);
        if (auto* box = qobject_cast<QLineEdit*>(from)) {
            box->clear(); // nothing to send: the window has no component yet
        }
        from->setFocus(Qt::OtherFocusReason);
        press(w, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), c)
            << "Tab from " << r.tab << " reaches "
            << qPrintable(QApplication::focusWidget()->objectName());
        break;
    }
    }
    // Lists start empty, the Coupling box unchecked.
    EXPECT_EQ(c->property("count").toInt(), 0);
    EXPECT_FALSE(c->property("checked").toBool());
    if (QLatin1String(r.name) == QLatin1String("ConnState")) {
        EXPECT_EQ(window::backColor(*static_cast<QLabel*>(c)), window::kRed);
        EXPECT_EQ(accessible(c, QAccessible::Name), "not connected");
    }
    EXPECT_TRUE(f.reporter.reports.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Window, Layout, ::testing::ValuesIn(kRows), [](const auto& info) {
    const Row& r = info.param;
    return r.name + (r.index < 0 ? "" : std::to_string(r.index));
});

// What the component returns is shown, and read out, exactly as returned.
TEST(ComponentText, IsPlainTextNeverMarkup) {
    ShownWindow<> t(0);
    t.rx(1).romId = QStringLiteral("<b>HF</b> & R75 <2>");
    t.ui.Driver->setListIndex(1);
    emit t.fake->RxSMtUpdated(1, 0, 0, 0, QStringLiteral("<i>S9</i>"));
    for (QLabel* label : {t.ui.RomID, t.ui.SMet}) {
        QLabel plain(label->text());
        plain.setTextFormat(Qt::PlainText);
        EXPECT_EQ(label->sizeHint(), plain.sizeHint()) << qPrintable(label->text());
    }
    EXPECT_EQ(accessible(t.ui.SMet, QAccessible::Name), "<i>S9</i>");
}

class ReportBeside : public ::testing::TestWithParam<bool> {};

TEST_P(ReportBeside, NeverOverTheWindowKeepsTheFocusClosesWithEscAndShowsTheNewestError) {
    const bool low = GetParam(); // no room below the window
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    WindowRig<> r({smallReceiver("HF")}, false); // the report the program shows
    r.window.load();
    r.window.move(screen.left() + 40, low ? screen.bottom() - 180 : screen.top() + 40);
    r.showActive();
    const auto refuse = [&](const char* text) {
        r.ui.Freq->setFocus();
        r.ui.Freq->setText(QString::fromLatin1(text));
        press(r.window, Qt::Key_Tab);
    };
    refuse("abc");
    QMessageBox* box = report();
    ASSERT_NE(box, nullptr);
    // A screen reader announces it as an alert.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->role(), QAccessible::AlertMessage);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->frameGeometry().intersects(r.window.frameGeometry()))
        << box->frameGeometry().y() << " vs " << r.window.frameGeometry().y();
    EXPECT_EQ(box->frameGeometry().top() > r.window.frameGeometry().top(), !low);
    EXPECT_TRUE(box->text().startsWith("Freq_Validate: Run-time error 13"));
    // The window stays the active one, and the Tab went on to DeltaF (the
    // lists are disabled: the receiver is not under remote control).
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &r.window; }));
    EXPECT_EQ(QApplication::focusWidget(), r.ui.DeltaF);

    refuse("99999999999");
    EXPECT_EQ(report(), box); // replaced, not a second report
    EXPECT_TRUE(box->text().startsWith("Freq_Validate: Run-time error 6"));

    // Esc that closes it does nothing else: a button held down by the keyboard
    // (Space pressed, not yet released) clicks neither on the Esc nor on the
    // release after it.
    r.fake->clearCalls();
    r.ui.Connect->setFocus();
    QTest::keyPress(handleOf(r.window), Qt::Key_Space);
    ASSERT_TRUE(r.ui.Connect->isDown());
    press(r.window, Qt::Key_Escape);
    EXPECT_FALSE(box->isVisible());
    QTest::keyRelease(handleOf(r.window), Qt::Key_Space);
    EXPECT_FALSE(r.ui.Connect->isDown());
    EXPECT_FALSE(r.fake->calls.join('\n').contains("RxConnect"))
        << r.fake->calls.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Window, ReportBeside, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "LowOnTheScreen" : "RoomBelow");
});

TEST(Report, PlacementBelowAboveRightLeftOfTheWindowFrame) {
    const QRect screen(0, 0, 1000, 700);
    const QSize size(300, 100);
    const std::pair<QRect, QPoint> cases[] = {
        {{100, 100, 400, 150}, {100, 258}}, // below, left edges aligned
        {{800, 100, 190, 150}, {700, 258}}, // below, kept on the screen
        {{100, 500, 400, 150}, {100, 392}}, // above: no room below
        {{100, 50, 400, 600}, {508, 50}},   // right: no room above or below
        {{650, 50, 340, 600}, {342, 50}},   // left: no room on the right either
    };
    for (const auto& [window, expected] : cases) {
        const QRect got = controls::MessageReporter::placeBeside(window, size, screen);
        EXPECT_EQ(got.topLeft(), expected);
        EXPECT_FALSE(got.intersects(window));
        EXPECT_TRUE(screen.contains(got));
    }
}

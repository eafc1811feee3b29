// The four connection buttons, the link events RxConnState and RxDataError,
// key forwarding to the current receiver and the Coupling box.
#include "tests/support/ComponentFixture.h"
#include "tests/support/FileFaults.h"
#include "tests/support/ShownWindow.h"

#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

// Whether Mode, Filter, AGC, NB and ATT are enabled, "11111" for all.
QString listsEnabled(const Controls& w) {
    QString bits;
    for (const QWidget* list : {w.Mode, w.Filter, w.Agc, w.NB, w.Att}) {
        bits += list->isEnabled() ? '1' : '0';
    }
    return bits;
}

QString keyPress(int rx, int code) {
    return QStringLiteral("RxKeyPress(%1, %2) -> 0").arg(rx).arg(code);
}

} // namespace

TEST(ConnectionButtons, EachCallsTheComponentForCurRxAndRedrawsAsItMust) {
    ShownWindow<> t; // receiver 1 selected, not connected
    auto* fake = t.fake;
    ASSERT_EQ(window::backColor(*t.ui.ConnState), window::kRed);
    // Changed behind the window's back: a redraw would show the new text.
    fake->receivers[1].romId = QStringLiteral("VHF v2");

    // Connect: one call and nothing redrawn, even though the fake connects at once.
    const QString before = windowState(t.window);
    clickAt(*t.ui.Connect);
    EXPECT_EQ(fake->calls, QStringList{"RxConnect(1, -1) -> 0"});
    EXPECT_EQ(windowState(t.window), before);

    // The component reports the change: the panel shows connected, not remote.
    fake->clearCalls();
    emit fake->RxConnState(1, 1000);
    EXPECT_EQ(fake->calls, statusReads(1, fake->receivers[1]));
    EXPECT_EQ(window::backColor(*t.ui.ConnState), window::kYellow);
    EXPECT_EQ(t.ui.RomID->text(), "VHF v2");
    EXPECT_EQ(listsEnabled(t.ui), "00000");

    struct Step {
        controls::Button* button;
        const char* command;
        QColor colour;
        const char* words; // what a screen reader says for the indicator
    };
    const Step steps[] = {
        {t.ui.Remote, "RxRemote(1, -1) -> 0", window::kGreen, "under remote control"},
        {t.ui.Local, "RxRemote(1, 0) -> 0", window::kYellow, "connected"},
        {t.ui.Remote, "RxRemote(1, -1) -> 0", window::kGreen, "under remote control"},
        {t.ui.Disconnect, "RxConnect(1, 0) -> 0", window::kRed, "not connected"},
    };
    for (const Step& s : steps) {
        fake->clearCalls();
        fake->receivers[1].frqMax += 1; // each redraw must read afresh
        clickAt(*s.button);
        EXPECT_EQ(fake->calls, (QStringList{s.command} + statusReads(1, fake->receivers[1])))
            << s.command;
        EXPECT_EQ(window::backColor(*t.ui.ConnState), s.colour) << s.command;
        EXPECT_EQ(t.ui.ConnState->accessibleName(), s.words);
        EXPECT_EQ(listsEnabled(t.ui), s.colour == window::kGreen ? "11111" : "00000") << s.command;
        EXPECT_EQ(t.ui.FrqMax->text(), QString::number(fake->receivers[1].frqMax));
    }
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

// RxConnState with any err but 1000 paints red and touches nothing else.
// RxDataError redraws the whole panel whatever err holds: remote control (any
// value but 0) before the connection decides colour and lists, and every
// value is shown as read.
TEST(LinkEvents, ConnStateOtherThan1000PaintsRedOnlyDataErrorRedrawsWhateverErrHolds) {
    ShownWindow<> t(1, /*remote*/ -1, /*connected*/ -1);
    auto* fake = t.fake;
    auto& rx = fake->receivers[1];
    rx.romId = QStringLiteral("changed");
    for (int32_t err : {0, -1, 1, 999, 1001, -1000}) {
        emit fake->RxConnState(1, 1000); // back to green, with the current captions
        fake->clearCalls();
        QString expected = windowState(t.window);
        expected.replace(window::kGreen.name() + " under remote control",
                         window::kRed.name() + " not connected");
        emit fake->RxConnState(1, err);
        EXPECT_EQ(fake->calls, QStringList{}) << err;
        EXPECT_EQ(windowState(t.window), expected) << err; // the lists' state included
    }

    const struct {
        int32_t err, remote, connected;
        QColor colour;
    } cases[] = {{0, -1, 0, window::kGreen},
                 {-1, 1, 0, window::kGreen},
                 {1000, 0, -1, window::kYellow},
                 {123456, 0, 1, window::kYellow},
                 {7, 0, 0, window::kRed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        fake->clearCalls();
        std::tie(rx.remote, rx.connected, rx.frqMax) = std::tuple(c.remote, c.connected, c.err);
        rx.romId = QStringLiteral(" rom %1 ").arg(c.err);
        emit fake->RxDataError(1, c.err);
        EXPECT_EQ(fake->calls, statusReads(1, rx));
        EXPECT_EQ(t.ui.RomID->text(), rx.romId);
        EXPECT_EQ(t.ui.FrqMax->text(), QString::number(c.err));
        EXPECT_EQ(window::backColor(*t.ui.ConnState), c.colour);
        EXPECT_EQ(listsEnabled(t.ui), c.remote != 0 ? "11111" : "00000");
    }
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

// A receiver failing every millisecond, on the component: each data error
// redraws the panel and the redraw fails. Each error is shown at once, then
// its repeats are counted and shown as one line twice a second, on screen as
// on stderr, every one counted; the trace keeps every event.
TEST(LinkEvents, AFloodOfFailingDataErrorsIsReportedAFewLinesASecondEveryOneCounted) {
    QTemporaryDir traceDir;
    const QString tracePath = traceDir.filePath("trace.txt");
    Rig rig(tracePath);
    QJsonObject profile = smallProfile();
    profile["initial"] = QJsonObject{{"freq", 7000000}, {"mode", 1}, {"connected", true}};
    profile["faults"] = QJsonObject{{"dataErrorEveryMs", 1}, {"failOps", QJsonArray{"RxRomId"}}};
    const QString profilePath = rig.dir.filePath("corvane/flood.json");
    writeFile(profilePath, QJsonDocument(profile).toJson());
    rig.writeTable(QJsonArray{Rig::sim("Flood", profilePath)});
    CorvaneComponent* c = rig.component.get();
    window::MainWindow w(
        [&] { return std::unique_ptr<receiver::Component>(std::move(rig.component)); });
    w.ownReporter().setPacing({[&] { return rig.clock->nowMs(); },
                               [&](int64_t delay, std::function<void()> callback) {
                                   rig.clock->start(delay, std::move(callback));
                               }});
    StderrCapture err;
    w.load();
    w.show();
    QMessageBox* box = w.findChild<QMessageBox*>("Report");
    ASSERT_NE(box, nullptr); // the start-up's own failure
    const auto flood = [&](int ms) {
        int shown = 0; // times the report's text changed
        for (int i = 0; i < ms; ++i) {
            const QString before = box->text();
            rig.advance(1);
            QCoreApplication::sendPostedEvents(c, QEvent::MetaCall);
            shown += box->text() != before ? 1 : 0;
        }
        return shown;
    };
    const int shown = flood(2000);
    c->RxConnect(0, 0); // the flood ends; what it left is shown when its time is up
    const int shownAfter = flood(1000);

    int lines = 0;
    int64_t counted = 0;
    const QStringList said = err.text().split('\n', Qt::SkipEmptyParts);
    const QRegularExpression repeated(QStringLiteral(" \\(repeated (\\d+) times\\)$"));
    for (const QString& line : said) {
        if (!line.startsWith("Receiver_RxDataError: ")) {
            continue;
        }
        ++lines;
        const QRegularExpressionMatch m = repeated.match(line);
        counted += m.hasMatch() ? m.captured(1).toLongLong() : 1;
        EXPECT_TRUE(line.contains("receiver 0 does not answer")) << line.toStdString();
    }
    const qsizetype events = QString::fromUtf8(readAll(tracePath)).count("event RxDataError(0, ");
    EXPECT_GE(events, 1999);
    EXPECT_EQ(counted, events);
    // 2 s of flood: the first error and a line each 500 ms; then the last count.
    EXPECT_GE(lines, 4);
    EXPECT_LE(lines, 6);
    EXPECT_LE(shown, 5);
    // The last count, and the disconnection's own failing redraw.
    EXPECT_LE(shownAfter, 2);
    EXPECT_EQ(box->text(), said.value(said.size() - 1));
}

TEST(KeyForwarding, EveryTypedCharacterGoesToCurRxBeforeTheBoxAndStillArrivesEvenIfItFails) {
    ShownWindow<> t; // receiver 1 selected, nothing connected
    auto* fake = t.fake;
    EXPECT_TRUE(t.ui.Dialog->hasFocus()); // the first control of the tab order starts with it
    t.ui.Freq->setFocus();
    type(t.window, QStringLiteral("705"));
    press(t.window, Qt::Key_Return);
    press(t.window, Qt::Key_Backspace);
    press(t.window, Qt::Key_Escape);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, '7'), keyPress(1, '0'), keyPress(1, '5'),
                                        keyPress(1, 13), keyPress(1, 8), keyPress(1, 27)}));
    EXPECT_EQ(t.ui.Freq->text(), "70");

    // Keys that type no character are not forwarded and still do their work.
    fake->clearCalls();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home,
                        Qt::Key_F1, Qt::Key_F5, Qt::Key_F12}) {
        press(t.window, key);
    }
    EXPECT_EQ(fake->calls, QStringList{});
    EXPECT_EQ(t.ui.Freq->cursorPosition(), 0);

    // In DeltaF too, and for the receiver in CurRx after the selection moved.
    t.ui.Driver->setListIndex(2);
    t.ui.DeltaF->setFocus();
    fake->clearCalls();
    type(t.window, QStringLiteral("-3"));
    EXPECT_EQ(fake->calls, (QStringList{keyPress(2, '-'), keyPress(2, '3')}));
    EXPECT_EQ(t.reporter.reports, QStringList{});

    // A KeyPress that fails is reported, and the character is still typed.
    fake->failAt(1);
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
    clickAt(*t.ui.Coupling);
    EXPECT_FALSE(t.ui.Coupling->isChecked());
    EXPECT_EQ(fake->calls, (QStringList{"DrvForward <- 1", "DrvForward <- 0"}));

    // From the keyboard: the space is a typed character first, then the toggle.
    fake->clearCalls();
    t.ui.Coupling->setFocus();
    press(t.window, Qt::Key_Space);
    EXPECT_EQ(fake->calls, (QStringList{keyPress(1, ' '), "DrvForward <- 1"}));
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

TEST(Coupling, AComponentWithoutDrvForwardReportsEachClickAndTheWindowGoesOn) {
    ShownWindow<FakeComponent> t;
    const QString error = QStringLiteral(
        "Coupling_Click: Run-time error 438: Object doesn't support this property or method "
        "(DrvForward)");
    clickAt(*t.ui.Coupling);
    EXPECT_TRUE(t.ui.Coupling->isChecked());
    clickAt(*t.ui.Coupling);
    EXPECT_FALSE(t.ui.Coupling->isChecked());
    EXPECT_EQ(t.reporter.reports, (QStringList{error, error}));
    EXPECT_TRUE(t.fake->calls.isEmpty());

    clickAt(*t.ui.Connect);
    EXPECT_EQ(t.fake->calls, QStringList{"RxConnect(1, -1) -> 0"});
}

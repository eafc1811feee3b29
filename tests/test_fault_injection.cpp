// Every handler the toolkit or the component can start, run once per
// component call it makes with that call failing. The clean run decides how
// many calls there are, so a call added to a handler is covered without
// touching this test.
#include "tests/support/ShownWindow.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

// Receivers with several entries in each table, connected and under remote
// control: every handler has its whole work to do.
struct Rig : WindowRig<> {
    explicit Rig(bool load) : WindowRig<>(threeReceivers()) {
        for (FakeReceiver& r : fake->receivers) {
            r.modes = {{"USB", 1}, {"LSB", 2}, {"CW", 3}};
            r.filters = {{2400, "SSB"}, {1800, "Narrow"}, {500, "CW"}};
            r.agc = {{" Fast ", 1}, {"Slow", 2}};
            r.nb = {{"Off", 0}, {"NB1", 1}};
            r.att = {{"0dB", 0}, {"10dB", 10}};
            r.connected = r.remote = -1;
        }
        showActive();
        if (load) {
            window.load();
            EXPECT_TRUE(reporter.reports.isEmpty());
            fake->clearCalls();
        }
    }
    // What a failure may leave half done: the value labels (one text each)
    // and the setting lists.
    QList<QStringList> shown() const {
        QList<QStringList> parts;
        for (const QLabel* l : {ui.RomID, ui.FrqMax, ui.FrqMin, ui.Read, ui.BFO, ui.SMet}) {
            parts.append(QStringList{l->text()});
        }
        for (const controls::ListBox* l : {ui.Mode, ui.Filter, ui.Agc, ui.NB, ui.Att}) {
            parts.append(listTexts(*l));
        }
        return parts;
    }
};

struct Scenario {
    const char* handler; // the name the report must carry, and the case's
    std::function<void(Rig&)> action;
    const char* variant = ""; // tells two cases of one handler apart
};

void typeThenTab(Rig& r, controls::TextBox* box, const char* text) {
    box->setFocus();
    box->setText(QString::fromLatin1(text));
    press(r.window, Qt::Key_Tab);
}

const Scenario kScenarios[] = {
    {"Form_Load", [](Rig& r) { r.window.load(); }},
    {"Dialog_Click", [](Rig& r) { clickAt(*r.ui.Dialog); }},
    {"Dialog_Click", [](Rig& r) { clickAt(*r.ui.Dialog, QPoint(-1, -1), Qt::ShiftModifier); },
     "Shift"},
    {"Driver_Click", [](Rig& r) { pick(*r.ui.Driver, 1); }},
    {"Connect_Click", [](Rig& r) { clickAt(*r.ui.Connect); }},
    {"Disconnect_Click", [](Rig& r) { clickAt(*r.ui.Disconnect); }},
    {"Remote_Click", [](Rig& r) { clickAt(*r.ui.Remote); }},
    {"Local_Click", [](Rig& r) { clickAt(*r.ui.Local); }},
    {"Coupling_Click", [](Rig& r) { clickAt(*r.ui.Coupling); }},
    {"Form_KeyPress", [](Rig& r) { press(r.window, Qt::Key_7); }},
    {"Mode_Click", [](Rig& r) { pick(*r.ui.Mode, 2); }},
    {"Agc_Click", [](Rig& r) { pick(*r.ui.Agc, 1); }},
    {"NB_Click", [](Rig& r) { pick(*r.ui.NB, 1); }},
    {"Att_Click", [](Rig& r) { pick(*r.ui.Att, 1); }},
    {"Filter_Click", [](Rig& r) { pick(*r.ui.Filter, 2); }},
    {"Freq_Validate", [](Rig& r) { typeThenTab(r, r.ui.Freq, "7100000"); }},
    {"DeltaF_Validate", [](Rig& r) { typeThenTab(r, r.ui.DeltaF, "-50"); }},
    {"Receiver_DrvUpdated", [](Rig& r) { emit r.fake->DrvUpdated(3); }},
    {"Receiver_RxConnState", [](Rig& r) { emit r.fake->RxConnState(0, 1000); }},
    {"Receiver_RxDataError", [](Rig& r) { emit r.fake->RxDataError(0, 5); }},
    {"Receiver_RxFrqUpdated", [](Rig& r) { emit r.fake->RxFrqUpdated(0, 7060000, 0); }},
    {"Receiver_RxModUpdated", [](Rig& r) { emit r.fake->RxModUpdated(0, 2, 250); }},
    {"Receiver_RxFltUpdated", [](Rig& r) { emit r.fake->RxFltUpdated(0, 1800); }},
    {"Receiver_RxAgcUpdated", [](Rig& r) { emit r.fake->RxAgcUpdated(0, 2, 0); }},
    {"Receiver_RxNBlUpdated", [](Rig& r) { emit r.fake->RxNBlUpdated(0, 1, 0); }},
    {"Receiver_RxAttUpdated", [](Rig& r) { emit r.fake->RxAttUpdated(0, 10, 0); }},
};

class FaultInjection : public ::testing::TestWithParam<Scenario> {};

} // namespace

TEST_P(FaultInjection, HandlerStopsAtEachFailingCallReportsItAndTheWindowGoesOn) {
    const Scenario& s = GetParam();
    const bool loads = QLatin1String(s.handler) == QLatin1String("Form_Load");
    QStringList clean;
    QList<QStringList> cleanShown;
    {
        Rig rig(!loads);
        s.action(rig);
        ASSERT_EQ(rig.reporter.reports, QStringList{});
        clean = rig.fake->calls;
        cleanShown = rig.shown();
    }
    ASSERT_FALSE(clean.isEmpty());
    for (int n = 1; n <= clean.size(); ++n) {
        SCOPED_TRACE(n);
        Rig rig(!loads);
        const QList<QStringList> before = rig.shown();
        rig.fake->failAt(n);
        s.action(rig);

        // Exactly the calls up to the failing one, and none after it.
        QStringList expected = clean.mid(0, n);
        expected.last() = expected.last().section(" -> ", 0, 0) + " !! receiver does not answer";
        EXPECT_EQ(rig.fake->calls, expected);
        // One report, naming the handler the toolkit or the component started.
        EXPECT_EQ(rig.reporter.reports,
                  QStringList{QString::fromLatin1(s.handler) +
                              ": Run-time error 440: receiver does not answer"});
        // Each label and list was not reached, or shows the start of what the
        // clean run showed (a label: all of it).
        const QList<QStringList> shown = rig.shown();
        for (qsizetype i = 0; i < shown.size(); ++i) {
            EXPECT_TRUE(shown[i] == before[i] || shown[i] == cleanShown[i].mid(0, shown[i].size()))
                << i << ": " << shown[i].join('|').toStdString();
        }

        // The window still works: a following selection shows a receiver whole.
        rig.fake->failAt(0);
        rig.reporter.reports.clear();
        if (rig.window.isUnloaded()) {
            continue;
        }
        if (rig.ui.Driver->count() < 3) {
            emit rig.fake->DrvUpdated(3);
        }
        pick(*rig.ui.Driver, 2);
        EXPECT_EQ(rig.reporter.reports, QStringList{});
        EXPECT_EQ(rig.window.curRx(), 2);
        EXPECT_EQ(rig.ui.RomID->text(), "BC v1");
        EXPECT_EQ(rig.ui.Read->text(), "6070000");
        EXPECT_EQ(listTexts(*rig.ui.Mode), (QStringList{"USB", "LSB", "CW"}));
        EXPECT_EQ(rig.ui.Att->listIndex(), 0);
        EXPECT_EQ(window::backColor(*rig.ui.ConnState), window::kGreen);
    }
}

INSTANTIATE_TEST_SUITE_P(Window, FaultInjection, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) {
                             return std::string(info.param.handler) + info.param.variant;
                         });

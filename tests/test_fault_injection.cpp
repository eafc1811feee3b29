// Every handler the toolkit or the component can start, run once per
// component call it makes with that call failing. The clean run decides how
// many calls there are, so a call added to a handler is covered without
// touching this test.
#include "tests/support/Receivers.h"
#include "window/Test.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace corvane;
using testsupport::FakeFactory;
using testsupport::RecordingComponent;
using testsupport::RecordingReporter;

namespace {

testsupport::FakeReceiver richReceiver(const QString& name, int32_t frq) {
    testsupport::FakeReceiver r = testsupport::smallReceiver(name, frq);
    r.modes = {{"USB", 1}, {"LSB", 2}, {"CW", 3}};
    r.filters = {{2400, "SSB"}, {1800, "Narrow"}, {500, "CW"}};
    r.agc = {{" Fast ", 1}, {"Slow", 2}};
    r.nb = {{"Off", 0}, {"NB1", 1}};
    r.att = {{"0dB", 0}, {"10dB", 10}};
    r.connected = -1;
    r.remote = -1;
    return r;
}

struct Rig {
    FakeFactory<> factory;
    RecordingReporter reporter;
    window::Test window{factory.factory(), &reporter};
    RecordingComponent* fake = factory.fake;

    Rig() {
        fake->receivers = {richReceiver("HF", 7050000), richReceiver("VHF", 145500000),
                           richReceiver("BC", 6070000)};
        window.show();
    }
    void loadCleanly() {
        window.load();
        EXPECT_TRUE(reporter.reports.isEmpty());
        fake->clearCalls();
    }
    // The operator picks entry `row` of a list.
    static void pick(controls::ListBox* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
};

struct Scenario {
    const char* handler; // the name the report must carry
    bool loads;          // whether Form_Load is itself the action
    std::function<void(Rig&)> action;
};

std::vector<Scenario> scenarios() {
    using W = window::Test;
    auto typeThenTab = [](controls::TextBox* W::*box, const char* text) {
        return [=](Rig& r) {
            (r.window.*box)->setFocus();
            (r.window.*box)->setText(QString::fromLatin1(text));
            QTest::keyClick(r.window.*box, Qt::Key_Tab);
        };
    };
    return {
        {"Form_Load", true, [](Rig& r) { r.window.load(); }},
        {"Dialog_Click", false, [](Rig& r) { QTest::mouseClick(r.window.Dialog, Qt::LeftButton); }},
        {"Dialog_Click", false,
         [](Rig& r) { QTest::mouseClick(r.window.Dialog, Qt::LeftButton, Qt::ShiftModifier); }},
        {"Driver_Click", false, [](Rig& r) { Rig::pick(r.window.Driver, 1); }},
        {"Connect_Click", false, [](Rig& r) { QTest::mouseClick(r.window.Connect, Qt::LeftButton); }},
        {"Disconnect_Click", false,
         [](Rig& r) { QTest::mouseClick(r.window.Disconnect, Qt::LeftButton); }},
        {"Remote_Click", false, [](Rig& r) { QTest::mouseClick(r.window.Remote, Qt::LeftButton); }},
        {"Local_Click", false, [](Rig& r) { QTest::mouseClick(r.window.Local, Qt::LeftButton); }},
        {"Coupling_Click", false, [](Rig& r) { QTest::mouseClick(r.window.Coupling, Qt::LeftButton); }},
        {"Form_KeyPress", false,
         [](Rig& r) {
             r.window.Freq->setFocus();
             QTest::keyClick(r.window.Freq, Qt::Key_7);
         }},
        {"Mode_Click", false, [](Rig& r) { Rig::pick(r.window.Mode, 2); }},
        {"Agc_Click", false, [](Rig& r) { Rig::pick(r.window.Agc, 1); }},
        {"NB_Click", false, [](Rig& r) { Rig::pick(r.window.NB, 1); }},
        {"Att_Click", false, [](Rig& r) { Rig::pick(r.window.Att, 1); }},
        {"Filter_Click", false, [](Rig& r) { Rig::pick(r.window.Filter, 2); }},
        {"Freq_Validate", false, typeThenTab(&W::Freq, "7100000")},
        {"DeltaF_Validate", false, typeThenTab(&W::DeltaF, "-50")},
        {"Receiver_DrvUpdated", false, [](Rig& r) { emit r.fake->DrvUpdated(3); }},
        {"Receiver_RxConnState", false, [](Rig& r) { emit r.fake->RxConnState(0, 1000); }},
        {"Receiver_RxDataError", false, [](Rig& r) { emit r.fake->RxDataError(0, 5); }},
        {"Receiver_RxFrqUpdated", false, [](Rig& r) { emit r.fake->RxFrqUpdated(0, 7060000, 0); }},
        {"Receiver_RxModUpdated", false, [](Rig& r) { emit r.fake->RxModUpdated(0, 2, 250); }},
        {"Receiver_RxFltUpdated", false, [](Rig& r) { emit r.fake->RxFltUpdated(0, 1800); }},
        {"Receiver_RxAgcUpdated", false, [](Rig& r) { emit r.fake->RxAgcUpdated(0, 2, 0); }},
        {"Receiver_RxNBlUpdated", false, [](Rig& r) { emit r.fake->RxNBlUpdated(0, 1, 0); }},
        {"Receiver_RxAttUpdated", false, [](Rig& r) { emit r.fake->RxAttUpdated(0, 10, 0); }},
        {"Receiver_RxHFFUpdated", false, [](Rig& r) { emit r.fake->RxHFFUpdated(0, 1); }},
        {"Receiver_RxSMtUpdated", false,
         [](Rig& r) { emit r.fake->RxSMtUpdated(0, 7050000, 5, -20, "S7"); }},
    };
}

QStringList labelTexts(const window::Test& w) {
    QStringList texts;
    for (const QLabel* l : {w.RomID, w.FrqMax, w.FrqMin, w.Read, w.BFO, w.SMet}) {
        texts.append(l->text());
    }
    return texts;
}

QStringList items(const controls::ListBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts.append(list->listText(i));
    }
    return texts;
}

} // namespace

TEST(FaultInjection, EveryHandlerStopsAtEachFailingCallReportsItAndTheWindowGoesOn) {
    int cases = 0;
    for (const Scenario& s : scenarios()) {
        SCOPED_TRACE(s.handler);
        QStringList clean;
        QStringList cleanLabels;
        {
            Rig rig;
            if (!s.loads) {
                rig.loadCleanly();
            }
            s.action(rig);
            ASSERT_TRUE(rig.reporter.reports.isEmpty()) << rig.reporter.reports.join('\n').toStdString();
            clean = rig.fake->calls;
            cleanLabels = labelTexts(rig.window);
        }
        for (int n = 1; n <= clean.size(); ++n, ++cases) {
            SCOPED_TRACE(n);
            Rig rig;
            if (!s.loads) {
                rig.loadCleanly();
            }
            const QStringList labelsBefore = labelTexts(rig.window);
            const QStringList filterBefore = items(rig.window.Filter);
            rig.fake->failAt(n);
            s.action(rig);

            // Exactly the calls up to the failing one, and none after it.
            ASSERT_EQ(rig.fake->calls.size(), n) << rig.fake->calls.join('\n').toStdString();
            EXPECT_EQ(rig.fake->calls.mid(0, n - 1), clean.mid(0, n - 1));
            EXPECT_TRUE(rig.fake->calls.last().startsWith(clean.at(n - 1).section(" -> ", 0, 0)
                                                              .section(" <- ", 0, 0)));
            EXPECT_TRUE(rig.fake->calls.last().contains(" !! "));
            // One report, naming the handler the toolkit or the component started.
            ASSERT_EQ(rig.reporter.reports.size(), 1);
            EXPECT_TRUE(rig.reporter.reports.first().startsWith(QString::fromLatin1(s.handler) + ": "))
                << rig.reporter.reports.first().toStdString();
            // Labels either were not reached or show what the clean run showed.
            const QStringList labels = labelTexts(rig.window);
            for (int i = 0; i < labels.size(); ++i) {
                EXPECT_TRUE(labels[i] == labelsBefore[i] || labels[i] == cleanLabels[i])
                    << i << ": " << labels[i].toStdString();
            }
            // A list cut short holds a prefix of a whole build.
            const QStringList filter = items(rig.window.Filter);
            EXPECT_TRUE(filter == filterBefore || filter.size() <= 3);

            // The window still works: a following selection shows a receiver whole.
            rig.fake->failAt(0);
            rig.reporter.reports.clear();
            if (rig.window.isUnloaded()) {
                continue;
            }
            if (rig.window.Driver->count() < 3) {
                emit rig.fake->DrvUpdated(3);
            }
            Rig::pick(rig.window.Driver, 2);
            EXPECT_TRUE(rig.reporter.reports.isEmpty()) << rig.reporter.reports.join('\n').toStdString();
            EXPECT_EQ(rig.window.CurRx, 2);
            EXPECT_EQ(rig.window.RomID->text(), "BC v1");
            EXPECT_EQ(rig.window.Read->text(), "6070000");
            EXPECT_EQ(items(rig.window.Mode), (QStringList{"USB", "LSB", "CW"}));
            EXPECT_EQ(rig.window.Att->listIndex(), 0);
            EXPECT_EQ(window::backColor(*rig.window.ConnState), window::kGreen);
        }
    }
    // Every handler made at least one call except the two that show nothing.
    EXPECT_GT(cases, 200);
    std::printf("fault-injection cases: %d\n", cases);
}

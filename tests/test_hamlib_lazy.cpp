// Hamlib is loaded when a Hamlib receiver is first used, not at start-up.
// This executable does not link the Hamlib plugin, so whatever of Hamlib is
// in the process the component has loaded itself.
#include "tests/support/ComponentFixture.h"
#include "tests/support/Controls.h"
#include "tests/support/RecordingComponent.h"
#include "window/MainWindow.h"

#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

namespace corvane::testsupport {
namespace {

// How many files named like `lib` are mapped into this process; "hamlib.so"
// stands for Hamlib and the plugin together.
qsizetype mapped(const char* lib) {
    QSet<QByteArray> paths;
    for (const QByteArray& line : readAll("/proc/self/maps").split('\n')) {
        if (line.contains(lib)) {
            paths.insert(line.mid(line.indexOf('/')));
        }
    }
    return paths.size();
}

// The program's window on the real component with its default driver table,
// simulated receivers on a clock the test drives.
struct Program {
    receiver::Component& c() { return window.receiver(); }

    Rig rig;
    RecordingReporter reporter;
    window::MainWindow window{[this] { return std::move(rig.component); }, &reporter};
    Controls ui{window};
};

// The one test of this executable: it needs a process that has not loaded
// Hamlib yet.
TEST(HamlibLazy, TheDefaultTableLoadsHamlibOnlyWhenItsDummyIsUsed) {
    ASSERT_EQ(mapped("hamlib.so"), 0);
    Program p;
    p.window.load();
    ASSERT_EQ(p.ui.Driver->count(), 4);
    EXPECT_EQ(p.ui.RomID->text(), QStringLiteral("HF150 v2"));
    EXPECT_EQ(mapped("hamlib.so"), 0) << "after start-up";

    // Simulated receivers, coupled: forwarding looks at every receiver's link,
    // the Dummy's included, without making it.
    p.ui.Coupling->click();
    p.c().RxConnect(0, -1);
    p.c().RxConnect(2, -1);
    p.rig.advance(1000);
    ASSERT_EQ(p.c().RxRemote(0, -1), 0);
    ASSERT_EQ(p.c().RxRemote(2, -1), 0);
    p.c().setRxFrq(0, 0, 7100000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.c().RxFrq(2, 0) == 7100000; }, 2000));
    EXPECT_EQ(mapped("hamlib.so"), 0) << "after using simulated receivers";

    // Picking the Dummy asks it for its identity, limits and settings.
    p.ui.Driver->setListIndex(3);
    ASSERT_EQ(p.window.curRx(), 3);
    EXPECT_EQ(mapped("/libcorvane_hamlib.so"), 1);
    EXPECT_EQ(mapped("/libhamlib.so"), 1);

    p.ui.Connect->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ui.RomID->text() == "Nothing much (dummy)"; }, 5000))
        << p.ui.RomID->text().toStdString();
    EXPECT_EQ(p.c().RxConnected(3), -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.c().RxFrq(3, 0) == 145000000; }, 5000));
    EXPECT_EQ(p.c().RxModName(3, p.c().RxMod(3)), QStringLiteral("FM"));
    EXPECT_EQ(p.reporter.reports, QStringList());
    p.c().RxConnect(3, 0);
}

} // namespace
} // namespace corvane::testsupport

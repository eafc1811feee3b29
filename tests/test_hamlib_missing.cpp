// Without the Hamlib plugin the program goes on: Hamlib receivers refuse
// every operation with the loader's reason, the driver dialog says the same,
// and simulated receivers are unaffected. This executable does not link the
// plugin, and its one test points the component at a folder without it
// before anything loads it.
#include "tests/support/ComponentFixture.h"

#include "component/hamlib/HamlibPluginLoader.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace corvane::testsupport {
namespace {

TEST(HamlibMissing, HamlibReceiversRefuseWithTheReasonAndTheRestGoesOn) {
    QTemporaryDir empty;
    qputenv("CORVANE_PLUGIN_DIR", QFile::encodeName(empty.path()));
    const QString plugin = QDir(empty.path()).filePath(QStringLiteral("libcorvane_hamlib.so"));
    ASSERT_EQ(hamlibPluginCandidates(), QStringList{plugin});

    Rig rig;
    rig.writeTable(QJsonArray{Rig::sim("HF", "builtin:hf"),
                              QJsonObject{{"name", "Dummy"}, {"kind", "hamlib"}, {"model", 1}},
                              QJsonObject{{"name", "Net"}, {"kind", "rigctld"}}});
    auto& c = *rig.component;
    ASSERT_EQ(c.DrvSetup(QStringLiteral("Test"), 0), 0);

    const QString why = QStringLiteral("receiver 1 is not available: Hamlib support is not "
                                       "available: %1: cannot open shared object file: No such "
                                       "file or directory")
                            .arg(plugin);
    EXPECT_EQ(failure([&] { c.RxRomId(1); }), why);
    EXPECT_EQ(failure([&] { c.RxConnect(1, -1); }), why);
    EXPECT_EQ(failure([&] { c.setRxFrq(1, 0, 7000000); }), why);
    EXPECT_TRUE(
        failure([&] { c.RxFrqMax(2); }).startsWith("receiver 2 is not available: Hamlib support"));

    EXPECT_EQ(c.RxRomId(0), QStringLiteral("HF150 v2"));
    EXPECT_EQ(c.RxConnect(0, -1), 0);
    EXPECT_EQ(c.RxFrqMax(0), 30000000);

    // The dialog's Hamlib part says why it has no models and cannot test.
    DriverDialog d({{}, {QJsonObject{{"name", "Dummy"}, {"kind", "hamlib"}, {"model", 1}}}},
                   {"sim", "hamlib", "rigctld"}, {}, {}, false);
    auto* models = d.findChild<QListWidget*>(QStringLiteral("hamlibModels"));
    ASSERT_NE(models, nullptr);
    const QString reason = why.mid(QStringLiteral("receiver 1 is not available: ").size());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return models->count() == 1 && models->item(0)->text() == reason; }, 2000))
        << models->item(0)->text().toStdString();
    EXPECT_FALSE(models->isEnabled());
    d.findChild<QPushButton*>(QStringLiteral("hamlibTest"))->click();
    EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("hamlibResult"))->text(), reason);

    EXPECT_FALSE(readAll("/proc/self/maps").contains("/libhamlib.so"));
}

// An installed program looks only beside itself; the build's own plugin is
// for programs of the build, so a look-alike folder elsewhere is never tried.
TEST(HamlibMissing, OnlyProgramsOfThisBuildLookInTheBuildTree) {
    const QString name = QStringLiteral("/libcorvane_hamlib.so");
    const QStringList here = hamlibPluginCandidates(QCoreApplication::applicationDirPath(), {});
    ASSERT_EQ(here.size(), 2);
    EXPECT_TRUE(QFile::exists(here.at(1))) << here.at(1).toStdString();
    const QString buildRoot = QFileInfo(QFileInfo(here.at(1)).path()).path();
    EXPECT_TRUE(QCoreApplication::applicationDirPath().startsWith(buildRoot + QLatin1Char('/')));

    const QStringList installed = hamlibPluginCandidates(QStringLiteral("/usr/bin"), {});
    ASSERT_EQ(installed.size(), 1);
    EXPECT_TRUE(installed.at(0).startsWith(QStringLiteral("/usr/")));
    EXPECT_TRUE(installed.at(0).endsWith(QStringLiteral("/corvane-test") + name));
    EXPECT_EQ(hamlibPluginCandidates(buildRoot + QStringLiteral("-copy/app"), {}).size(), 1);
    EXPECT_EQ(hamlibPluginCandidates(buildRoot + QStringLiteral("/app"), QStringLiteral("/x")),
              QStringList{QStringLiteral("/x") + name});
}

} // namespace
} // namespace corvane::testsupport

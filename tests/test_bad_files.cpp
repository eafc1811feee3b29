// Driver tables and receiver profiles that cannot be used: each is reported
// with its path and what is wrong, the component goes on with what it can, and
// the file itself is never changed by reading it.
#include "test_component_fixture.h"

#include "component/store/JsonText.h"
#include "receiver/RuntimeError.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::component;
using namespace corvane::component::testing;
using corvane::receiver::RuntimeError;

namespace {

// What a refused receiver says when it is used.
QString refusal(CorvaneComponent& c, int16_t index) {
    try {
        c.RxRomId(index);
    } catch (const RuntimeError& e) {
        return e.description();
    }
    return QStringLiteral("(answered)");
}

// The whole life of a broken table file: defaults, a message naming the file
// and the fault, untouched through a cancelled dialog, kept beside on save.
void expectRefusedTable(const QByteArray& bytes, const QString& fault) {
    SCOPED_TRACE(fault.toStdString());
    Rig rig;
    rig.writeFile(rig.storeFile(), bytes);
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.DrvCount(), 4);
    EXPECT_EQ(c.DrvName(0), "HF");
    EXPECT_TRUE(c.storeProblem().contains(rig.storeFile())) << c.storeProblem().toStdString();
    EXPECT_TRUE(c.storeProblem().contains(fault)) << c.storeProblem().toStdString();

    rig.onDialog = [](DriverDialog&) { return int(QDialog::Rejected); };
    c.DrvSetup("Test", 1);
    EXPECT_EQ(readAll(rig.storeFile()), bytes);
    EXPECT_TRUE(rig.brokenCopies().isEmpty());

    rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
    c.DrvSetup("Test", 1);
    const QStringList kept = rig.brokenCopies();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readAll(rig.dir.filePath("corvane/" + kept[0])), bytes);
    DriverStore again(rig.storeFile());
    EXPECT_TRUE(again.load().problem.isEmpty());
}

} // namespace

TEST(BadFiles, DriverTablesOfEveryOtherShapeAreRefusedAndKept) {
    expectRefusedTable("   \n\t\n", "the file is empty");
    expectRefusedTable("[{\"name\": \"A\", \"kind\": \"sim\"}]", "the top level is not an object");
    expectRefusedTable("{\"receivers\": []}", "\"drivers\" is missing");
    expectRefusedTable("{\"drivers\": [\"HF\"]}", "drivers[0]: expected an object");
    expectRefusedTable("{\"drivers\": [{\"name\": \"A\"}]}", "drivers[0].kind: expected a text");
    expectRefusedTable("{\"drivers\": [{\"name\": \"A\", \"kind\": \"sim\", \"profile\": 3}]}",
                       "drivers[0].profile: expected a text");
    expectRefusedTable(QByteArray("{\"drivers\": [{\"name\": \"A\0B\"", 24), "not valid JSON");
    expectRefusedTable("\xff\xfe{\x00}", "not valid JSON");
    expectRefusedTable(QByteArray(maxJsonBytes + 1, '\n'), "more than the");
}

TEST(BadFiles, DriverTableThatIsAFolderIsReportedAndNotReplaced) {
    Rig rig;
    ASSERT_TRUE(QDir().mkpath(rig.storeFile()));
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.DrvCount(), 4);
    EXPECT_TRUE(c.storeProblem().contains(rig.storeFile()));
    EXPECT_TRUE(c.storeProblem().contains("is a directory")) << c.storeProblem().toStdString();

    // Saving cannot keep a folder aside: it fails, naming it, and the folder stays.
    rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
    try {
        c.DrvSetup("Test", 1);
        ADD_FAILURE() << "saving over a folder should fail";
    } catch (const RuntimeError& e) {
        EXPECT_TRUE(e.description().contains(rig.storeFile())) << e.description().toStdString();
    }
    EXPECT_TRUE(QFileInfo(rig.storeFile()).isDir());
    EXPECT_EQ(c.DrvCount(), 4);
}

TEST(BadFiles, UnreadableDriverTableIsReportedAndKept) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its permissions";
    }
    Rig rig;
    const QByteArray bytes = "{\"drivers\": []}";
    rig.writeFile(rig.storeFile(), bytes);
    ASSERT_EQ(chmod(QFile::encodeName(rig.storeFile()).constData(), 0), 0);
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.DrvCount(), 4);
    EXPECT_TRUE(c.storeProblem().contains(rig.storeFile()));
    EXPECT_TRUE(c.storeProblem().contains("cannot be read")) << c.storeProblem().toStdString();
    chmod(QFile::encodeName(rig.storeFile()).constData(), S_IRUSR | S_IWUSR);
    EXPECT_EQ(readAll(rig.storeFile()), bytes);
}

TEST(BadFiles, BrokenProfileDisablesOnlyItsReceiverAndIsLeftAsItIs) {
    const QByteArray good = QJsonDocument(smallProfile()).toJson();
    QJsonObject wrongType = smallProfile();
    wrongType["modes"] = QJsonObject{};
    const QList<QPair<QByteArray, QString>> cases{
        {"", "not valid JSON"},
        {good.left(good.size() / 2), "not valid JSON"},
        {"romId: X\nfrqMin: 1\n", "not valid JSON at line 1"},
        {QJsonDocument(wrongType).toJson(), "modes: expected an array"},
        {QByteArray(maxJsonBytes + 1, ' '), "more than the"},
    };
    for (const auto& [bytes, fault] : cases) {
        SCOPED_TRACE(fault.toStdString());
        Rig rig;
        const QString path = rig.dir.filePath("corvane/bad.profile.json");
        rig.writeFile(path, bytes);
        rig.writeTable(QJsonArray{Rig::sim("Good", "builtin:hf"), Rig::sim("Bad", path)});
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        ASSERT_EQ(c.DrvCount(), 2);
        EXPECT_EQ(c.DrvName(1), "Bad");
        const QString why = refusal(c, 1);
        EXPECT_TRUE(why.contains(path)) << why.toStdString();
        EXPECT_TRUE(why.contains(fault)) << why.toStdString();
        EXPECT_FALSE(c.RxRomId(0).isEmpty());

        // Saving the table does not touch the profile.
        rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
        c.DrvSetup("Test", 1);
        EXPECT_EQ(readAll(path), bytes);
    }
}

TEST(BadFiles, ProfileThatIsAFolderIsNamedInTheRefusal) {
    Rig rig;
    const QString folder = rig.dir.filePath("corvane/folder.json");
    ASSERT_TRUE(QDir().mkpath(folder));
    rig.writeTable(QJsonArray{Rig::sim("Folder", folder)});
    rig.component->DrvSetup("Test", 0);
    const QString why = refusal(*rig.component, 0);
    EXPECT_TRUE(why.contains(folder) && why.contains("is a directory")) << why.toStdString();
}

TEST(BadFiles, UnreadableProfileIsNamedInTheRefusal) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its permissions";
    }
    Rig locked;
    const QString path = locked.writeProfile("locked", smallProfile());
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0), 0);
    locked.writeTable(QJsonArray{Rig::sim("Locked", path)});
    locked.component->DrvSetup("Test", 0);
    const QString lockedWhy = refusal(*locked.component, 0);
    EXPECT_TRUE(lockedWhy.contains(path) && lockedWhy.contains("cannot be read"))
        << lockedWhy.toStdString();
}

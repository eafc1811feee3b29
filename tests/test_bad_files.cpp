// Driver tables and receiver profiles that cannot be used: each is reported
// with its path and what is wrong, the component goes on with what it can, and
// the file itself is never changed by reading it.
#include "tests/support/ComponentFixture.h"
#include "tests/support/FileFaults.h"

#include "component/core/BackendRegistry.h"
#include "component/store/JsonText.h"
#include "receiver/RuntimeError.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::component;
using namespace corvane::testsupport;
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

} // namespace

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
    // What the reader refuses is ProfileError's table; here only that a
    // refusal, before reading (too large) or after (cut short), stays local.
    const QByteArray good = QJsonDocument(smallProfile()).toJson();
    const QList<QPair<QByteArray, QString>> cases{
        {good.left(good.size() / 2), "not valid JSON"},
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

// A FIFO where the driver table, a profile or the trace should be: refused at
// once with the usual message, instead of waiting for a writer or a reader
// that never comes, before the window appears.
TEST(BadFiles, FifosInPlaceOfFilesAreRefusedWithoutBlocking) {
    enum class Where { Table, Profile, Trace };
    for (const Where where : {Where::Table, Where::Profile, Where::Trace}) {
        SCOPED_TRACE(static_cast<int>(where));
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo");
        Rig rig(where == Where::Trace ? fifo : QString());
        if (where == Where::Profile) {
            rig.writeTable(QJsonArray{Rig::sim("Good", "builtin:hf"), Rig::sim("Fifo", fifo)});
        }
        QDir().mkpath(rig.dir.filePath("corvane"));
        FifoTrap trap(where == Where::Table ? rig.storeFile() : fifo);
        StderrCapture err;
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        c.DrvCount();
        trap.done();
        EXPECT_FALSE(trap.blocked()) << "blocked on the FIFO";
        const QString said = where == Where::Table     ? c.storeProblem()
                             : where == Where::Profile ? refusal(c, 1)
                                                       : err.text();
        const QString path = where == Where::Table ? rig.storeFile() : fifo;
        EXPECT_TRUE(said.contains(path) && said.contains("not a regular file"))
            << said.toStdString();
        EXPECT_EQ(c.DrvCount(), where == Where::Profile ? 2 : 4);
    }
}

// The trace never writes into the driver table or a profile in use, and a
// trace that cannot be written says so once.
TEST(BadFiles, TheTraceNeverTakesAFileInUseAndSaysOnceWhenItCannotWrite) {
    enum class Target { Table, Profile, Full };
    for (const Target target : {Target::Table, Target::Profile, Target::Full}) {
        SCOPED_TRACE(static_cast<int>(target));
        Rig rig;
        const QString profile = rig.writeProfile("p", smallProfile());
        rig.writeTable(QJsonArray{Rig::sim("P", profile)});
        const QByteArray table = readAll(rig.storeFile());
        const QByteArray profileBytes = readAll(profile);
        const QString named = target == Target::Table     ? rig.storeFile()
                              : target == Target::Profile ? profile
                                                          : QStringLiteral("/dev/full");
        CorvaneComponent::Options o;
        o.configHome = rig.dir.path();
        o.tracePath = named;
        StderrCapture err;
        CorvaneComponent c(std::move(o));
        c.DrvSetup("Test", 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(c.DrvCount(), 1);
            EXPECT_EQ(c.RxRomId(0), "Test RX 1");
        }
        EXPECT_EQ(readAll(rig.storeFile()), table);
        EXPECT_EQ(readAll(profile), profileBytes);
        const QString said = err.text();
        EXPECT_EQ(said.count("corvane:"), 1) << said.toStdString();
        EXPECT_TRUE(said.contains(named)) << said.toStdString();
        EXPECT_TRUE(said.contains(target == Target::Full ? "No space left" : "in use"))
            << said.toStdString();
    }
}

// An error that is not the component's own (out of memory while the table is
// turned into receivers) still ends the call that met it, and the trace says
// so: it is what ends the program's start-up.
TEST(BadFiles, AnExceptionThatEndsACallIsTraced) {
    Rig rig;
    rig.writeTable(QJsonArray{QJsonObject{{"name", "B"}, {"kind", "boom"}}});
    const QString trace = rig.dir.filePath("trace.txt");
    CorvaneComponent::Options o;
    o.configHome = rig.dir.path();
    o.tracePath = trace;
    o.registry = BackendRegistry::withBuiltins();
    o.registry->add("boom", [](const BackendContext&) -> std::unique_ptr<ReceiverBackend> {
        throw std::bad_alloc();
    });
    CorvaneComponent c(std::move(o));
    EXPECT_THROW(c.DrvSetup("Test", 0), std::bad_alloc);
    EXPECT_EQ(readAll(trace), "call DrvSetup(\"Test\", 0) !! std::bad_alloc\n");
}

namespace {

// Resident memory of this process in KiB.
long residentKiB() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

} // namespace

// What the program holds is bounded by its files, not by how many drivers
// name them: 3000 drivers sharing one profile of almost 1 MiB read it once,
// and a ROM id or a list beyond what the window can show is refused.
TEST(BadFiles, ManyDriversSharingALargeProfileReadItOnce) {
    constexpr int drivers = 3000;
    QJsonObject hugeRomId = smallProfile();
    hugeRomId["romId"] = QString(1000000, u'X');
    QJsonObject manyFilters = smallProfile(); // 250 modes of 64 filters
    QJsonArray modes;
    for (int m = 0; m < 250; ++m) {
        QJsonArray filters;
        for (int f = 0; f < 64; ++f) {
            filters.append(QJsonObject{{"width", 100 + f}, {"name", QString("F%1").arg(f)}});
        }
        modes.append(
            QJsonObject{{"name", QString("M%1").arg(m)}, {"code", m}, {"filters", filters}});
    }
    manyFilters["modes"] = modes;
    QJsonObject tooMany = smallProfile();
    QJsonArray plainModes;
    for (int m = 0; m < 300; ++m) {
        plainModes.append(QJsonObject{{"name", QString("M%1").arg(m)}, {"code", m}});
    }
    tooMany["modes"] = plainModes;
    const struct {
        QJsonObject profile;
        QString refused; // empty: every driver works
    } cases[] = {
        {manyFilters, {}},
        {hugeRomId, "romId: 1000000 characters, more than the 128 allowed"},
        {tooMany, "modes: 300 entries, more than the 256 allowed"},
    };
    for (const auto& [profile, refused] : cases) {
        SCOPED_TRACE(refused.toStdString());
        Rig rig;
        const QString path = rig.dir.filePath("corvane/big.json");
        rig.writeFile(path, QJsonDocument(profile).toJson(QJsonDocument::Compact));
        ASSERT_LT(QFileInfo(path).size(), maxJsonBytes);
        QJsonArray table;
        for (int i = 0; i < drivers; ++i) {
            table.append(Rig::sim(QString("D%1").arg(i), path));
        }
        rig.writeTable(table);
        const long before = residentKiB();
        QElapsedTimer t;
        t.start();
        {
            StderrCapture quiet; // one line per refused driver
            rig.component->DrvSetup("Test", 0);
        }
        const qint64 ms = t.elapsed();
        const long grownMiB = (residentKiB() - before) / 1024;
        std::cout << drivers << " drivers on a " << QFileInfo(path).size()
                  << "-byte profile: " << ms << " ms, " << grownMiB << " MiB more resident\n";
        auto& c = *rig.component;
        ASSERT_EQ(c.DrvCount(), drivers);
        if (refused.isEmpty()) {
            EXPECT_EQ(c.RxModCount(drivers - 1), 250);
        } else {
            EXPECT_TRUE(refusal(c, drivers - 1).contains(refused))
                << refusal(c, drivers - 1).toStdString();
        }
        EXPECT_LT(grownMiB, 200);
        EXPECT_LT(ms, 20000);
    }
}

// Profiles in use together are bounded as well: the seventeenth distinct file
// of almost 1 MiB is refused, saying why.
TEST(BadFiles, DistinctLargeProfilesAreBoundedTogether) {
    Rig rig;
    const QByteArray padded = QJsonDocument(smallProfile()).toJson() + QByteArray(1000000, ' ');
    QJsonArray table;
    for (int i = 0; i < 17; ++i) {
        const QString path = rig.dir.filePath(QString("corvane/p%1.json").arg(i));
        rig.writeFile(path, padded);
        table.append(Rig::sim(QString("P%1").arg(i), path));
    }
    rig.writeTable(table);
    StderrCapture quiet;
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.RxRomId(15), "Test RX 1");
    const QString why = refusal(c, 16);
    EXPECT_TRUE(why.contains("p16.json") && why.contains("the profiles in use"))
        << why.toStdString();
}

// A driver table that is a symbolic link is read through it and saved
// through it, so it stays a link: to a file, to a file not there yet (made by
// the save), and links that loop (reported, kept aside on save).
TEST(BadFiles, ADriverTableThatIsASymbolicLinkStaysOne) {
    enum class Link { ToFile, Dangling, Loop };
    for (const Link link : {Link::ToFile, Link::Dangling, Link::Loop}) {
        SCOPED_TRACE(static_cast<int>(link));
        Rig rig;
        QDir().mkpath(rig.dir.filePath("corvane"));
        const QString target = link == Link::Loop ? rig.dir.filePath("corvane/other.json")
                                                  : rig.dir.filePath("elsewhere/sub/table.json");
        if (link == Link::ToFile) {
            rig.writeFile(
                target, R"({"drivers": [{"name": "A", "kind": "sim", "profile": "builtin:hf"}]})");
        }
        ASSERT_TRUE(QFile::link(target, rig.storeFile()));
        if (link == Link::Loop) {
            ASSERT_TRUE(QFile::link(rig.storeFile(), target));
        }
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        EXPECT_EQ(c.DrvCount(), link == Link::ToFile ? 1 : 4);
        EXPECT_EQ(c.storeProblem().contains("symbolic link that loops"), link == Link::Loop)
            << c.storeProblem().toStdString();

        rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
        c.DrvSetup("Test", 1);
        const QJsonArray saved =
            QJsonDocument::fromJson(readAll(rig.storeFile())).object().value("drivers").toArray();
        EXPECT_EQ(saved.size(), c.DrvCount());
        if (link == Link::Loop) {
            // The links are kept as they were, beside the new file.
            EXPECT_FALSE(QFileInfo(rig.storeFile()).isSymLink());
            ASSERT_EQ(rig.brokenCopies().size(), 1);
            EXPECT_EQ(
                QFileInfo(rig.dir.filePath("corvane/" + rig.brokenCopies()[0])).symLinkTarget(),
                target);
        } else {
            EXPECT_TRUE(QFileInfo(rig.storeFile()).isSymLink());
            EXPECT_EQ(readAll(target), readAll(rig.storeFile()));
        }
    }
}

// Lines on stderr say what is wrong and where, once: an empty driver table
// (the program then ends), an entry refused for what it says itself, a Hamlib
// plugin that gives nothing.
TEST(BadFiles, MessagesNameTheFileOrDriverOnceAndGiveAReason) {
    qputenv("CORVANE_PLUGIN_DIR", CORVANE_NULL_PLUGIN_DIR);
    const struct {
        QByteArray table;
        QStringList said; // each once, in the line on stderr
    } cases[] = {
        {R"({"drivers": []})", {"lists no drivers"}},
        {R"({"drivers": [{"name": "H", "kind": "hamlib", "model": -3}]})", {"driver \"H\": "}},
        {R"({"drivers": [{"name": "N", "kind": "hamlib", "model": 1}]})",
         {"driver \"N\": ", "corvane_hamlib_support_v1() gave no Hamlib support"}},
    };
    for (const auto& [table, said] : cases) {
        SCOPED_TRACE(table.toStdString());
        Rig rig;
        rig.writeFile(rig.storeFile(), table);
        StderrCapture err;
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        if (c.DrvCount() > 0) {
            const QString why = refusal(c, 0);
            EXPECT_TRUE(why.startsWith("receiver 0 is not available: ") &&
                        why.size() > int(strlen("receiver 0 is not available: ")) + 10)
                << why.toStdString();
        }
        const QString text = err.text();
        EXPECT_EQ(text.count('\n'), 1) << text.toStdString();
        for (const QString& part : said) {
            EXPECT_EQ(text.count(part), 1) << text.toStdString();
        }
        if (c.DrvCount() == 0) {
            EXPECT_TRUE(text.contains(rig.storeFile())) << text.toStdString();
        }
    }
    qunsetenv("CORVANE_PLUGIN_DIR");
}

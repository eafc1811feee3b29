// Driver tables, receiver profiles and traces that cannot be used: each is
// reported with its path and what is wrong, the component goes on with what it
// can, and the file itself is never changed by reading it.
#include "tests/support/ComponentFixture.h"
#include "tests/support/FileFaults.h"

#include "component/core/BackendRegistry.h"
#include "component/hamlib/HamlibPluginLoader.h"
#include "component/json/JsonText.h"

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::testsupport;

namespace {

long residentKiB() {
    const QByteArray status = readAll("/proc/self/status");
    const qsizetype at = status.indexOf("VmRSS:");
    return at < 0 ? -1 : status.mid(at + 6).trimmed().split(' ').front().toLong();
}

enum class In { Table, Profile, Trace };
enum class Fault { Folder, Unreadable, Fifo, Missing, TooLarge };

struct FileFault {
    const char* name;
    In in;
    Fault fault;
    QString said; // besides the path, in the message
};

class BadFile : public ::testing::TestWithParam<FileFault> {};

} // namespace

// Refused at once (a FIFO is never waited on, before the window appears), with
// a message naming the file and the fault; the component goes on without it,
// and the file is left as it was, also when the table is saved: a table that
// cannot be kept aside is not saved over, and the save says why.
TEST_P(BadFile, IsRefusedNamingItAndLeftAsItIs) {
    const auto& [name, in, fault, said] = GetParam();
    if (fault == Fault::Unreadable && geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its permissions";
    }
    QTemporaryDir aside;
    Rig rig(in == In::Trace ? aside.filePath("bad.json") : QString());
    const QString at = in == In::Table ? rig.storeFile() : aside.filePath("bad.json");
    if (in == In::Profile) {
        rig.writeTable(QJsonArray{Rig::sim("Good", "builtin:hf"), Rig::sim("Bad", at)});
    }
    QDir().mkpath(rig.dir.filePath("corvane"));
    const QByteArray bytes = fault == Fault::Unreadable ? QJsonDocument(smallProfile()).toJson()
                             : fault == Fault::TooLarge ? QByteArray(maxJsonBytes + 1, ' ')
                                                        : QByteArray();
    std::optional<FifoTrap> trap;
    if (fault == Fault::Fifo) {
        trap.emplace(at);
    } else if (fault == Fault::Folder) {
        ASSERT_TRUE(QDir().mkpath(at));
    } else if (!bytes.isEmpty()) {
        writeFile(at, bytes);
    }
    if (fault == Fault::Unreadable) {
        ASSERT_EQ(chmod(QFile::encodeName(at).constData(), 0), 0);
    }
    StderrCapture err;
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    c.DrvCount();
    const QString why = in == In::Table     ? c.storeProblem()
                        : in == In::Profile ? failure([&] { c.RxRomId(1); })
                                            : err.text();
    EXPECT_TRUE(why.contains(at) && why.contains(said)) << why.toStdString();
    EXPECT_EQ(c.DrvCount(), in == In::Profile ? 2 : 4);
    EXPECT_FALSE(c.RxRomId(0).isEmpty());

    rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
    const QString saveSaid = failure([&] { c.DrvSetup("Test", 1); });
    const bool cannotKeep =
        in == In::Table && (fault == Fault::Folder || fault == Fault::Unreadable);
    EXPECT_EQ(saveSaid.contains(at), cannotKeep) << saveSaid.toStdString();
    chmod(QFile::encodeName(at).constData(), S_IRUSR | S_IWUSR);
    if (!bytes.isEmpty()) {
        EXPECT_EQ(readAll(at), bytes);
    }
    EXPECT_EQ(QFileInfo(at).isDir(), fault == Fault::Folder);
    EXPECT_FALSE(trap && trap->blocked()) << "blocked on the FIFO";
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, BadFile,
    ::testing::Values(FileFault{"TableIsAFolder", In::Table, Fault::Folder, "is a directory"},
                      FileFault{"TableUnreadable", In::Table, Fault::Unreadable, "cannot be read"},
                      FileFault{"TableIsAFifo", In::Table, Fault::Fifo, "not a regular file"},
                      FileFault{"ProfileIsAFolder", In::Profile, Fault::Folder, "is a directory"},
                      FileFault{"ProfileUnreadable", In::Profile, Fault::Unreadable,
                                "cannot be read"},
                      FileFault{"ProfileIsAFifo", In::Profile, Fault::Fifo, "not a regular file"},
                      FileFault{"ProfileMissing", In::Profile, Fault::Missing, "no such file"},
                      FileFault{"ProfileTooLarge", In::Profile, Fault::TooLarge, "more than the"},
                      FileFault{"TraceIsAFifo", In::Trace, Fault::Fifo, "not a regular file"}),
    [](const ::testing::TestParamInfo<FileFault>& info) { return std::string(info.param.name); });

namespace {

// A pseudo-terminal: its line's name and the other end, which reads what is
// written to the line.
struct Pty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QString line;
    Pty() {
        ::grantpt(master);
        ::unlockpt(master);
        line = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty() { ::close(master); }
    QByteArray received() const {
        QByteArray all;
        char buf[4096];
        ssize_t n = 0;
        while ((n = ::read(master, buf, sizeof buf)) > 0) {
            all.append(buf, n);
        }
        return all;
    }
};

} // namespace

// The trace never writes into the driver table, a profile in use or a
// receiver's port, under whatever name it reaches them, nor into a device but
// the program's own terminal and the null sinks; it says once which use it
// met, and a trace that cannot be written says so once.
TEST(BadFiles, TheTraceNeverTakesAFileInUseAndSaysOnceWhenItCannotWrite) {
    enum class Name { Same, SymLink, HardLink, DotDot };
    struct Case {
        const char* what;
        QString file; // under the rig's folder; "" for the port
        Name name;
        QString said;
    };
    const Pty port;
    const QString table = "corvane/Test.json", profile = "corvane/p.json";
    const Case cases[] = {
        {"table", table, Name::Same, "it is the driver table"},
        {"table by link", table, Name::SymLink, "it is the driver table"},
        {"table by hard link", table, Name::HardLink, "it is the driver table"},
        {"table by ..", table, Name::DotDot, "it is the driver table"},
        {"profile", profile, Name::Same, "it is a receiver's profile in use"},
        {"profile by link", profile, Name::SymLink, "it is a receiver's profile in use"},
        {"profile by ..", profile, Name::DotDot, "it is a receiver's profile in use"},
        {"port", "", Name::Same, "it is the serial port of driver \"R\""},
        {"port by link", "", Name::SymLink, "it is the serial port of driver \"R\""},
        {"a terminal", "", Name::Same, "it is a device other than the program's own terminal"},
        {"full", "", Name::Same, "No space left"},
    };
    for (const auto& [what, file, name, said] : cases) {
        SCOPED_TRACE(what);
        Rig rig;
        const Pty other;
        const QString profilePath = rig.dir.filePath(profile);
        writeFile(profilePath, QJsonDocument(smallProfile()).toJson());
        rig.writeTable(QJsonArray{
            Rig::sim("P", profilePath),
            QJsonObject{{"name", "R"}, {"kind", "hamlib"}, {"model", 1}, {"port", port.line}}});
        const QByteArray tableBytes = readAll(rig.storeFile());
        const QByteArray profileBytes = readAll(profilePath);
        const QString target = !file.isEmpty()                  ? rig.dir.filePath(file)
                               : QString(what).endsWith("full") ? QStringLiteral("/dev/full")
                               : QString(what) == "a terminal"  ? other.line
                                                                : port.line;
        QString named = target;
        if (name == Name::SymLink || name == Name::HardLink) {
            named = rig.dir.filePath("elsewhere");
            ASSERT_TRUE(name == Name::SymLink ? QFile::link(target, named)
                                              : ::link(QFile::encodeName(target).constData(),
                                                       QFile::encodeName(named).constData()) == 0);
        } else if (name == Name::DotDot) {
            // Through a link to a folder elsewhere: ".." is taken where the
            // link leads, not by cutting the name.
            QDir().mkpath(rig.dir.filePath("a/b/c"));
            ASSERT_TRUE(QFile::link(rig.dir.filePath("a/b/c"), rig.dir.filePath("l")));
            named = rig.dir.filePath("l/../../../" + file);
        }
        StderrCapture err;
        CorvaneComponent c(rig.options(named));
        c.DrvSetup("Test", 0);
        EXPECT_EQ(c.DrvCount() + c.DrvCount(), 4);
        EXPECT_EQ(c.RxRomId(0), "Test RX 1");
        EXPECT_EQ(readAll(rig.storeFile()), tableBytes);
        EXPECT_EQ(readAll(profilePath), profileBytes);
        EXPECT_EQ(port.received() + other.received(), QByteArray());
        const QString text = err.text();
        EXPECT_EQ(text.count("corvane:"), 1) << text.toStdString();
        EXPECT_EQ(text.count(named), 1) << text.toStdString();
        EXPECT_TRUE(text.contains(said)) << text.toStdString();
    }
}

// Where there is no driver table yet, a trace that would create it is refused
// as well: by its name, through a link to where it will be, or through a
// folder link and "..". A trace beside it is written.
TEST(BadFiles, TheTraceNeverCreatesTheDriverTable) {
    for (const char* via :
         {"corvane/Test.json", "link", "l/../../../corvane/Test.json", "trace.txt"}) {
        SCOPED_TRACE(via);
        Rig rig;
        QDir().mkpath(rig.dir.filePath("a/b/c"));
        QDir().mkpath(rig.dir.filePath("corvane"));
        ASSERT_TRUE(QFile::link(rig.dir.filePath("a/b/c"), rig.dir.filePath("l")));
        ASSERT_TRUE(QFile::link(rig.storeFile(), rig.dir.filePath("link")));
        StderrCapture err;
        CorvaneComponent c(rig.options(rig.dir.filePath(via)));
        c.DrvSetup("Test", 0);
        EXPECT_EQ(c.DrvCount(), 4);
        EXPECT_FALSE(QFileInfo::exists(rig.storeFile()));
        const bool beside = QLatin1String(via) == QLatin1String("trace.txt");
        EXPECT_EQ(err.text().contains("it is the driver table"), !beside)
            << err.text().toStdString();
        EXPECT_EQ(readAll(rig.dir.filePath(via)).startsWith("call DrvSetup"), beside);
    }
}

// The terminal the program was started from takes the trace, as stderr would.
TEST(BadFiles, TheTraceGoesToTheProgramsOwnTerminal) {
    Pty own;
    const int line = ::open(QFile::encodeName(own.line).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(line, 0);
    const int savedIn = ::dup(STDIN_FILENO);
    ::dup2(line, STDIN_FILENO);
    {
        Rig rig(own.line);
        rig.component->DrvSetup("Test", 0);
    }
    ::dup2(savedIn, STDIN_FILENO);
    ::close(savedIn);
    ::close(line);
    EXPECT_TRUE(own.received().startsWith("call DrvSetup(\"Test\", 0) -> 0"))
        << own.received().toStdString();
}

// An error that is not the component's own (out of memory while the table is
// turned into receivers) still ends the call that met it, and the trace says
// so: it is what ends the program's start-up.
TEST(BadFiles, AnExceptionThatEndsACallIsTraced) {
    Rig rig;
    rig.writeTable(QJsonArray{QJsonObject{{"name", "B"}, {"kind", "boom"}}});
    const QString trace = rig.dir.filePath("trace.txt");
    CorvaneComponent::Options o = rig.options(trace);
    o.registry = BackendRegistry::withBuiltins();
    o.registry->add("boom", [](const BackendContext&) -> std::unique_ptr<ReceiverBackend> {
        throw std::bad_alloc();
    });
    CorvaneComponent c(std::move(o));
    EXPECT_THROW(c.DrvSetup("Test", 0), std::bad_alloc);
    EXPECT_EQ(readAll(trace), "call DrvSetup(\"Test\", 0) !! std::bad_alloc\n");
}

// What the program holds is bounded by its files, not by how many drivers
// name them: 3000 drivers sharing one profile of almost 1 MiB read it once.
// (A ROM id or a list beyond what the window can show is refused: ProfileError.)
TEST(BadFiles, ManyDriversSharingALargeProfileReadItOnce) {
    constexpr int drivers = 3000;
    QJsonArray filters, modes; // 250 modes of 64 filters
    for (int f = 0; f < 64; ++f) {
        filters.append(QJsonObject{{"width", 100 + f}, {"name", QString("F%1").arg(f)}});
    }
    for (int m = 0; m < 250; ++m) {
        modes.append(
            QJsonObject{{"name", QString("M%1").arg(m)}, {"code", m}, {"filters", filters}});
    }
    QJsonObject profile = smallProfile();
    profile["modes"] = modes;
    Rig rig;
    const QString path = rig.dir.filePath("corvane/big.json");
    writeFile(path, QJsonDocument(profile).toJson(QJsonDocument::Compact));
    ASSERT_LT(QFileInfo(path).size(), maxJsonBytes);
    QJsonArray table;
    for (int i = 0; i < drivers; ++i) {
        table.append(Rig::sim(QString("D%1").arg(i), path));
    }
    rig.writeTable(table);
    const long before = residentKiB();
    rig.component->DrvSetup("Test", 0);
    ASSERT_EQ(rig.component->DrvCount(), drivers);
    EXPECT_EQ(rig.component->RxModCount(drivers - 1), 250);
    EXPECT_LT((residentKiB() - before) / 1024, 200) << "MiB more resident";
}

// Profiles in use together are bounded as well: the seventeenth distinct file
// of almost 1 MiB is refused, saying why.
TEST(BadFiles, DistinctLargeProfilesAreBoundedTogether) {
    Rig rig;
    const QByteArray padded = QJsonDocument(smallProfile()).toJson() + QByteArray(1000000, ' ');
    QJsonArray table;
    for (int i = 0; i < 17; ++i) {
        const QString path = rig.dir.filePath(QString("corvane/p%1.json").arg(i));
        writeFile(path, padded);
        table.append(Rig::sim(QString("P%1").arg(i), path));
    }
    rig.writeTable(table);
    StderrCapture quiet;
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(c.RxRomId(15), "Test RX 1");
    const QString why = failure([&] { c.RxRomId(16); });
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
            writeFile(target,
                      R"({"drivers": [{"name": "A", "kind": "sim", "profile": "builtin:hf"}]})");
        }
        EXPECT_TRUE(QFile::link(target, rig.storeFile()));
        EXPECT_TRUE(link != Link::Loop || QFile::link(rig.storeFile(), target));
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        EXPECT_EQ(c.DrvCount(), link == Link::ToFile ? 1 : 4);
        EXPECT_EQ(c.storeProblem().contains("symbolic link that loops"), link == Link::Loop)
            << c.storeProblem().toStdString();

        rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
        c.DrvSetup("Test", 1);
        EXPECT_EQ(rig.saved()["drivers"].toArray().size(), c.DrvCount());
        EXPECT_EQ(QFileInfo(rig.storeFile()).isSymLink(), link != Link::Loop);
        // Links that loop are kept as they were, beside the new file.
        if (link == Link::Loop) {
            const QStringList kept = rig.brokenCopies();
            EXPECT_EQ(kept.size(), 1);
            EXPECT_EQ(QFileInfo(rig.dir.filePath("corvane/" + kept.value(0))).symLinkTarget(),
                      target);
        } else {
            EXPECT_EQ(readAll(target), readAll(rig.storeFile()));
        }
    }
}

// Lines on stderr say what is wrong and where, once: an empty driver table
// (the program then ends), an entry refused for what it says itself, a Hamlib
// plugin that gives nothing. Numbers beyond 32 bits in a Hamlib entry are
// refused like any other wrong number, naming the key (reading one used to
// cast the double to int unchecked: undefined, which the sanitizer build
// reports).
TEST(BadFiles, MessagesNameTheFileOrDriverOnceAndGiveAReason) {
    qputenv("CORVANE_PLUGIN_DIR", CORVANE_BAD_PLUGINS_DIR "/bad_plugin_gives_nothing");
    const struct {
        QByteArray table;
        QStringList said; // each once, in the line on stderr
    } cases[] = {
        {R"({"drivers": []})", {"lists no drivers"}},
        {R"({"drivers": [{"name": "H", "kind": "hamlib", "model": -3}]})", {"driver \"H\": "}},
        {R"({"drivers": [{"name": "N", "kind": "hamlib", "model": 1}]})",
         {"driver \"N\": ", QLatin1String(hamlibSupportSymbol) + "() gave nothing"}},
        {R"({"drivers": [{"name": "M", "kind": "hamlib", "model": 1e10}]})",
         {R"(driver "M": "model" must be a Hamlib model number)"}},
        {R"({"drivers": [{"name": "S", "kind": "hamlib", "model": 1, "speed": -1e10}]})",
         {R"(driver "S": "speed" must be a number of baud)"}},
        {R"({"drivers": [{"name": "P", "kind": "rigctld", "port": 4294971828}]})",
         {R"(driver "P": "port" must be a TCP port number)"}},
        {R"({"drivers": [{"name": "T", "kind": "hamlib", "model": "99999999999"}]})",
         {R"(driver "T": "model" must be a Hamlib model number)"}},
    };
    for (const auto& [table, said] : cases) {
        SCOPED_TRACE(table.toStdString());
        Rig rig;
        writeFile(rig.storeFile(), table);
        StderrCapture err;
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        // Used, a refused receiver gives the same reason.
        if (c.DrvCount() > 0) {
            const QString why = failure([&] { c.RxRomId(0); });
            EXPECT_TRUE(why.startsWith("receiver 0 is not available: ") &&
                        why.contains(said.last()))
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

// A Hamlib plugin that cannot be used is refused before anything of it runs
// that could end the program, and the reason names the file and what is
// wrong: an entry point that is a null symbol, data, gives nothing or a
// record of another program's; a plugin file or folder others may write.
TEST(BadFiles, HamlibPluginsThatCannotBeUsedAreRefusedSayingWhy) {
    const auto plugin = [](const char* bad) {
        return QStringLiteral(CORVANE_BAD_PLUGINS_DIR "/bad_plugin_%1/libcorvane_hamlib.so")
            .arg(QLatin1String(bad));
    };
    const QString entry = QLatin1String(hamlibSupportSymbol);
    QTemporaryDir open;
    const QString copy = QDir(open.path()).filePath("libcorvane_hamlib.so");
    ASSERT_TRUE(QFile::copy(plugin("gives_nothing"), copy));
    const struct {
        QString path;
        QString said;
        mode_t file = 0644;
        mode_t folder = 0700;
    } cases[] = {
        {plugin("null_entry"), entry + " is a null symbol"},
        {plugin("data_entry"), entry + " is not a function"},
        {plugin("gives_nothing"), entry + "() gave nothing"},
        {plugin("foreign_entry"), entry + "() gave 0x12345678, not a Corvane Hamlib plugin's"},
        {copy, "writable by others than its owner (mode 0646)", 0646},
        {copy, "its folder " + open.path() + " may be changed by others", 0644, 0777},
    };
    for (const auto& [path, said, file, folder] : cases) {
        SCOPED_TRACE(said.toStdString());
        ASSERT_EQ(::chmod(QFile::encodeName(copy).constData(), file), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(open.path()).constData(), folder), 0);
        const HamlibPlugin loaded = loadHamlibPlugin({path});
        EXPECT_EQ(loaded.support, nullptr);
        EXPECT_TRUE(loaded.problem.startsWith("Hamlib support is not available: " + path + ": ") &&
                    loaded.problem.contains(said))
            << loaded.problem.toStdString();
    }
    ::chmod(QFile::encodeName(open.path()).constData(), 0700);
    // Neither the writable copy nor its folder's was ever loaded.
    EXPECT_FALSE(readAll("/proc/self/maps").contains(QFile::encodeName(copy)));
}

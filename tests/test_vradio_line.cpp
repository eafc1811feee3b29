// The virtual radio's line and front panel in this process: the pace of the
// bytes both ways and its change, a flood of input, the link it keeps and the
// numbers its knobs take. A program opens the terminal through the link as
// Hamlib would; the radio answers from this thread's event loop.
#include "component/sim/Clock.h"
#include "vradio/FrontPanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <memory>

// The built-in profiles live in the component's static library.
static void initProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::vradio {
namespace {

// Turns the event loop until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    return true;
}

void idle(int ms) {
    waitFor([] { return false; }, ms);
}

// One radio on its line, its link in a folder of this test's own, and the
// port a program opened through that link (closed before the radio goes).
class OnLine : public ::testing::Test {
protected:
    // The radio and its protocol, without a line yet.
    void build(const char* name) {
        initProfiles();
        ASSERT_TRUE(dir.isValid());
        model = findRadioModel(QString::fromLatin1(name));
        ASSERT_NE(model, nullptr);
        radio = std::make_unique<Radio>(component::loadProfile(QStringLiteral("builtin:hf"), {}),
                                        clock);
        engine = makeEngine(*radio, *model);
    }
    void start(const char* name, int baud) {
        ASSERT_NO_FATAL_FAILURE(build(name));
        line = std::make_unique<Line>(*engine, baud, link());
        QString error;
        ASSERT_TRUE(line->open(&error)) << error.toStdString();
        panel = std::make_unique<FrontPanel>(*radio, *engine, *line);
        ASSERT_TRUE(openPort());
    }
    void TearDown() override {
        closePort();
        panel.reset();
        line.reset();
    }
    QString link() const { return dir.filePath(QStringLiteral("radio")); }
    bool openPort() {
        closePort();
        port = ::open(QFile::encodeName(link()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return port >= 0;
    }
    void closePort() {
        if (port >= 0) {
            ::close(port);
            port = -1;
        }
    }
    void send(const QByteArray& bytes) {
        ASSERT_EQ(::write(port, bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // Reads from the port until what came ends with `expected` or `ms` have passed.
    QByteArray receive(const QByteArray& expected, int ms) {
        QByteArray got;
        waitFor(
            [&] {
                char buffer[256];
                for (ssize_t n; (n = ::read(port, buffer, sizeof buffer)) > 0;) {
                    got.append(buffer, n);
                }
                return got.endsWith(expected);
            },
            ms);
        return got;
    }

    QTemporaryDir dir;
    component::RealClock clock;
    const RadioModel* model = nullptr;
    std::unique_ptr<Radio> radio;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<Line> line;
    std::unique_ptr<FrontPanel> panel;
    int port = -1;
};

// --- the pace ---

TEST_F(OnLine, BytesTakeTheirTimeOnTheWayIn) {
    start("TS-2000", 300);
    // 14 bytes at 300 baud, 10 bits each: 467 ms before the radio has all of it.
    QElapsedTimer t;
    t.start();
    send("FA00014074000;");
    ASSERT_TRUE(waitFor([&] { return radio->freq() == 14074000; }, 3000));
    EXPECT_GE(t.elapsed(), 456);
    EXPECT_LE(t.elapsed(), 1500);
}

TEST_F(OnLine, SlowZeroAppliesToTheAnswersAlreadyWaiting) {
    start("TS-2000", 9600);
    panel->command(QStringLiteral("slow 100000"));
    send("FA;");
    EXPECT_EQ(receive("FA00007050000;", 200), QByteArray());
    EXPECT_TRUE(panel->status().contains(QLatin1String("slow 100000 ms")));
    EXPECT_TRUE(panel->status().contains(QLatin1String("14 bytes to send")))
        << panel->status().toStdString();

    QElapsedTimer t;
    t.start();
    panel->command(QStringLiteral("slow 0"));
    ASSERT_EQ(receive("FA00007050000;", 1000).toStdString(), "FA00007050000;");
    EXPECT_LE(t.elapsed(), 250); // 14 bytes at 9600 baud take 14.6 ms
    EXPECT_FALSE(panel->status().contains(QLatin1String("slow")));
    EXPECT_FALSE(panel->status().contains(QLatin1String("to send")));

    // Later answers at the line's pace too.
    send("FA;");
    EXPECT_EQ(receive("FA00007050000;", 250).toStdString(), "FA00007050000;");
}

TEST_F(OnLine, AFasterPaceAppliesToWhatIsWaitingAndASlowerOneToo) {
    start("TS-2000", 9600);
    panel->command(QStringLiteral("slow 100000"));
    send("FA;");
    idle(100);
    panel->command(QStringLiteral("slow 10"));
    QElapsedTimer t;
    t.start();
    ASSERT_EQ(receive("FA00007050000;", 2000).toStdString(), "FA00007050000;");
    EXPECT_GE(t.elapsed(), 130); // 14 bytes, 10 ms each
    EXPECT_LE(t.elapsed(), 600);
    // 50 ms a byte, then slower while the answer is on its way: the rest of
    // it waits.
    panel->command(QStringLiteral("slow 50"));
    send("FA;");
    idle(100);
    panel->command(QStringLiteral("slow 100000"));
    const QByteArray got = receive("FA00007050000;", 300);
    EXPECT_LT(got.size(), 10) << "a slower pace left what waits at the faster one";
}

TEST_F(OnLine, UnplugAndReplugLeaveNoPaceOwed) {
    start("TS-2000", 9600);
    panel->command(QStringLiteral("slow 100000"));
    send("FA;");
    send("ID;");
    idle(200);
    closePort();
    panel->command(QStringLiteral("unplug"));
    panel->command(QStringLiteral("slow 0"));
    panel->command(QStringLiteral("replug"));
    ASSERT_TRUE(openPort());
    send("FA;");
    EXPECT_EQ(receive("FA00007050000;", 500).toStdString(), "FA00007050000;");
    EXPECT_FALSE(panel->status().contains(QLatin1String("to send")));
}

// --- a flood on the line ---

TEST_F(OnLine, AFloodIsLostBeyondTheInputBufferAndTheRadioHearsAfterIt) {
    start("TS-2000", 9600);
    // 2 MB of bytes without a ";" at once: far faster than 9600 baud carries.
    const QByteArray noise(64 * 1024, 'x');
    size_t sent = 0;
    QElapsedTimer t;
    t.start();
    while (sent < 2u * 1024 * 1024 && t.elapsed() < 5000) {
        const ssize_t n = ::write(port, noise.constData(), size_t(noise.size()));
        if (n > 0) {
            sent += size_t(n);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    ASSERT_GE(sent, 2u * 1024 * 1024) << "the radio stopped reading its line";
    // What fits in the input buffer still crosses at the line's pace: 256
    // bytes take 267 ms; the rest was lost.
    idle(400);
    EXPECT_GE(line->overrunIn(), 2u * 1024 * 1024 - Line::inputBuffer - 64 * 1024);
    EXPECT_TRUE(panel->status().contains(QLatin1String("lost to input overruns")));
    ::tcflush(port, TCIFLUSH); // the "?;" the noise was answered by
    send(";FA;");
    EXPECT_TRUE(receive("FA00007050000;", 500).endsWith("FA00007050000;"));
}

// --- the link ---

// The names deleted in a folder watched by `watch`, in order: "link" for
// the radio's link, "terminal" for /dev/pts/`number`.
QByteArray deletions(int watch, const QByteArray& number) {
    QByteArray order;
    char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            const QByteArray name(e->len > 0 ? e->name : "");
            if (name == "radio" || name == number) {
                order += name == "radio" ? "link " : "terminal ";
            }
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
    return order.trimmed();
}

TEST_F(OnLine, TheLinkGoesBeforeTheTerminalIsFreed) {
    // Once the terminal is closed its number may go to the next program that
    // opens one: the link must be gone by then, at an unplug and at the end.
    start("IC-R75", 9600);
    closePort();
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, "/dev/pts", IN_DELETE), 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_DELETE), 0);
    const auto number = [&] { return QFile::encodeName(line->slavePath()).mid(9); };
    QByteArray terminal = number();
    panel->command(QStringLiteral("unplug"));
    EXPECT_EQ(deletions(watch, terminal).toStdString(), "link terminal");

    panel->command(QStringLiteral("replug"));
    ASSERT_TRUE(QFile::exists(link()));
    terminal = number();
    panel.reset();
    line.reset();
    EXPECT_EQ(deletions(watch, terminal).toStdString(), "link terminal");
    ::close(watch);
}

TEST_F(OnLine, APathThatExistsIsNeverReplaced) {
    build("IC-R75");
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("my notes\n");
    }
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(notes, elsewhere));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    // In place of a device node (never a real one: a fault here would replace it).
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {notes, elsewhere, folder, fifo}) {
        Line l(*engine, 9600, path);
        QString error;
        EXPECT_FALSE(l.open(&error)) << path.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String("not a link this program made")))
            << error.toStdString();
        EXPECT_FALSE(l.plugged()) << "the terminal stays open without its link";
    }
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), "my notes\n");
    EXPECT_EQ(QFile::symLinkTarget(elsewhere), notes);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo(fifo).isSymLink());
}

TEST_F(OnLine, ALinkThatIsNoLongerThisRadiosIsLeftAlone) {
    start("IC-R75", 9600);
    closePort();
    // The path taken over meanwhile (by hand, or by another radio after an
    // unplug): neither an unplug, nor a replug, nor the end touches it.
    const QString other = dir.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QFile::remove(link()));
    ASSERT_TRUE(QFile::link(other, link()));
    panel->command(QStringLiteral("unplug"));
    EXPECT_EQ(QFile::symLinkTarget(link()), other);
    const QString answer = panel->command(QStringLiteral("replug"));
    EXPECT_TRUE(answer.startsWith(QLatin1String("replug failed"))) << answer.toStdString();
    EXPECT_FALSE(line->plugged());
    EXPECT_EQ(QFile::symLinkTarget(link()), other);

    ASSERT_TRUE(QFile::remove(link()));
    EXPECT_TRUE(panel->command(QStringLiteral("replug")).contains(line->slavePath()));
    ASSERT_EQ(QFile::symLinkTarget(link()), line->slavePath());
    ASSERT_TRUE(QFile::remove(link()));
    ASSERT_TRUE(QFile::link(other, link()));
    panel.reset();
    line.reset();
    EXPECT_EQ(QFile::symLinkTarget(link()), other);
}

// --- the front panel's numbers and words ---

TEST_F(OnLine, NumbersBeyondTheirRangeAreRefusedNotWrapped) {
    start("IC-R75", 9600);
    const QString before = panel->status();
    for (const char* command : {"att 4294967316", "filter 4294967297", "nb 4294967297",
                                "rit 4294967396", "att -4294967276"}) {
        const QString answer = panel->command(QString::fromLatin1(command));
        EXPECT_TRUE(answer.startsWith(QLatin1String("the radio has no"))) << answer.toStdString();
    }
    EXPECT_EQ(panel->status(), before);
    EXPECT_EQ(radio->attDb(), 0);
    EXPECT_EQ(radio->filterIndex(), 0);
    EXPECT_TRUE(panel->command(QStringLiteral("att 20")).contains(QLatin1String("ATT 20 dB")));
}

TEST_F(OnLine, ASwitchSaysWhatItTakes) {
    start("IC-R75", 9600);
    EXPECT_EQ(panel->command(QStringLiteral("echo maybe")), QStringLiteral("echo takes on or off"));
    EXPECT_EQ(panel->command(QStringLiteral("silent")), QStringLiteral("silent takes on or off"));
    EXPECT_EQ(panel->command(QStringLiteral("garbage 1")),
              QStringLiteral("garbage takes on or off"));
    EXPECT_TRUE(engine->echo);
    EXPECT_EQ(panel->command(QStringLiteral("frobnicate")),
              QStringLiteral("unknown command \"frobnicate\" (help lists them)"));
}

} // namespace
} // namespace corvane::vradio

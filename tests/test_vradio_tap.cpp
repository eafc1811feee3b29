// The tap and the replay: the capture format read back as written, the
// replay's choice of answers, and the programs themselves: every byte
// through the tap unchanged and recorded, an existing capture never
// overwritten, a request the recording lacks reported, and for each of the
// four radios a capture made between rigctl and the virtual radio that
// replays to rigctl as the radio answered.
//
// The captures in tests/data/captures were made by these tests: run them with
// CORVANE_WRITE_CAPTURES set to that folder to make them again.
#include "tests/support/Child.h"
#include "vradio/Capture.h"
#include "vradio/Replay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>

namespace corvane::vradio {
namespace {

using testsupport::Child;

// --- the capture format ---

TEST(CaptureFormat, ReadsWhatItWritesAndSaysWhichLineIsWrong) {
    Capture written;
    written.baud = 19200;
    written.records = {{0, Direction::ToRadio, "FA;"},
                       {1'250'000, Direction::FromRadio, "FA00007050000;"},
                       {2'000'000'000, Direction::ToRadio, "say \"\\\" here;"},
                       {3'000'001'000, Direction::FromRadio, QByteArray::fromHex("FEFE94E003FD")},
                       {3'100'000'000, Direction::ToRadio, QByteArray("\x00\r\n\xFF", 4)}};
    QByteArray text = captureHeader(written.baud);
    for (const CaptureRecord& r : written.records) {
        text += formatRecord(r);
    }
    EXPECT_TRUE(text.contains("+0.001250 < \"FA00007050000;\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("+3.000001 < FE FE 94 E0 03 FD")) << text.toStdString();
    Capture read;
    QString error;
    ASSERT_TRUE(parseCapture(text, &read, &error)) << error.toStdString();
    EXPECT_EQ(read.baud, 19200);
    EXPECT_EQ(read.records, written.records);

    // What a person may type: comments, escapes, CR LF line ends.
    ASSERT_TRUE(parseCapture("# mine\r\ncorvane-vradio capture 1\r\nprotocol civ\n"
                             "+1 > \"\\x41\\r\" # an A\n2.5 < fe fd # two\n",
                             &read, &error))
        << error.toStdString();
    EXPECT_EQ(read.protocol, Protocol::CiV);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].bytes, "A\r");
    EXPECT_EQ(read.records[1].ns, 2'500'000'000);
    EXPECT_EQ(read.records[1].bytes, QByteArray::fromHex("FEFD"));

    const struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"", "empty"},
        {"hello\n", "line 1: not a capture"},
        {"corvane-vradio capture 2\n", "line 1: capture format 2"},
        {"corvane-vradio capture 1\n+0.1 > FE F\n", "line 2: \"F\" is not a hex byte"},
        {"corvane-vradio capture 1\n+0.1 > \"FA;\n", "line 2: the text has no closing quote"},
        {"corvane-vradio capture 1\n+0.1 > \"\\q\"\n", "line 2: unknown escape"},
        {"corvane-vradio capture 1\n+0.1 = FE\n", "line 2: the time is followed by >"},
        {"corvane-vradio capture 1\n-1 > FE\n", "line 2: \"-1\" is neither a time"},
        {"corvane-vradio capture 1\n+1 > \n", "line 2: the time is followed by"},
        {"corvane-vradio capture 1\n\n+1 > FE\nbaud 9600\n", "line 4: \"baud\" belongs before"},
        {"corvane-vradio capture 1\nprotocol yaesu\n", "line 2: protocol is civ or kenwood"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(parseCapture(b.text, &read, &error)) << b.text;
        EXPECT_TRUE(error.startsWith(QLatin1String(b.error)))
            << b.text << " gave: " << error.toStdString();
    }
}

// --- the replay's answers ---

Capture recording(const std::vector<std::pair<const char*, const char*>>& exchanges, bool civ) {
    const auto bytes = [civ](const char* s) {
        return civ ? QByteArray::fromHex(QByteArray(s).replace(' ', "")) : QByteArray(s);
    };
    Capture c;
    int64_t t = 0;
    for (const auto& [request, answer] : exchanges) {
        c.records.push_back({t += 1000, Direction::ToRadio, bytes(request)});
        if (*answer != '\0') {
            c.records.push_back({t += 1000, Direction::FromRadio, bytes(answer)});
        }
    }
    return c;
}

TEST(Replayer, AnswersAsTheRecordingDidAtThePointReached) {
    // A read, a set that changed it, and a meter that moved.
    const Capture kenwood = recording({{"FA;", "FA00007050000;"},
                                       {"SM0;", "SM00001;"},
                                       {"FA;", "FA00007050000;"},
                                       {"FA00007100000;", ""},
                                       {"FA;", "FA00007100000;"},
                                       {"SM0;", "SM00002;"},
                                       {"RA01;", "?;"},
                                       {"SM0;", "SM00003;"}},
                                      false);
    const struct {
        const char* name;
        std::vector<const char*> heard;
        std::vector<const char*> answers;
    } cases[] = {
        {"the same requests, then one more",
         {"FA;", "SM0;", "FA;", "FA00007100000;", "FA;", "SM0;", "RA01;", "SM0;", "SM0;"},
         {"FA00007050000;", "SM00001;", "FA00007050000;", "", "FA00007100000;", "SM00002;", "?;",
          "SM00003;", "SM00003;"}},
        // Polled more often than recorded: the set comes first.
        {"more reads before the set",
         {"FA;", "FA;", "FA;", "FA;", "FA00007100000;", "FA;", "FA;"},
         {"FA00007050000;", "FA00007050000;", "FA00007050000;", "FA00007050000;", "",
          "FA00007100000;", "FA00007100000;"}},
        // What was read after a set is not given before the set is heard; a
        // refused one (RA01) orders nothing.
        {"a reading after a set waits for the set",
         {"SM0;", "SM0;", "FA00007100000;", "SM0;", "SM0;", "SM0;"},
         {"SM00001;", "SM00001;", "", "SM00002;", "SM00003;", "SM00003;"}},
        {"in another order",
         {"SM0;", "FA;", "FA00007100000;", "SM0;", "FA;"},
         {"SM00001;", "FA00007050000;", "", "SM00002;", "FA00007100000;"}},
        {"two commands at once, and one unknown",
         {"FA;SM0;", "ZZ;"},
         {"FA00007050000;", "SM00001;", "?;"}},
    };
    for (const auto& c : cases) {
        Replayer replayer(kenwood);
        ASSERT_EQ(replayer.protocol(), Protocol::Kenwood);
        std::vector<QByteArray> got;
        for (const char* request : c.heard) {
            for (const Replayer::Reply& reply : replayer.feed(request)) {
                QByteArray all;
                for (const Replayer::Chunk& chunk : reply.chunks) {
                    all += chunk.bytes;
                }
                got.push_back(all);
            }
        }
        EXPECT_EQ(got, std::vector<QByteArray>(c.answers.begin(), c.answers.end())) << c.name;
    }

    // CI-V: the radio echoed, so an unknown command gets its echo and NG
    // from the address asked; a write answered FB orders the reads.
    Replayer civ(recording(
        {{"FE FE 94 E0 03 FD", "FE FE 94 E0 03 FD FE FE E0 94 03 00 00 05 07 00 FD"},
         {"FE FE 94 E0 05 00 00 10 07 00 FD", "FE FE 94 E0 05 00 00 10 07 00 FD FE FE E0 94 FB FD"},
         {"FE FE 94 E0 03 FD", "FE FE 94 E0 03 FD FE FE E0 94 03 00 00 10 07 00 FD"}},
        true));
    ASSERT_EQ(civ.protocol(), Protocol::CiV);
    const auto answer = [&civ](const char* hex) {
        const auto replies = civ.feed(QByteArray::fromHex(QByteArray(hex).replace(' ', "")));
        return replies.size() == 1 ? replies[0].chunks.front().bytes.toHex(' ').toUpper()
                                   : QByteArray("replies: ") + QByteArray::number(replies.size());
    };
    EXPECT_EQ(answer("00 FE FE 94 E0 03 FD 00"),
              "FE FE 94 E0 03 FD FE FE E0 94 03 00 00 05 07 00 FD");
    EXPECT_EQ(answer("FE FE 94 E0 03 FD"), "FE FE 94 E0 03 FD FE FE E0 94 03 00 00 05 07 00 FD");
    EXPECT_EQ(answer("FE FE FE 94 E0 05 00 00 10 07 00 FD"),
              "FE FE 94 E0 05 00 00 10 07 00 FD FE FE E0 94 FB FD");
    EXPECT_EQ(answer("FE FE 94 E0 03 FD"), "FE FE 94 E0 03 FD FE FE E0 94 03 00 00 10 07 00 FD");
    EXPECT_EQ(answer("FE FE 94 E0 1A 05 00 92 FD"), "FE FE 94 E0 1A 05 00 92 FD FE FE E0 94 FA FD");
    EXPECT_EQ(civ.heard(), 5u);
    EXPECT_EQ(civ.unknown(), 1u);
    EXPECT_EQ(civ.lastUnknown(), QByteArray::fromHex("FEFE94E01A050092FD"));
}

// --- the programs ---

const QString vradio = QStringLiteral(CORVANE_VRADIO);

// Started and up: its terminal's path printed and its link made.
bool up(Child& child, const QString& link) {
    const auto terminal = child.line(5000);
    return terminal && terminal->startsWith("/dev/pts/") &&
           (link.isEmpty() || QFileInfo(link).isSymLink());
}

// A program's end of a terminal, raw.
struct Port {
    explicit Port(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Port() { ::close(fd); }
    bool write(const QByteArray& b) const {
        return ::write(fd, b.constData(), size_t(b.size())) == b.size();
    }
    // Reads until `size` bytes have come or `ms` have passed.
    QByteArray read(qsizetype size, int ms) const { return readFrom(fd, size, ms); }
    static QByteArray readFrom(int fd, qsizetype size, int ms) {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < size && t.elapsed() < ms) {
            pollfd p{fd, POLLIN, 0};
            char buffer[512];
            if (::poll(&p, 1, 20) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                got.append(buffer, n > 0 ? n : 0);
            }
        }
        return got;
    }
    int fd;
};

class Programs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(Programs, TheTapCarriesEveryByteUnchangedAndRecordsExactlyThose) {
    // The radio's side is a terminal this test holds.
    int radio = -1;
    int radioSlave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&radio, &radioSlave, name, nullptr, nullptr), 0);
    fcntl(radio, F_SETFD, FD_CLOEXEC);
    fcntl(radioSlave, F_SETFD, FD_CLOEXEC);
    Child tap({vradio, "--tap", QString::fromLatin1(name), "--baud", "115200", "--link", at("tap"),
               "--capture", at("capture.txt")});
    ASSERT_TRUE(up(tap, at("tap"))) << tap.errors().toStdString();
    Port program(at("tap"));
    ASSERT_GE(program.fd, 0);
    QByteArray every;
    for (int b = 0; b < 256; ++b) {
        every.append(char(b)); // ^C, ^D, XON, CR and LF among them: no line discipline
    }
    QByteArray back = every;
    std::reverse(back.begin(), back.end());
    ASSERT_TRUE(program.write(every));
    EXPECT_EQ(Port::readFrom(radio, 256, 3000).toHex(), every.toHex());
    ASSERT_EQ(::write(radio, back.constData(), 256), 256);
    EXPECT_EQ(program.read(256, 3000).toHex(), back.toHex());
    // Counted as they are read (recorded only after they are on their way).
    tap.type("status\n");
    const auto status = tap.line(3000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->contains("256 bytes to the radio, 256 from it;")) << status->toStdString();

    const auto ended = tap.end(5000);
    ASSERT_TRUE(ended && WIFSIGNALED(*ended) && WTERMSIG(*ended) == SIGTERM);
    EXPECT_FALSE(QFileInfo::exists(at("tap"))) << "the tap left its link";
    Capture capture;
    QString error;
    ASSERT_TRUE(readCapture(at("capture.txt"), &capture, &error)) << error.toStdString();
    EXPECT_EQ(capture.baud, 115200);
    EXPECT_EQ(bytesOf(capture, Direction::ToRadio).toHex(), every.toHex());
    EXPECT_EQ(bytesOf(capture, Direction::FromRadio).toHex(), back.toHex());
    // Nothing but the line: not the port's name, nor anything of this machine.
    QFile f(at("capture.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_FALSE(text.contains("/dev/") || text.contains(QFile::encodeName(dir.path())));
    ::close(radioSlave);
    ::close(radio);
}

TEST_F(Programs, TheTapNeverOverwritesACaptureUnlessForced) {
    int radio = -1;
    int radioSlave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&radio, &radioSlave, name, nullptr, nullptr), 0);
    fcntl(radio, F_SETFD, FD_CLOEXEC);
    fcntl(radioSlave, F_SETFD, FD_CLOEXEC);
    QFile old(at("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("yesterday's capture\n");
    old.close();
    const QStringList args{vradio,       "--tap",   QString::fromLatin1(name),
                           "--link",     at("tap"), "--capture",
                           at("old.txt")};
    {
        Child tap(args);
        const auto status = tap.end(5000, 0);
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
        EXPECT_TRUE(tap.errors().contains("exists; refusing to overwrite it"))
            << tap.errors().toStdString();
        EXPECT_FALSE(QFileInfo::exists(at("tap"))) << "a link left by a tap that did not start";
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "yesterday's capture\n");
        old.close();
    }
    Child forced(QStringList(args) << "--force");
    ASSERT_TRUE(up(forced, at("tap"))) << forced.errors().toStdString();
    ASSERT_TRUE(forced.end(5000));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_TRUE(old.readAll().startsWith("corvane-vradio capture 1\n"));
    ::close(radioSlave);
    ::close(radio);
}

TEST_F(Programs, ARadioThatGoesAwayIsOpenedAgainWhenItIsBack) {
    // A USB radio switched off and on: its port goes and comes back.
    Child radio({vradio, "--radio", "TS-2000", "--link", at("radio")});
    ASSERT_TRUE(up(radio, at("radio"))) << radio.errors().toStdString();
    Child tap({vradio, "--tap", at("radio"), "--link", at("tap"), "--capture", at("c.txt")});
    ASSERT_TRUE(up(tap, at("tap"))) << tap.errors().toStdString();
    const Port program(at("tap"));
    ASSERT_TRUE(program.write("ID;"));
    EXPECT_EQ(program.read(6, 3000), "ID019;");
    radio.type("unplug\n");
    EXPECT_TRUE(tap.says(QFile::encodeName(at("radio")) + " is gone"))
        << tap.errors().toStdString();
    EXPECT_TRUE(QFileInfo(at("tap")).isSymLink()) << "the program's side stays";
    radio.type("replug\n");
    EXPECT_TRUE(tap.says(QFile::encodeName(at("radio")) + " is back", 5000))
        << tap.errors().toStdString();
    ASSERT_TRUE(program.write("FA;"));
    EXPECT_EQ(program.read(14, 3000), "FA00007050000;");
}

TEST_F(Programs, ARequestTheRecordingLacksIsAnsweredAsTheRadioWouldAndReported) {
    const struct {
        const char* capture;
        QByteArray known, knownAnswer, unknown, refusal, shown;
    } cases[] = {
        {"corvane-vradio capture 1\n+0.1 > \"ID;\"\n+0.11 < \"ID019;\"\n", "ID;", "ID019;", "ZZ;",
         "?;", "ZZ;"},
        {"corvane-vradio capture 1\n+0.1 > FE FE 5A E0 19 00 FD\n"
         "+0.11 < FE FE 5A E0 19 00 FD FE FE E0 5A 19 00 5A FD\n",
         QByteArray::fromHex("FEFE5AE01900FD"),
         QByteArray::fromHex("FEFE5AE01900FDFEFEE05A19005AFD"),
         QByteArray::fromHex("FEFE5AE01A0500FD"),
         QByteArray::fromHex("FEFE5AE01A0500FDFEFEE05AFAFD"), "FE FE 5A E0 1A 05 00 FD"},
    };
    for (const auto& c : cases) {
        QFile f(at("c.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.capture);
        f.close();
        Child replay({vradio, "--replay", at("c.txt"), "--pace", "line", "--link", at("replay")});
        ASSERT_TRUE(up(replay, at("replay"))) << replay.errors().toStdString();
        const Port program(at("replay"));
        ASSERT_TRUE(program.write(c.known));
        EXPECT_EQ(program.read(c.knownAnswer.size(), 3000), c.knownAnswer);
        ASSERT_TRUE(program.write(c.unknown));
        EXPECT_EQ(program.read(c.refusal.size(), 3000), c.refusal);
        replay.type("status\n");
        const auto status = replay.line(3000);
        ASSERT_TRUE(status);
        EXPECT_TRUE(status->contains(
            "2 requests heard, 1 without a recorded answer (the last: " + c.shown + ")"))
            << status->toStdString();
        EXPECT_TRUE(replay.says("no answer recorded for " + c.shown + ": answered"))
            << replay.errors().toStdString();
    }
    QFile f(at("c.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("corvane-vradio capture 1\n+0.1 > \"ID;\"\n+x\n");
    f.close();
    Child broken({vradio, "--replay", at("c.txt")});
    const auto status = broken.end(5000, 0);
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
    EXPECT_TRUE(broken.errors().contains("c.txt: line 3: \"+x\" is neither a time"))
        << broken.errors().toStdString();
}

// --- rigctl through the tap, and the replay of what it recorded ---

struct Rig {
    const char* radio;
    int hamlibModel;
    int baud;
    const char* file; // in tests/data/captures
};

void PrintTo(const Rig& r, std::ostream* os) {
    *os << r.radio;
}

// What rigctl is asked: reads, writes that change later reads, writes some
// radios refuse (the IC-R75's commands Hamlib tries and it answers NG), and
// the meter.
const QStringList script{"f", "m",  "F", "7100000", "f",   "M", "USB",      "0", "m",
                         "M", "FM", "0", "l",       "ATT", "l", "STRENGTH", "f"};

class Recorded : public Programs, public ::testing::WithParamInterface<Rig> {
protected:
    void SetUp() override {
        Programs::SetUp();
        rigctl = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
        if (rigctl.isEmpty()) {
            GTEST_SKIP() << "rigctl is not installed";
        }
    }
    // rigctl's output for the script on `port`, and how it ended.
    QByteArray run(const QString& port, bool* ok) {
        Child c(QStringList{rigctl, "-m", QString::number(GetParam().hamlibModel), "-r", port, "-s",
                            QString::number(GetParam().baud)}
                << script);
        QByteArray out;
        while (const auto l = c.line(10000)) {
            out += *l + '\n';
        }
        const auto status = c.end(10000, 0);
        *ok = status && WIFEXITED(*status);
        return out;
    }
    // `port` through a tap recording into `capture`: rigctl's output.
    QByteArray tapped(const QString& port, const QString& capture, bool* ok) {
        Child tap({vradio, "--tap", port, "--baud", QString::number(GetParam().baud), "--link",
                   at("tap"), "--capture", capture});
        if (!up(tap, at("tap"))) {
            ADD_FAILURE() << tap.errors().toStdString();
            return {};
        }
        const QByteArray out = run(at("tap"), ok);
        EXPECT_TRUE(tap.end(5000));
        return out;
    }
    QString rigctl;
};

TEST_P(Recorded, AReplayAnswersRigctlAsTheRadioDid) {
    const Rig& rig = GetParam();
    Child radio({vradio, "--radio", rig.radio, "--speed", QString::number(rig.baud), "--link",
                 at("radio")});
    ASSERT_TRUE(up(radio, at("radio"))) << radio.errors().toStdString();
    bool ok = false;
    const QByteArray live = tapped(at("radio"), at("live.txt"), &ok);
    ASSERT_TRUE(ok) << live.toStdString();
    ASSERT_TRUE(live.startsWith("7050000\nLSB\n")) << live.toStdString();
    ASSERT_TRUE(live.contains("7100000\nUSB\n")) << live.toStdString();

    Child replay({vradio, "--replay", at("live.txt"), "--link", at("replay")});
    ASSERT_TRUE(up(replay, at("replay"))) << replay.errors().toStdString();
    const QByteArray replayed = tapped(at("replay"), at("replayed.txt"), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(replayed.toStdString(), live.toStdString());
    replay.type("status\n");
    const auto status = replay.line(3000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->contains(" 0 without a recorded answer")) << status->toStdString();
    // The same requests, and the same answers, byte for byte.
    Capture before;
    Capture after;
    QString error;
    ASSERT_TRUE(readCapture(at("live.txt"), &before, &error)) << error.toStdString();
    ASSERT_TRUE(readCapture(at("replayed.txt"), &after, &error)) << error.toStdString();
    for (const Direction d : {Direction::ToRadio, Direction::FromRadio}) {
        EXPECT_EQ(bytesOf(after, d).toHex(' ').toStdString(),
                  bytesOf(before, d).toHex(' ').toStdString());
    }

    const QByteArray keep = qgetenv("CORVANE_WRITE_CAPTURES");
    if (!keep.isEmpty()) {
        const QString to = QDir(QFile::decodeName(keep)).filePath(QString::fromLatin1(rig.file));
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(at("live.txt"), to)) << to.toStdString();
    }
}

TEST_P(Recorded, TheKeptCaptureStillReplays) {
    // Hamlib asks as it did when the capture was made: the same answers.
    const QString file =
        QStringLiteral(CORVANE_CAPTURES "/") + QString::fromLatin1(GetParam().file);
    ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    Child replay({vradio, "--replay", file, "--link", at("replay")});
    ASSERT_TRUE(up(replay, at("replay"))) << replay.errors().toStdString();
    bool ok = false;
    const QByteArray out = run(at("replay"), &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(out.startsWith("7050000\nLSB\n") && out.contains("7100000\nUSB\n"))
        << out.toStdString();
    replay.type("status\n");
    const auto status = replay.line(3000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->contains(" 0 without a recorded answer")) << status->toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tap, Recorded,
                         ::testing::Values(Rig{"IC-R75", 3039, 19200, "ic-r75.txt"},
                                           Rig{"IC-7300", 3073, 115200, "ic-7300.txt"},
                                           Rig{"TS-2000", 2014, 57600, "ts-2000.txt"},
                                           Rig{"TS-590SG", 2037, 115200, "ts-590sg.txt"}),
                         [](const ::testing::TestParamInfo<Rig>& info) {
                             return QByteArray(info.param.radio).replace('-', "").toStdString();
                         });

} // namespace
} // namespace corvane::vradio

// A replay shows the program what the radio showed it: for each of the four
// radios, the program's Hamlib receiver connects to the virtual radio through
// the tap, reads it, tunes and changes the mode; then the same receiver does
// the same against the replay of that capture, and reports the same events
// (the S-meter left out: it is read at the moments each run polls).
#include "tests/support/Child.h"
#include "tests/support/HamlibPeers.h"

#include "hamlibplugin/WorkerThreads.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace corvane::testsupport {
namespace {

struct Rig {
    const char* radio;
    int hamlibModel;
    int baud;
};

void PrintTo(const Rig& r, std::ostream* os) {
    *os << r.radio;
}

const QString vradio = QStringLiteral(CORVANE_VRADIO);

bool up(Child& child, const QString& link) {
    const auto terminal = child.line(5000);
    return terminal && terminal->startsWith("/dev/pts/") && QFileInfo(link).isSymLink();
}

class ProgramReplay : public ::testing::TestWithParam<Rig> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // The receiver on `port`: connected, remote, tuned and set to USB; its
    // events as text, one a line, the S-meter's left out.
    QString session(const QString& port) {
        const Rig& rig = GetParam();
        Recorder sink;
        {
            auto rx = makeBackend(QJsonObject{{"name", "V"},
                                              {"kind", "hamlib"},
                                              {"model", rig.hamlibModel},
                                              {"port", port},
                                              {"speed", rig.baud}},
                                  sink);
            EXPECT_EQ(rx->connect(true), 0);
            EXPECT_TRUE(sink.await(Kind::Frq, 0, 8000)) << "no first reading";
            EXPECT_EQ(rx->setRemote(true), 0);
            idle(500);
            size_t from = sink.events.size();
            rx->setFrequency(14074000, Origin::Program);
            EXPECT_TRUE(sink.await(Kind::Frq, from, 3000,
                                   [](const ReceiverEvent& e) { return e.freq() == 14074000; }));
            from = sink.events.size();
            rx->set(Setting::Mode, rx->code(Setting::Mode, "USB"), Origin::Program);
            EXPECT_TRUE(sink.await(Kind::Mod, from, 3000));
            idle(800); // polls that find nothing changed
        }
        EXPECT_TRUE(waitUntil([] { return hamlibplugin::WorkerThreads::running() == 0; }, 10000));
        QString out;
        for (const ReceiverEvent& e : sink.events) {
            if (e.kind != Kind::SMt) {
                out += QStringLiteral("%1 %2 %3 %4\n")
                           .arg(static_cast<int>(e.kind))
                           .arg(e.value())
                           .arg(e.kind == Kind::Frq   ? e.carrier()
                                : e.kind == Kind::Mod ? e.bfo()
                                                      : 0)
                           .arg(static_cast<int>(e.origin));
            }
        }
        return out;
    }

    QTemporaryDir dir;
};

TEST_P(ProgramReplay, ShowsWhatTheLiveRunShowed) {
    const Rig& rig = GetParam();
    const QString baud = QString::number(rig.baud);
    QString live;
    {
        Child radio({vradio, "--radio", rig.radio, "--speed", baud, "--link", at("radio")});
        ASSERT_TRUE(up(radio, at("radio"))) << radio.errors().toStdString();
        Child tap({vradio, "--tap", at("radio"), "--baud", baud, "--link", at("tap"), "--capture",
                   at("live.txt")});
        ASSERT_TRUE(up(tap, at("tap"))) << tap.errors().toStdString();
        live = session(at("tap"));
    }
    ASSERT_FALSE(HasFailure()) << live.toStdString();
    // The tune, as the program's own (origin 0), is among what it showed.
    ASSERT_TRUE(live.contains(QStringLiteral("\n%1 14074000 ").arg(int(Kind::Frq))))
        << live.toStdString();
    Child replay({vradio, "--replay", at("live.txt"), "--link", at("replay")});
    ASSERT_TRUE(up(replay, at("replay"))) << replay.errors().toStdString();
    const QString replayed = session(at("replay"));
    EXPECT_EQ(replayed.toStdString(), live.toStdString());
    replay.type("status\n");
    const auto status = replay.line(3000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->contains(" 0 without a recorded answer")) << status->toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tap, ProgramReplay,
                         ::testing::Values(Rig{"IC-R75", 3039, 19200}, Rig{"IC-7300", 3073, 115200},
                                           Rig{"TS-2000", 2014, 57600},
                                           Rig{"TS-590SG", 2037, 115200}),
                         [](const ::testing::TestParamInfo<Rig>& info) {
                             return QByteArray(info.param.radio).replace('-', "").toStdString();
                         });

} // namespace
} // namespace corvane::testsupport

// corvane-check against the simulated receiver and against the virtual radio
// as each of its four models, through the real component and Hamlib's real
// backends. What the check says is compared with what the receiver's tables
// say and with what the radio holds at each step, never with fixed lists.
#include "check/Interrupt.h"
#include "check/Program.h"
#include "check/ReceiverCheck.h"
#include "tests/support/ComponentFixture.h"
#include "tests/support/HamlibRigs.h"

#include <QJsonDocument>
#include <QTimer>

#include <csignal>

namespace corvane::testsupport {
namespace {

using check::Options;
using check::ReceiverCheck;
using check::ReceiverReport;
using check::Result;
using check::Row;

// A component made as the program makes it, on a driver table of its own.
class Table {
public:
    // Without drivers() the component has its built-in receivers.
    void drivers(const QJsonArray& drivers) {
        writeFile(m_dir.filePath("corvane/Test.json"),
                  QJsonDocument(QJsonObject{{"drivers", drivers}}).toJson());
    }
    receiver::ComponentFactory factory() {
        return [this] {
            CorvaneComponent::Options o;
            o.configHome = m_dir.path();
            o.tracePath = QString();
            auto c = std::make_unique<CorvaneComponent>(std::move(o));
            made = c.get();
            return c;
        };
    }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    CorvaneComponent* made = nullptr;

private:
    QTemporaryDir m_dir;
};

// The rows of a setting that were set (or not offered), without the reading.
std::vector<Row> rowsOf(const ReceiverReport& r, const QString& setting) {
    std::vector<Row> out;
    for (const Row& row : r.rows) {
        if (row.setting == setting && row.result != Result::Read) {
            out.push_back(row);
        }
    }
    return out;
}

// The frequency a row of the frequency survey asked for.
int64_t hzOf(const Row& row) {
    return row.entry.section(u' ', 0, 0).toLongLong();
}

// --- the simulated receiver: its tables are the profile's ---

TEST(CheckSim, EveryOfferedEntryWorksAndAllIsPutBack) {
    Table table;
    writeFile(table.path("corvane/small.json"), QJsonDocument(smallProfile()).toJson());
    table.drivers({QJsonObject{{"name", "Small"}, {"kind", "sim"}, {"profile", "small.json"}}});
    std::unique_ptr<receiver::Component> rx = table.factory()();
    rx->DrvSetup(QStringLiteral("Test"), 0);
    const Options options{.remote = true, .stepMs = 400, .listenMs = 300};
    ReceiverCheck check(*rx, 0, options);
    QElapsedTimer took;
    took.start();
    const ReceiverReport r = check.run();
    EXPECT_LE(took.elapsed(), options.boundMs());
    EXPECT_TRUE(r.clean()) << r.outcome.toStdString();
    EXPECT_EQ(r.romId, QStringLiteral("Test RX 1"));

    const SimReceiver& sim = static_cast<SimReceiver&>(*table.made->backend(0));
    const CapabilitiesPtr caps = sim.capabilities();
    for (const auto& mode : caps->modes) {
        const auto modeRows = rowsOf(r, QStringLiteral("mode"));
        const auto it = std::find_if(modeRows.begin(), modeRows.end(),
                                     [&](const Row& row) { return row.entry == mode.name; });
        ASSERT_NE(it, modeRows.end()) << mode.name.toStdString();
        EXPECT_EQ(it->result, mode.available ? Result::Works : Result::NotOffered);
        if (!mode.available) {
            continue;
        }
        const auto filters = rowsOf(r, QStringLiteral("filter in ") + mode.name);
        ASSERT_EQ(filters.size(), mode.filters.size()) << mode.name.toStdString();
        for (size_t i = 0; i < filters.size(); ++i) {
            EXPECT_TRUE(filters[i].entry.startsWith(QString::number(mode.filters[i].width)));
            EXPECT_EQ(filters[i].result, Result::Works);
        }
        const auto agc = rowsOf(r, QStringLiteral("AGC in ") + mode.name);
        ASSERT_EQ(agc.size(), caps->agc.size());
        for (size_t i = 0; i < agc.size(); ++i) {
            const auto& entry = caps->agc[i];
            const bool offered = entry.available && caps->agcAllowed(mode.code, entry.code);
            EXPECT_EQ(agc[i].result, offered ? Result::Works : Result::NotOffered)
                << mode.name.toStdString() << " " << entry.name.toStdString();
        }
    }
    for (const auto& [setting, list] :
         {std::pair{QStringLiteral("NB"), caps->nb}, {QStringLiteral("ATT"), caps->att}}) {
        ASSERT_EQ(rowsOf(r, setting).size(), list.size());
        for (const Row& row : rowsOf(r, setting)) {
            EXPECT_EQ(row.result, Result::Works) << row.entry.toStdString();
        }
    }
    // Inside the limits it tunes, one past either it does not.
    for (const Row& row : rowsOf(r, QStringLiteral("frequency"))) {
        const bool inside = hzOf(row) >= caps->frqMin && hzOf(row) <= caps->frqMax;
        EXPECT_EQ(row.result, inside ? Result::Works : Result::Refused) << row.entry.toStdString();
        if (inside && !row.note.contains(QLatin1String("in force"))) {
            EXPECT_GE(row.eventMs, 0);
            EXPECT_GE(row.readBackMs, 0);
        }
    }
    // As found: the profile's start, and the link let go.
    const Profile::Initial was = loadProfile(table.path("corvane/small.json"), {}).initial;
    EXPECT_EQ(sim.frequency(), was.freq);
    EXPECT_EQ(sim.current(Setting::Mode), was.mode);
    EXPECT_EQ(sim.current(Setting::Agc), was.agc);
    EXPECT_EQ(sim.current(Setting::NBl), was.nb);
    EXPECT_EQ(sim.current(Setting::Att), was.att);
    EXPECT_EQ(sim.filter(), was.filter);
    EXPECT_FALSE(sim.connected());

    // A deadline in the survey (here at the refused frequencies, each waited
    // for to the end): cut short, and still put back.
    const Options hurried{.remote = true, .stepMs = 2000, .listenMs = 300, .deadlineMs = 1200};
    ReceiverCheck short_(*rx, 0, hurried);
    took.restart();
    const ReceiverReport cut = short_.run();
    EXPECT_LT(took.elapsed(), 1200 + 7 * 2000);
    EXPECT_EQ(cut.outcome, QStringLiteral("deadline"));
    EXPECT_TRUE(cut.notPutBack.isEmpty()) << cut.notPutBack.join(", ").toStdString();
    EXPECT_LT(cut.rows.size(), r.rows.size());
    EXPECT_EQ(sim.frequency(), was.freq);
}

// The program: its table on standard output, the reports on disk, the exit
// status, and Ctrl-C, which ends the survey and still puts back.
TEST(CheckProgram, PrintsWritesAndPutsBackWhenInterrupted) {
    Table table; // the built-in receivers
    QStringList out;
    QStringList err;
    const check::Streams streams{[&](const QString& s) { out << s; },
                                 [&](const QString& s) { err << s; }};
    EXPECT_EQ(check::runCheck({"corvane-check", "Nothing"}, table.factory(), streams),
              check::Usage);
    EXPECT_TRUE(err.last().contains(QLatin1String("HF, VHF, BC"))) << err.last().toStdString();
    EXPECT_EQ(check::runCheck({"corvane-check", "HF", "--step-ms", "x"}, table.factory(), streams),
              check::Usage);

    // Read only: nothing set, and it says what would need --remote.
    out.clear();
    const QString dir = table.path("out");
    ASSERT_EQ(check::runCheck({"corvane-check", "HF", "--listen-ms", "700", "--out", dir},
                              table.factory(), streams),
              check::Clean);
    ASSERT_EQ(out.size(), 1);
    EXPECT_TRUE(out[0].contains(QLatin1String("HF (HF150 v2): complete, read only")));
    QFile json(dir + "/check.json");
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const auto reports = check::fromJson(QJsonDocument::fromJson(json.readAll()).object());
    ASSERT_EQ(reports.size(), 1u);
    for (const Row& row : reports[0].rows) {
        EXPECT_TRUE(row.result == Result::Read || row.result == Result::Works ||
                    row.note == QLatin1String("setting needs --remote"))
            << row.setting.toStdString();
    }
    // Two runs compare through the JSON: the same rows, whatever the times.
    EXPECT_EQ(check::tableText(reports[0]).count(u'\n'), out[0].count(u'\n'));
    QFile md(dir + "/check.md");
    ASSERT_TRUE(md.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(md.readAll()).count(QLatin1String("\n| ")),
              static_cast<qsizetype>(reports[0].rows.size()) + 1);

    // Ctrl-C in the survey: the rest is left, what was found is put back.
    out.clear();
    check::Interrupt interrupt;
    ASSERT_TRUE(interrupt.active());
    QTimer::singleShot(600, [] { std::raise(SIGINT); });
    EXPECT_EQ(check::runCheck({"corvane-check", "HF", "--remote", "--listen-ms", "200"},
                              table.factory(), streams, &interrupt),
              check::Interrupted);
    ASSERT_EQ(out.size(), 1);
    EXPECT_TRUE(out[0].contains(QLatin1String("interrupted"))) << out[0].toStdString();
    EXPECT_FALSE(out[0].contains(QLatin1String("not put back"))) << out[0].toStdString();
    EXPECT_EQ(out[0].count(QRegularExpression(QStringLiteral("\nput back .* works"))), 6);
}

// --- the virtual radio: what the check says against what the radio did ---

// What the radio holds, as its own front panel shows it.
struct Held {
    std::optional<vradio::Mode> mode;
    int filter = 0;
    std::optional<vradio::Agc> agc;
    int nb = 0;
    int att = 0;
    int64_t freq = 0;
};

Held heldBy(const vradio::Radio& r) {
    return {r.mode(), r.filterIndex(), r.agc(), r.nb(), r.attDb(), r.freq()};
}

class CheckVRadio : public ::testing::TestWithParam<VRig> {
protected:
    void SetUp() override {
        m_peer = std::make_unique<VRadioPeer>(GetParam());
        m_peer->start();
        ASSERT_FALSE(HasFatalFailure());
        m_table.drivers({m_peer->entry()});
        m_rx = m_table.factory()();
        m_rx->DrvSetup(QStringLiteral("Test"), 0);
    }
    void TearDown() override {
        m_rx.reset();
        // The workers end before the radio they talk to.
        EXPECT_TRUE(waitUntil([] { return hamlibplugin::WorkerThreads::running() == 0; }, 10000));
    }
    // Runs the check; `during` is told of each row with the radio's state then.
    ReceiverReport run(const Options& o, const std::function<void(const Row&)>& during = {}) {
        ReceiverCheck check(*m_rx, 0, o);
        check.onRow = [&](const Row& row) {
            m_steps.emplace_back(row, heldBy(*m_peer->radio));
            if (during) {
                during(row);
            }
        };
        QElapsedTimer took;
        took.start();
        ReceiverReport r = check.run();
        EXPECT_LE(took.elapsed(), o.boundMs()) << r.outcome.toStdString();
        return r;
    }
    // A mode the radio has and offers (the profile's tables, by protocol name).
    bool radioOffers(const QString& mode) const {
        const auto want = vradio::modeNamed(mode);
        const auto& modes = m_peer->radio->profile().modes;
        return want && std::any_of(modes.begin(), modes.end(), [&](const auto& m) {
                   return m.available && vradio::modeNamed(m.name) == want;
               });
    }
    // Every "works" and "refused" the check reported is what the radio did
    // at that step; every value said to be put back is what it holds now.
    void claimsHold(const Held& start) {
        const int32_t lo = m_rx->RxFrqMin(0);
        const int32_t hi = m_rx->RxFrqMax(0);
        const auto& profile = m_peer->radio->profile();
        Held before = start;
        for (const auto& [row, held] : m_steps) {
            const std::string what = (row.setting + u' ' + row.entry).toStdString();
            const bool works = row.result == Result::Works;
            if (row.setting == QLatin1String("mode") && row.result != Result::Read) {
                EXPECT_EQ(row.result, radioOffers(row.entry) ? Result::Works : Result::Refused)
                    << what;
                EXPECT_EQ(works, held.mode == vradio::modeNamed(row.entry)) << what;
            } else if (row.setting == QLatin1String("NB") && works) {
                EXPECT_EQ(held.nb != 0, row.entry != QLatin1String("Off")) << what;
            } else if (row.setting == QLatin1String("ATT") && works) {
                // In or out: how many dB an entry names is the backend's label.
                EXPECT_EQ(held.att != 0, row.entry.section(u' ', 0, 0).toInt() != 0) << what;
            } else if (row.setting == QLatin1String("frequency") && row.result != Result::Read &&
                       row.result != Result::Unavailable && row.result != Result::NotTried) {
                const int64_t hz = hzOf(row);
                const bool tunable =
                    hz >= lo && hz <= hi && hz >= profile.frqMin && hz <= profile.frqMax;
                EXPECT_EQ(row.result, tunable ? Result::Works : Result::Refused) << what;
                EXPECT_EQ(held.freq, tunable ? hz : before.freq) << what;
            }
            before = held;
        }
        // What it says of putting back (its last word on each value) is
        // what the radio holds now.
        const Held end = heldBy(*m_peer->radio);
        const struct {
            const char* what;
            bool same;
        } values[] = {{"mode", end.mode == start.mode},
                      {"NB", end.nb == start.nb},
                      {"ATT", end.att == start.att},
                      {"frequency", end.freq == start.freq}};
        for (const auto& v : values) {
            std::optional<Result> said;
            for (const auto& [row, held] : m_steps) {
                if (row.setting == QLatin1String("put back") &&
                    row.entry.startsWith(QLatin1String(v.what))) {
                    said = row.result;
                }
            }
            // Not tried, or no line to try on: that says nothing of the radio.
            if (said && *said != Result::NotTried && *said != Result::Unavailable) {
                EXPECT_EQ(*said == Result::Works, v.same) << v.what;
            }
        }
    }

    Table m_table;
    std::unique_ptr<VRadioPeer> m_peer;
    std::unique_ptr<receiver::Component> m_rx;
    std::vector<std::pair<Row, Held>> m_steps;
};

TEST_P(CheckVRadio, SaysWhatTheRadioDidAndPutsItBack) {
    const Held start = heldBy(*m_peer->radio);
    // Only monitored: read, and not one byte written.
    const ReceiverReport watched = run({.listenMs = 300});
    EXPECT_EQ(watched.outcome, QStringLiteral("complete"));
    EXPECT_TRUE(watched.romId.startsWith(QLatin1String(GetParam().romId)));
    EXPECT_EQ(m_peer->writes(), std::vector<QByteArray>{});
    for (const Row& row : watched.rows) {
        EXPECT_TRUE(row.setting == QLatin1String("link") ||
                    (row.result != Result::Works && row.result != Result::Refused))
            << row.setting.toStdString();
    }

    m_steps.clear();
    const ReceiverReport r = run({.remote = true, .listenMs = 300});
    // Whether all went back is the radio's and its backend's affair; that the
    // check says so truly is claimsHold's.
    EXPECT_EQ(r.outcome, QStringLiteral("complete"));
    EXPECT_GT(r.count(Result::Works), 0);
    claimsHold(start);
    EXPECT_FALSE(m_rx->RxConnected(0)) << "the check connected it and lets it go";
}

INSTANTIATE_TEST_SUITE_P(Check, CheckVRadio, ::testing::ValuesIn(rigs), [](const auto& info) {
    return QString::fromLatin1(info.param.radio).remove('-').toStdString();
});

// A radio that misbehaves mid-check: the check ends within its bound, puts
// back what it can, says what it could not, and claims nothing the radio
// did not do.
struct Misbehaving {
    const char* name;
    const char* fault; // given at the front panel once a few steps are done
    const char* undo;  // given undoMs later; "" never
    int undoMs;
    const char* outcome; // "" any
    bool allPutBack;
};

class CheckFaults : public CheckVRadio {};

TEST_P(CheckFaults, EndInTimeAndSayWhatWasNotPutBack) {
    const Options o{
        .remote = true, .stepMs = 2000, .listenMs = 200, .deadlineMs = 20000, .linkBackMs = 6000};
    for (const Misbehaving& m : {
             Misbehaving{"unplugged for good", "unplug", "", 0, "link lost", false},
             Misbehaving{"unplugged and back", "unplug", "replug", 500, "link lost", true},
             // Long enough to be taken for a radio switched off.
             Misbehaving{"silent for a while", "silent on", "silent off", 2500, "link lost", true},
             Misbehaving{"garbage for a while", "garbage on", "garbage off", 500, "", true},
             Misbehaving{"slow for a while", "slow 40", "slow 0", 3000, "", true},
         }) {
        SCOPED_TRACE(m.name);
        const Held start = heldBy(*m_peer->radio);
        m_steps.clear();
        int modes = 0;
        const ReceiverReport r = run(o, [&](const Row& row) {
            if (row.setting == QLatin1String("mode") && row.result != Result::Read &&
                ++modes == 2) {
                m_peer->panel(QLatin1String(m.fault));
                if (*m.undo != '\0') {
                    QTimer::singleShot(m.undoMs,
                                       [this, m] { m_peer->panel(QLatin1String(m.undo)); });
                }
            }
        });
        if (*m.outcome != '\0') {
            EXPECT_EQ(r.outcome, QLatin1String(m.outcome));
        }
        // A line that came back in time leaves nothing out for want of it.
        const bool lineMissing = r.notPutBack.join(u' ').contains(QLatin1String("no link"));
        EXPECT_EQ(lineMissing, !m.allPutBack) << r.notPutBack.join(", ").toStdString();
        claimsHold(start);
        if (!m.allPutBack) {
            EXPECT_EQ(r.notPutBack.size(), 6);
            m_peer->panel(QStringLiteral("replug"));
        }
    }
}

// --pull-the-plug: the test is the operator, doing what the prompts ask when
// they ask it; the check times how long the component takes to notice.
TEST_P(CheckFaults, ADeadLineIsTimedOnTheOperatorsCountdown) {
    const Options o{.listenMs = 200, .pullThePlug = true, .countdownS = 1, .plugWaitMs = 8000};
    ReceiverCheck check(*m_rx, 0, o);
    QStringList prompts;
    check.progress = [&](const QString& line) {
        prompts << line;
        if (line.contains(QLatin1String(": now: "))) {
            m_peer->panel(QStringLiteral("unplug"));
        } else if (line.contains(QLatin1String("switch the radio on again"))) {
            m_peer->panel(QStringLiteral("replug"));
        }
    };
    QElapsedTimer took;
    took.start();
    const ReceiverReport r = check.run();
    EXPECT_LE(took.elapsed(), o.boundMs());
    EXPECT_EQ(r.outcome, QStringLiteral("complete"));
    EXPECT_EQ(prompts.filter(QRegularExpression(QStringLiteral(": 1$"))).size(), 1);
    const auto dead = rowsOf(r, QStringLiteral("dead line"));
    ASSERT_EQ(dead.size(), 2u);
    EXPECT_EQ(dead[0].entry, QStringLiteral("switched off"));
    EXPECT_EQ(dead[0].result, Result::Works) << dead[0].note.toStdString();
    // A pulled cable is noticed at the next call to the radio.
    EXPECT_GE(dead[0].eventMs, 0);
    EXPECT_LE(dead[0].eventMs, 3000);
    EXPECT_TRUE(dead[0].note.startsWith(QLatin1String("RxConnState -")))
        << dead[0].note.toStdString();
    EXPECT_EQ(dead[1].result, Result::Works) << dead[1].note.toStdString();
    EXPECT_GE(dead[1].readBackMs, 0);
}

INSTANTIATE_TEST_SUITE_P(Check, CheckFaults, ::testing::Values(rigs[0], rigs[2]),
                         [](const auto& info) {
                             return QString::fromLatin1(info.param.radio).remove('-').toStdString();
                         });

} // namespace
} // namespace corvane::testsupport

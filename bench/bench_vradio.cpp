// What the user waits for between a typed frequency and the radio's answer on
// the window, through Hamlib's real backends and the virtual radio running as
// a program of its own, at 9600, 19200 and 115200 baud (the IC-R75 goes no
// faster than 19200, so it has no 115200 row, and the TS-2000's fastest is 57600).
//
//   build/bench/bench_vradio --benchmark_counters_tabular=true
//
// How to read it, one row per radio and speed:
//   floor_ms  the line's own time for the shortest set and read of a frequency:
//             their bytes both ways (CI-V 11 + 6 + 6 + 11, Kenwood 14 + 3 + 14)
//             times 10 bits over the speed. Nothing that sets and then reads
//             back over that line can be faster.
//   prog_ms   median, from the window's setRxFrq call on the component made by
//             makeComponent to the RxFrqUpdated of that frequency on the window's
//             thread. Sets land at random moments of the receiver's 300 ms
//             poll, as a user's do. The Time column is this value.
//   rigctl_ms median of the same set and read-back ("F <f>", then "f") through
//             rigctl kept open on a second virtual radio of the same model and
//             speed (two programs cannot share one terminal), timed from writing
//             the commands to reading the answer of "f". One rigctl sample is
//             taken beside each of the program's, in alternating order, so both
//             see the same load on the machine.
//   x_floor, x_rigctl   prog_ms over floor_ms and over rigctl_ms.
//   prog_B, rigctl_B    median bytes the exchange took on the line, both ways,
//             CI-V's echo left out, from the commands the radio logs (--log).
//             For the program only sets that had the line to themselves (no
//             poll under way or begun meanwhile) are counted, and only commands
//             heard until the event; counted is how many of the samples. A rigctl whose read-back
//             comes from Hamlib's cache shows it here: it never reaches the line. With
//             BENCH_VRADIO_SHOW set, the commands of a typical exchange of each
//             go to standard error.
//
// BM_FilterSetToEvent does the same for a filter: setRxFlt to RxFltUpdated
// between two filters of LSB. On the two Icoms against rigctl's
// "M LSB <width>" and "m", with CI-V's 06 and 04 and their answers as the
// floor (8 + 6 + 6 + 8 bytes); on the Kenwoods alone (Hamlib has no filter
// choice there), floor "SH05;", "SH;", "SH05;" (13 bytes).
//
// The stall measurement at the end runs the virtual radio the same way and
// measures the longest the window's thread went without turning its loop.
#include "bench/Children.h"
#include "bench/WireBytes.h"
#include "component/core/Factory.h"
#include "receiver/RuntimeError.h"
#include "tests/support/HamlibPeers.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include <benchmark/benchmark.h>

namespace corvane::bench {
namespace {

using testsupport::idle;
using testsupport::waitUntil;
using vradio::Protocol;
using vradio::RadioModel;

const char* const radios[] = {"IC-R75", "IC-7300", "TS-2000", "TS-590SG"};
constexpr int samplesPerCell = 21;
constexpr int warmUpPairs = 2;
constexpr int pollMs = 300; // the receiver's fast poll
constexpr int32_t frequencies[] = {7100000, 7150000};

// Bytes of the shortest set and read of a frequency, both ways; of a CI-V
// filter, 06 <mode> <filter> and its FB, 04 and its answer.
int floorBytes(Protocol protocol, bool filter = false) {
    if (filter) {
        // CI-V: 06 and its OK, 04 and its answer. Kenwood: "SH05;", "SH;", "SH05;".
        return protocol == Protocol::CiV ? 8 + 6 + 6 + 8 : 13;
    }
    return protocol == Protocol::CiV ? 11 + 6 + 6 + 11 : 14 + 3 + 14;
}
// The two filters of LSB a filter set goes between: the IC-R75's narrow and
// normal, the IC-7300's FIL2 and FIL1 (the one each starts in last), two high
// cuts both Kenwoods have.
int32_t filterWidths(const RadioModel& model, int i) {
    if (model.protocol == Protocol::Kenwood) {
        return i == 0 ? 2400 : 2600;
    }
    return model.hamlibModel == 3039 ? (i == 0 ? 1900 : 2400) : (i == 0 ? 2400 : 3000);
}

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString found(const char* program) {
    return QStandardPaths::findExecutable(QString::fromLatin1(program));
}

// One program sample: when the set went, when its event came, and where the
// radio's log stood a little before.
struct Mark {
    Clock::time_point sent;
    Clock::time_point seen;
    size_t logFrom = 0;
};

// What the radio heard during one sample, and the bytes it took on the line.
struct Exchange {
    void add(const QByteArray& line, int b) {
        heard.append(line);
        bytes += b;
    }
    QByteArrayList heard;
    int bytes = 0;
};

// The median of the exchanges' bytes, and the commands of one exchange of
// that many bytes (or the nearest), to show what a typical one consists of.
std::pair<double, QByteArray> typical(const std::vector<Exchange>& exchanges) {
    std::vector<double> bytes;
    for (const Exchange& e : exchanges) {
        bytes.push_back(e.bytes);
    }
    const double m = median(bytes);
    const auto nearest = std::min_element(exchanges.begin(), exchanges.end(),
                                          [&](const Exchange& a, const Exchange& b) {
                                              return std::abs(a.bytes - m) < std::abs(b.bytes - m);
                                          });
    return {m, nearest == exchanges.end() ? QByteArray() : nearest->heard.join(", ")};
}

// One radio and speed: two virtual radios, the component on one and rigctl
// kept open on the other. Members end in reverse order: rigctl and the
// component let go of their terminals before the radios go.
class Cell {
public:
    Cell(const RadioModel& model, int baud) : m_model(model), m_baud(baud), m_bytes(model) {}

    bool start(QString* why) {
        if (!m_dir.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        const QString rigctl = found("rigctl");
        if (rigctl.isEmpty()) {
            *why = QStringLiteral("rigctl is not installed");
            return false;
        }
        m_ours = startRadio(QStringLiteral("ours"));
        m_theirs = startRadio(QStringLiteral("theirs"));
        if (!m_ours || !m_theirs) {
            *why = QStringLiteral("the virtual radio did not start");
            return false;
        }
        m_rigctl = std::make_unique<RigctlShell>(rigctl.toLocal8Bit(), m_model.hamlibModel,
                                                 m_dir.filePath("theirs"), m_baud);
        // Its first answer: it has opened the radio.
        if (!m_rigctl->started() ||
            !m_rigctl->exchange(
                "f\n", [](const QByteArray& l) { return l.startsWith("f "); }, 10000)) {
            *why = QStringLiteral("rigctl did not answer");
            return false;
        }
        return connect(why);
    }

    double floorMs(bool filter) const {
        return floorBytes(m_model.protocol, filter) * 10000.0 / m_baud;
    }

    // setRxFrq to the RxFrqUpdated of that frequency (setRxFlt to the
    // RxFltUpdated of that width); false when none came.
    bool program(int32_t hz, bool filter) {
        Mark mark;
        mark.logFrom = m_ours->logSize();
        QEventLoop loop;
        bool seen = false;
        const auto arrived = [&](int16_t index, int32_t value) {
            if (index == 0 && value == hz && !seen) {
                mark.seen = Clock::now();
                seen = true;
                loop.quit();
            }
        };
        const auto watch =
            filter ? QObject::connect(m_component.get(), &receiver::Component::RxFltUpdated, &loop,
                                      arrived)
                   : QObject::connect(
                         m_component.get(), &receiver::Component::RxFrqUpdated, &loop,
                         [&](int16_t index, int32_t freq, int32_t) { arrived(index, freq); });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        mark.sent = Clock::now();
        if (filter) {
            m_component->setRxFlt(0, hz);
        } else {
            m_component->setRxFrq(0, 0, hz);
        }
        if (!seen) {
            loop.exec();
        }
        QObject::disconnect(watch);
        if (seen) {
            m_program.push_back(mark);
        }
        return seen;
    }

    // "F <hz>", "f" to rigctl; false unless it read back `hz`. For a
    // filter, "M LSB <hz>", "m", whose answer's second line is the width.
    bool rigctl(int32_t hz, bool filter) {
        const QByteArray want = QByteArray::number(hz);
        m_rigctlLogFrom.push_back(m_theirs->logSize());
        const Clock::time_point sent = Clock::now();
        bool mode = false;
        const auto lines = filter ? m_rigctl->exchange(
                                        "M LSB " + want + "\nm\n",
                                        [&](const QByteArray& l) {
                                            const bool width = mode;
                                            mode = l.startsWith("m ");
                                            return width;
                                        },
                                        5000)
                                  : m_rigctl->exchange(
                                        "F " + want + "\nf\n",
                                        [](const QByteArray& l) {
                                            return l.startsWith("f ") && l.trimmed().size() > 2;
                                        },
                                        5000);
        const Clock::time_point seen = Clock::now();
        if (!lines || !(lines->last().trimmed().endsWith(" " + want) ||
                        (filter && lines->last().trimmed() == want))) {
            return false;
        }
        m_rigctlMs.push_back(msBetween(sent, seen));
        return true;
    }

    // Drops what was measured so far (the warm-up).
    void forget() {
        m_program.clear();
        m_rigctlMs.clear();
        m_rigctlLogFrom.clear();
    }

    std::vector<double> programMs() const {
        std::vector<double> out;
        for (const Mark& m : m_program) {
            out.push_back(msBetween(m.sent, m.seen));
        }
        return out;
    }
    const std::vector<double>& rigctlMs() const { return m_rigctlMs; }

    // Each program sample that had the line to itself: the commands heard
    // after the set and up to its event. Left out are sets that came while
    // a poll was under way (a command heard shortly before: within a poll,
    // the next command follows the longest answer within about 45 byte
    // times) and sets during which a poll began (the poll reads the S-meter,
    // a set never does).
    std::vector<Exchange> programExchanges() {
        const auto quiet = std::chrono::microseconds(20000 + 45 * 10000000LL / m_baud);
        const QByteArray meter =
            m_model.protocol == Protocol::CiV ? QByteArray("read 15 02") : QByteArray("read SM");
        std::vector<Exchange> out;
        for (const Mark& m : m_program) {
            // A few lines back: one stamped late may belong before the set.
            const std::vector<Stamped> log = m_ours->log(m.logFrom > 8 ? m.logFrom - 8 : 0);
            const auto before = [&](const Stamped& s) {
                return s.at <= m.sent && s.at >= m.sent - quiet;
            };
            const auto during = [&](const Stamped& s) { return s.at > m.sent && s.at <= m.seen; };
            if (std::any_of(log.begin(), log.end(), before) ||
                std::any_of(log.begin(), log.end(), [&](const Stamped& s) {
                    return during(s) && s.text.startsWith(meter);
                })) {
                continue;
            }
            Exchange e;
            for (const Stamped& s : log) {
                if (during(s)) {
                    e.add(s.text, m_bytes.of(s.text));
                }
            }
            out.push_back(e);
        }
        return out;
    }

    // Each rigctl sample: everything its radio heard until the next.
    std::vector<Exchange> rigctlExchanges() {
        std::vector<Exchange> out;
        const std::vector<Stamped> log = m_theirs->log(0);
        for (size_t i = 0; i < m_rigctlLogFrom.size(); ++i) {
            const size_t to = i + 1 < m_rigctlLogFrom.size() ? m_rigctlLogFrom[i + 1] : log.size();
            Exchange e;
            for (size_t j = m_rigctlLogFrom[i]; j < to && j < log.size(); ++j) {
                e.add(log[j].text, m_bytes.of(log[j].text));
            }
            out.push_back(e);
        }
        return out;
    }

private:
    std::unique_ptr<VradioProcess> startRadio(const QString& link) {
        auto radio = std::make_unique<VradioProcess>(CORVANE_VRADIO, m_model.name, m_baud,
                                                     m_dir.filePath(link), true);
        return radio->waitForTerminal(5000).isEmpty() ? nullptr : std::move(radio);
    }

    // The window's way: a driver table with the one receiver, DrvSetup, then
    // connect and take remote control, and wait for both.
    bool connect(QString* why) {
        const QString config = m_dir.filePath("config");
        QDir().mkpath(config + "/corvane");
        QFile table(config + "/corvane/Test.json");
        table.open(QIODevice::WriteOnly);
        table.write(QJsonDocument(QJsonObject{{"drivers", QJsonArray{QJsonObject{
                                                              {"name", m_model.name},
                                                              {"kind", "hamlib"},
                                                              {"model", m_model.hamlibModel},
                                                              {"port", m_dir.filePath("ours")},
                                                              {"speed", m_baud},
                                                          }}}})
                        .toJson());
        table.close();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        try {
            m_component = component::makeComponent();
            m_component->DrvSetup(QStringLiteral("Test"), 0);
            m_component->RxConnect(0, -1);
            if (!waitUntil([&] { return m_component->RxConnected(0) != 0; }, 10000)) {
                *why = QStringLiteral("the receiver did not connect");
                return false;
            }
            m_component->RxRemote(0, -1);
            if (!waitUntil([&] { return m_component->RxIsRemote(0) != 0; }, 5000)) {
                *why = QStringLiteral("no remote control");
                return false;
            }
        } catch (const receiver::RuntimeError& e) {
            *why = e.description();
            return false;
        }
        idle(1000); // the first full reading of the radio
        return true;
    }

    const RadioModel& m_model;
    const int m_baud;
    QTemporaryDir m_dir;
    WireBytes m_bytes;
    std::unique_ptr<VradioProcess> m_ours;
    std::unique_ptr<VradioProcess> m_theirs;
    std::unique_ptr<receiver::Component> m_component;
    std::unique_ptr<RigctlShell> m_rigctl;
    std::vector<Mark> m_program;
    std::vector<double> m_rigctlMs;
    std::vector<size_t> m_rigctlLogFrom;
};

void setToEvent(benchmark::State& state, bool filter) {
    const RadioModel& model = *vradio::findRadioModel(QString::fromLatin1(radios[state.range(0)]));
    const int baud = static_cast<int>(state.range(1));
    state.SetLabel(QStringLiteral("%1 %2").arg(model.name).arg(baud).toStdString());
    Cell cell(model, baud);
    QString why;
    if (!cell.start(&why)) {
        state.SkipWithError(why.toStdString().c_str());
        return;
    }
    // Hamlib 4.5.4 has no filter choice on the Kenwoods: rigctl has nothing
    // to compare there.
    const bool compared = !filter || model.protocol == Protocol::CiV;
    // A fixed seed: the same moments of the poll on every run.
    std::mt19937 random(static_cast<unsigned>(baud + state.range(0)));
    std::uniform_int_distribution<int> phase(0, pollMs - 1);
    for (auto _ : state) {
        for (int i = -warmUpPairs; i < samplesPerCell; ++i) {
            if (i == 0) {
                cell.forget();
            }
            const int32_t hz = filter ? filterWidths(model, i & 1) : frequencies[i & 1];
            // In alternating order, so that neither always runs first.
            for (const bool ours : {(i & 1) == 0, (i & 1) != 0}) {
                if (!ours && !compared) {
                    continue;
                }
                // Also lets the window's thread catch up on what queued while
                // rigctl had it waiting.
                idle(ours ? phase(random) : 20);
                if (!(ours ? cell.program(hz, filter) : cell.rigctl(hz, filter))) {
                    state.SkipWithError(ours ? "no event of the value set"
                                             : "rigctl did not read the value back");
                    return;
                }
            }
        }
        idle(50); // the last commands heard reach their log
        state.SetIterationTime(median(cell.programMs()) / 1000);
    }
    const double prog = median(cell.programMs());
    const double rigctl = compared ? median(cell.rigctlMs()) : 0;
    const std::vector<Exchange> counted = cell.programExchanges();
    const auto [progBytes, ours] = typical(counted);
    const auto [rigctlBytes, theirs] = typical(cell.rigctlExchanges());
    if (qEnvironmentVariableIsSet("BENCH_VRADIO_SHOW")) {
        QByteArrayList each;
        for (const Exchange& e : counted) {
            each.append(QByteArray::number(e.bytes));
        }
        std::fprintf(stderr,
                     "%s %d: the program's set: %s (bytes of each counted: %s); rigctl's: %s\n",
                     qPrintable(model.name), baud, ours.constData(), each.join(' ').constData(),
                     theirs.constData());
    }
    state.counters["floor_ms"] = cell.floorMs(filter);
    state.counters["prog_ms"] = prog;
    state.counters["rigctl_ms"] = rigctl;
    state.counters["x_floor"] = prog / cell.floorMs(filter);
    if (compared) {
        state.counters["x_rigctl"] = prog / rigctl;
    }
    state.counters["prog_B"] = progBytes;
    state.counters["counted"] = static_cast<double>(counted.size());
    state.counters["rigctl_B"] = rigctlBytes;
}

// 9600 and 19200, and each radio's fastest above them: the IC-R75 has none,
// the TS-2000 57600, the others 115200.
void speeds(benchmark::internal::Benchmark* b) {
    for (int radio = 0; radio < 4; ++radio) {
        for (const int baud : {9600, 19200, radio == 2 ? 57600 : 115200}) {
            if (radio != 0 || baud <= 19200) {
                b->Args({radio, baud});
            }
        }
    }
}
void BM_SetToEvent(benchmark::State& state) {
    setToEvent(state, false);
}
BENCHMARK(BM_SetToEvent)
    ->Apply(speeds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// A filter chosen on the Icoms: the program by number in the radio's mode
// command, rigctl by a width (Hamlib 4.5.4 stores it in the IC-7300's
// filter in use with 1A 03). On the Kenwoods the program's high cut (SH)
// alone, at the speeds each radio has.
void BM_FilterSetToEvent(benchmark::State& state) {
    setToEvent(state, true);
}
void filterSpeeds(benchmark::internal::Benchmark* b) {
    for (int radio = 0; radio < 2; ++radio) {
        for (const int baud : {9600, 19200, 115200}) {
            if (radio != 0 || baud <= 19200) {
                b->Args({radio, baud});
            }
        }
    }
    b->Args({2, 9600})->Args({2, 57600})->Args({3, 9600})->Args({3, 115200});
}
BENCHMARK(BM_FilterSetToEvent)
    ->Apply(filterSpeeds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// The longest the window's thread went without turning its event loop while
// a connected receiver is idle, then while its radio goes silent (until the
// link is reported lost and tried again), answers slowly (20 ms a byte) and is
// unplugged: counters idle_ms, silent_ms, slow_ms, unplugged_ms.
void BM_StallWhileTheRadioMisbehaves(benchmark::State& state) {
    using namespace testsupport;
    const char* name = radios[state.range(0)];
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString link = dir.filePath("radio");
        VradioProcess radio(CORVANE_VRADIO, QString::fromLatin1(name), 19200, link, false);
        const RadioModel* model = vradio::findRadioModel(QString::fromLatin1(name));
        Recorder sink;
        if (radio.waitForTerminal(5000).isEmpty()) {
            state.SkipWithError("the virtual radio did not start");
            return;
        }
        const auto rx = makeBackend(
            entryFrom(QStringLiteral(R"({"name": "V", "kind": "hamlib", "model": %1, "port": "%2",
                "speed": 19200})")
                          .arg(model->hamlibModel)
                          .arg(link)
                          .toUtf8()
                          .constData()),
            sink);
        rx->connect(true);
        if (!waitUntil([&] { return rx->connected() && rx->frequency() > 0; }, 8000)) {
            state.SkipWithError("the radio did not connect");
            return;
        }
        rx->setRemote(true);
        const auto stall = [&](const QByteArray& on, const QByteArray& off, int ms) {
            radio.command(on);
            Watchdog watchdog;
            idle(ms);
            const qint64 longest = watchdog.longestMs();
            radio.command(off);
            waitUntil([&] { return rx->connected(); }, 8000);
            return double(longest);
        };
        state.counters["idle_ms"] = stall("status", "status", 3000);
        state.counters["silent_ms"] = stall("silent on", "silent off", 3000);
        state.counters["slow_ms"] = stall("slow 20", "slow 0", 3000);
        state.counters["unplugged_ms"] = stall("unplug", "replug", 3000);
    }
    state.SetLabel(name);
}
BENCHMARK(BM_StallWhileTheRadioMisbehaves)
    ->Arg(0)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The dead line: from the radio falling silent (its console's `silent on`) to
// the RxConnState that turns the window's indicator red, on the window's
// thread, through the component; the moments land at random in the poll.
// Then the same radio on a slow line (`slow 20`: 20 ms a byte at 9600 baud)
// for a while, which must never be taken for a dead one. Counters: red_ms
// (median), red_max_ms, runs, slow_losses.
void BM_SilentToRed(benchmark::State& state) {
    const RadioModel& model = *vradio::findRadioModel(QString::fromLatin1(radios[state.range(0)]));
    constexpr int baud = 9600;
    constexpr int runs = 9;
    state.SetLabel(QStringLiteral("%1 %2").arg(model.name).arg(baud).toStdString());
    QTemporaryDir dir;
    VradioProcess radio(CORVANE_VRADIO, model.name, baud, dir.filePath("radio"), false);
    if (radio.waitForTerminal(5000).isEmpty()) {
        state.SkipWithError("the virtual radio did not start");
        return;
    }
    const QString config = dir.filePath("config");
    QDir().mkpath(config + "/corvane");
    QFile table(config + "/corvane/Test.json");
    table.open(QIODevice::WriteOnly);
    table.write(QJsonDocument(QJsonObject{{"drivers", QJsonArray{QJsonObject{
                                                          {"name", model.name},
                                                          {"kind", "hamlib"},
                                                          {"model", model.hamlibModel},
                                                          {"port", dir.filePath("radio")},
                                                          {"speed", baud},
                                                      }}}})
                    .toJson());
    table.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    std::unique_ptr<receiver::Component> c = component::makeComponent();
    c->DrvSetup(QStringLiteral("Test"), 0);
    std::vector<int32_t> states; // every RxConnState's Err, in order
    QObject::connect(c.get(), &receiver::Component::RxConnState,
                     [&](int16_t, int32_t err) { states.push_back(err); });
    c->RxConnect(0, -1);
    if (!waitUntil([&] { return c->RxConnected(0) != 0; }, 10000)) {
        state.SkipWithError("the receiver did not connect");
        return;
    }
    idle(1000);
    std::mt19937 random(static_cast<unsigned>(state.range(0)));
    std::uniform_int_distribution<int> phase(0, pollMs - 1);
    std::vector<double> red;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            idle(phase(random));
            const size_t from = states.size();
            const auto lost = [&] {
                return std::any_of(states.begin() + static_cast<std::ptrdiff_t>(from), states.end(),
                                   [](int32_t e) { return e != 1000; });
            };
            const Clock::time_point silent = Clock::now();
            radio.command("silent on");
            if (!waitUntil(lost, 5000)) {
                state.SkipWithError("the silent radio was never reported lost");
                return;
            }
            red.push_back(msBetween(silent, Clock::now()));
            radio.command("silent off");
            if (!waitUntil([&] { return c->RxConnected(0) != 0; }, 10000)) {
                state.SkipWithError("the radio did not come back");
                return;
            }
            idle(500);
        }
        state.SetIterationTime(median(red) / 1000);
    }
    const size_t from = states.size();
    radio.command("slow 20");
    idle(8000);
    radio.command("slow 0");
    state.counters["red_ms"] = median(red);
    state.counters["red_max_ms"] = *std::max_element(red.begin(), red.end());
    state.counters["runs"] = static_cast<double>(red.size());
    state.counters["slow_losses"] =
        static_cast<double>(std::count_if(states.begin() + static_cast<std::ptrdiff_t>(from),
                                          states.end(), [](int32_t e) { return e != 1000; }));
}
BENCHMARK(BM_SilentToRed)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
} // namespace corvane::bench

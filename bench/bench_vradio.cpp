// A typed frequency to the event that shows it, through Hamlib's real backends
// and the virtual radio at 9600, 19200 and 115200 baud, against the floor that
// the bytes of one set and one read impose on the line, and against rigctl
// doing the same set and read from the shell on the same virtual radio.
//
//   bench_vradio --benchmark_counters_tabular=true
#include "tests/support/HamlibPeers.h"

#include "vradio/FrontPanel.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/prctl.h>

#include <benchmark/benchmark.h>

static void initProfiles() {
    Q_INIT_RESOURCE(profiles);
}

namespace corvane::testsupport {
namespace {

using namespace corvane::vradio;

const char* const radios[] = {"IC-R75", "IC-7300", "TS-2000", "TS-590SG"};

// Bytes of the shortest set and read of a frequency: CI-V's set (11, its echo
// on the line at the same time) and OK (6), read (6) and answer (11); Kenwood's
// FA set (14), FA; (3) and its answer (14).
int floorBytes(Protocol protocol) {
    return protocol == Protocol::CiV ? 11 + 6 + 6 + 11 : 14 + 3 + 14;
}

struct Bench {
    QTemporaryDir dir;
    RealClock clock;
    const RadioModel* model;
    Radio radio;
    std::unique_ptr<Engine> engine;
    Line line;

    Bench(const char* name, int baud)
        : model(findRadioModel(QString::fromLatin1(name))),
          radio((initProfiles(), loadProfile(QStringLiteral("builtin:hf"), {})), clock),
          engine(makeEngine(radio, *model)), line(*engine, baud, dir.filePath("radio")) {}
    QString port() const { return dir.filePath("radio"); }
    double byteMs() const { return 10000.0 / line.baud(); }
    // Opens the radio's line, or marks the benchmark skipped with the reason.
    bool open(benchmark::State& state) {
        QString error;
        if (!line.open(&error)) {
            state.SkipWithError(error.toStdString().c_str());
            return false;
        }
        return true;
    }
};

void BM_SetToEvent(benchmark::State& state) {
    const char* name = radios[state.range(0)];
    const int baud = static_cast<int>(state.range(1));
    Bench b(name, baud);
    if (!b.open(state)) {
        return;
    }
    Recorder sink;
    const auto rx = makeBackend(
        entryFrom(QStringLiteral(R"({"name": "V", "kind": "hamlib", "model": %1, "port": "%2",
            "speed": %3})")
                      .arg(b.model->hamlibModel)
                      .arg(b.port())
                      .arg(baud)
                      .toUtf8()
                      .constData()),
        sink);
    rx->connect(true);
    if (!waitUntil([&] { return rx->connected() && rx->frequency() > 0; }, 8000) ||
        rx->setRemote(true) != 0) {
        state.SkipWithError("the radio did not connect");
        return;
    }
    int32_t f = 7000000;
    uint64_t bytes = 0;
    for (auto _ : state) {
        f += 10;
        const size_t from = sink.events.size();
        const uint64_t before = b.line.bytesIn() + b.line.bytesOut();
        QElapsedTimer t;
        t.start();
        rx->setFrequency(f, Origin::Program);
        const bool seen = waitUntil(
            [&] {
                const auto frq = sink.of(Kind::Frq, from);
                return !frq.empty() && frq.back().freq() == f;
            },
            5000);
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        bytes += b.line.bytesIn() + b.line.bytesOut() - before;
        if (!seen) {
            state.SkipWithError("no event");
            break;
        }
        idle(20); // lets a poll that was under way end before the next set
    }
    state.SetLabel(QStringLiteral("%1 %2 baud").arg(QLatin1String(name)).arg(baud).toStdString());
    state.counters["floor_ms"] = floorBytes(b.model->protocol) * b.byteMs();
    // What crossed the pty per set (a poll may add its share), with CI-V's
    // echo counted as the bytes it repeats.
    state.counters["bytes"] = benchmark::Counter(double(bytes), benchmark::Counter::kAvgIterations);
}
// The IC-R75 goes no faster than 19200 baud.
void speeds(benchmark::internal::Benchmark* b) {
    for (int radio = 0; radio < 4; ++radio) {
        for (const int baud : {9600, 19200, 115200}) {
            if (radio != 0 || baud <= 19200) {
                b->Args({radio, baud});
            }
        }
    }
}

BENCHMARK(BM_SetToEvent)
    ->Apply(speeds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(30);

// rigctl -m <model> -r <pty> -s <baud> F <f> f, from the shell: it opens the
// radio (as the program did once, at connecting), sets, reads and closes.
void BM_Rigctl(benchmark::State& state) {
    const char* name = radios[state.range(0)];
    const int baud = static_cast<int>(state.range(1));
    Bench b(name, baud);
    if (!b.open(state)) {
        return;
    }
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int f = 7000000;
    for (auto _ : state) {
        f += 10;
        QElapsedTimer t;
        t.start();
        const pid_t pid = spawn(QStringLiteral("rigctl"),
                                {"-m", QString::number(b.model->hamlibModel), "-r", b.port(), "-s",
                                 QString::number(baud), "F", QString::number(f), "f"},
                                quiet);
        // The virtual radio answers from this thread's event loop meanwhile.
        bool ended = false; // waitpid reaps once: remember it
        if (pid > 0) {
            waitUntil([&] { return ended = ended || ::waitpid(pid, nullptr, WNOHANG) == pid; },
                      20000);
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        if (!ended || b.radio.freq() != f) {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                reap(pid, 1000);
            }
            state.SkipWithError("rigctl did not set the frequency");
            break;
        }
    }
    ::close(quiet);
    state.SetLabel(QStringLiteral("%1 %2 baud").arg(QLatin1String(name)).arg(baud).toStdString());
    state.counters["floor_ms"] = floorBytes(b.model->protocol) * b.byteMs();
}
BENCHMARK(BM_Rigctl)->Apply(speeds)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The virtual radio as a program of its own, so that only the receiver's
// side runs on this (the window's) thread; commands go to its front panel.
class RadioProcess {
public:
    RadioProcess(const QString& radio, int baud, const QString& link) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        const QByteArray program = CORVANE_VRADIO;
        const QByteArray args[] = {
            program, "-r", radio.toUtf8(), "-s", QByteArray::number(baud), "-l", link.toUtf8()};
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(fds[0], STDIN_FILENO);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            std::vector<char*> argv;
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[0]);
        m_in = fds[1];
        waitUntil([&] { return QFile::exists(link); }, 5000);
    }
    ~RadioProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            reap(m_pid, 2000);
        }
        if (m_in >= 0) {
            ::close(m_in);
        }
    }
    void command(const QByteArray& line) {
        const QByteArray text = line + '\n';
        (void)!::write(m_in, text.constData(), static_cast<size_t>(text.size()));
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
};

// The longest the window's thread went without turning its event loop while
// a connected receiver is idle, then while its radio goes silent (until the
// link is reported lost and tried again), answers slowly (20 ms a byte) and is
// unplugged: counters idle_ms, silent_ms, slow_ms, unplugged_ms.
void BM_StallWhileTheRadioMisbehaves(benchmark::State& state) {
    const char* name = radios[state.range(0)];
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString link = dir.filePath("radio");
        RadioProcess radio(QString::fromLatin1(name), 19200, link);
        const RadioModel* model = findRadioModel(QString::fromLatin1(name));
        Recorder sink;
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

} // namespace
} // namespace corvane::testsupport

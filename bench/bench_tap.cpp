// What the tap adds to a round trip: a program asks the virtual radio for its
// frequency and reads the whole answer, directly on the radio's terminal and
// through corvane-vradio --tap (recording into a capture), on two radios of
// the same model and speed run as programs of their own (two programs cannot
// share one terminal). The samples alternate between the two, so both see
// the same load on the machine.
//
//   build/bench/bench_tap --benchmark_counters_tabular=true
//
// One row per radio and speed:
//   direct_ms  median round trip on the radio's own terminal
//   tap_ms     median round trip through the tap. The Time column is this value.
//   added_ms   tap_ms - direct_ms
//   bound_ms   what the tap may add: one byte's time on the line plus 1 ms
//   within     1 when added_ms <= bound_ms
//   bytes      the request and its answer (CI-V's echo included)
#include "bench/Children.h"
#include "vradio/Engine.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include <benchmark/benchmark.h>

namespace corvane::bench {
namespace {

constexpr int samples = 300;
constexpr int warmUp = 10;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A program's raw end of a radio's terminal.
class Port {
public:
    explicit Port(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Port() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    bool open() const { return m_fd >= 0; }

    // Writes `request` and reads `answer` bytes; the time it took in ms, or -1.
    double roundTrip(const QByteArray& request, qsizetype answer) {
        ::tcflush(m_fd, TCIFLUSH);
        const Clock::time_point sent = Clock::now();
        if (::write(m_fd, request.constData(), size_t(request.size())) != request.size()) {
            return -1;
        }
        qsizetype got = 0;
        char buffer[256];
        while (got < answer) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) {
                return -1;
            }
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            got += n > 0 ? n : 0;
        }
        return msBetween(sent, Clock::now());
    }

private:
    int m_fd;
};

// corvane-vradio --tap on `port`, its terminal at `link`, ended by its PID.
class TapProcess {
public:
    TapProcess(const QString& port, int baud, const QString& link, const QString& capture) {
        const int quiet = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        m_pid = startChild({CORVANE_VRADIO, "--tap", QFile::encodeName(port), "--baud",
                            QByteArray::number(baud), "--link", QFile::encodeName(link),
                            "--capture", QFile::encodeName(capture)},
                           quiet, quiet, quiet);
        ::close(quiet);
    }
    ~TapProcess() { endChild(m_pid, 2000); }
    TapProcess(const TapProcess&) = delete;
    TapProcess& operator=(const TapProcess&) = delete;

private:
    pid_t m_pid = -1;
};

bool waitForLink(const QString& link) {
    for (int waited = 0; waited < 5000; waited += 5) {
        if (QFile::exists(link)) {
            return true;
        }
        ::usleep(5000);
    }
    return false;
}

const char* const radios[] = {"IC-R75", "IC-7300", "TS-2000", "TS-590SG"};

void BM_TapRoundTrip(benchmark::State& state) {
    const vradio::RadioModel& model =
        *vradio::findRadioModel(QString::fromLatin1(radios[state.range(0)]));
    const int baud = static_cast<int>(state.range(1));
    state.SetLabel(QStringLiteral("%1 %2").arg(model.name).arg(baud).toStdString());
    const bool civ = model.protocol == vradio::Protocol::CiV;
    // A frequency read: CI-V 03 (its echo, then 11 bytes), Kenwood FA; (14).
    const QByteArray request =
        civ ? QByteArray("\xFE\xFE") + char(model.address) + "\xE0\x03\xFD" : QByteArray("FA;");
    const qsizetype answer = civ ? request.size() + 11 : 14;

    QTemporaryDir dir;
    VradioProcess direct(CORVANE_VRADIO, model.name, baud, dir.filePath("direct"), false);
    VradioProcess tapped(CORVANE_VRADIO, model.name, baud, dir.filePath("tapped"), false);
    if (direct.waitForTerminal(5000).isEmpty() || tapped.waitForTerminal(5000).isEmpty()) {
        state.SkipWithError("the virtual radio did not start");
        return;
    }
    TapProcess tap(dir.filePath("tapped"), baud, dir.filePath("tap"), dir.filePath("capture.txt"));
    if (!waitForLink(dir.filePath("tap"))) {
        state.SkipWithError("the tap did not start");
        return;
    }
    Port ports[] = {Port(dir.filePath("direct")), Port(dir.filePath("tap"))};
    if (!ports[0].open() || !ports[1].open()) {
        state.SkipWithError("cannot open the terminals");
        return;
    }
    std::vector<double> ms[2];
    for (auto _ : state) {
        for (int i = -warmUp; i < samples; ++i) {
            // In alternating order, so that neither always runs first.
            for (const int which : {i & 1, 1 - (i & 1)}) {
                const double t = ports[which].roundTrip(request, answer);
                if (t < 0) {
                    state.SkipWithError("no answer");
                    return;
                }
                if (i >= 0) {
                    ms[which].push_back(t);
                }
            }
        }
        state.SetIterationTime(median(ms[1]) / 1000);
    }
    const double byteMs = 10000.0 / baud;
    const double added = median(ms[1]) - median(ms[0]);
    state.counters["direct_ms"] = median(ms[0]);
    state.counters["tap_ms"] = median(ms[1]);
    state.counters["added_ms"] = added;
    state.counters["bound_ms"] = byteMs + 1;
    state.counters["within"] = added <= byteMs + 1 ? 1 : 0;
    state.counters["bytes"] = double(request.size() + answer);
}

void speeds(benchmark::internal::Benchmark* b) {
    for (int radio = 0; radio < 4; ++radio) {
        // Each radio's fastest: the IC-R75 19200, the TS-2000 57600.
        const int fastest = radio == 0 ? 19200 : radio == 2 ? 57600 : 115200;
        for (const int baud : {9600, fastest}) {
            b->Args({radio, baud});
        }
    }
}
BENCHMARK(BM_TapRoundTrip)
    ->Apply(speeds)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
} // namespace corvane::bench

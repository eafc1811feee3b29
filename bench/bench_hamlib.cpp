// What the window's thread pays for a Hamlib receiver: a getter, the time from
// a typed frequency to the event that shows it (through rigctld, against
// rigctl doing the same set and get from the shell), and the longest stall
// while the daemon hangs and dies.
#include "tests/support/HamlibPeers.h"

#include "component/core/CorvaneComponent.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace corvane::testsupport {
namespace {

constexpr int timeoutMs = 1000; // the rigctld default of the driver entry

std::unique_ptr<HamlibBackend> dummyRx(Recorder& sink) {
    auto rx = makeBackend(
        entryFrom(R"({"name": "D", "kind": "hamlib", "model": 1, "conf": {"static_data": 1}})"),
        sink);
    rx->connect(true);
    waitUntil([&] { return !sink.of(Kind::Att).empty(); }, 5000);
    return rx;
}

void BM_BackendGetters(benchmark::State& state) {
    Recorder sink;
    const auto rx = dummyRx(sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rx->frequency());
        benchmark::DoNotOptimize(rx->current(Setting::Mode));
        benchmark::DoNotOptimize(rx->filterName(rx->filter()));
        benchmark::DoNotOptimize(rx->connected());
    }
    state.SetLabel("four getters per iteration");
}
BENCHMARK(BM_BackendGetters);

// Through the component's operations, as the window calls them.
void BM_ComponentRxFrq(benchmark::State& state) {
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("corvane"));
    QFile file(home.filePath(QStringLiteral("corvane/Bench.json")));
    file.open(QIODevice::WriteOnly);
    file.write(R"({"drivers": [{"name": "D", "kind": "hamlib", "model": 1}]})");
    file.close();
    CorvaneComponent::Options options;
    options.configHome = home.path();
    options.tracePath = QString();
    CorvaneComponent c(options);
    c.DrvSetup(QStringLiteral("Bench"), 0);
    c.RxConnect(0, -1);
    waitUntil([&] { return c.RxConnected(0) != 0 && c.RxFrq(0, 0) != 0; }, 5000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.RxFrq(0, 0));
    }
}
BENCHMARK(BM_ComponentRxFrq);

struct DaemonRig {
    Daemon daemon{freePort()};
    Recorder sink;
    std::unique_ptr<HamlibBackend> rx;

    bool up() {
        if (!daemon.start()) {
            return false;
        }
        rx = makeBackend(entryFrom(QStringLiteral(R"({"name": "N", "kind": "rigctld",
            "host": "127.0.0.1", "port": %1})")
                                       .arg(daemon.port())
                                       .toLatin1()
                                       .constData()),
                         sink);
        rx->connect(true);
        return waitUntil([&] { return !sink.of(Kind::Att).empty(); }, 5000) &&
               rx->setRemote(true) == 0;
    }
};

// From setFrequency() to the RxFrqUpdated-to-be showing it.
void BM_SetToEventViaRigctld(benchmark::State& state) {
    DaemonRig rig;
    if (!rig.up()) {
        state.SkipWithError("no rigctld");
        return;
    }
    int32_t f = 7000000;
    for (auto _ : state) {
        f += 10;
        const size_t from = rig.sink.events.size();
        rig.rx->setFrequency(f, Origin::Program);
        const bool seen = waitUntil(
            [&] {
                const auto frq = rig.sink.of(Kind::Frq, from);
                return !frq.empty() && frq.back().freq() == f;
            },
            5000);
        if (!seen) {
            state.SkipWithError("no event");
            break;
        }
    }
}
BENCHMARK(BM_SetToEventViaRigctld)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// The same set and get from the shell: rigctl -m 2 -r 127.0.0.1:PORT F <f> f.
void BM_RigctlShellSetAndGet(benchmark::State& state) {
    Daemon daemon{freePort()};
    if (!daemon.start()) {
        state.SkipWithError("no rigctld");
        return;
    }
    int f = 7000000;
    for (auto _ : state) {
        f += 10;
        const QString out = rigctl(daemon.port(), {"F", QString::number(f), "f"});
        if (out != QString::number(f)) {
            state.SkipWithError("rigctl did not read back the frequency");
            break;
        }
    }
}
BENCHMARK(BM_RigctlShellSetAndGet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The daemon hangs (SIGSTOP) until the link is reported lost, is let go,
// then dies (SIGKILL): the longest the window's thread went without turning
// its event loop meanwhile, reported as the counter stall_ms.
void BM_StallWhileDaemonHangsAndDies(benchmark::State& state) {
    for (auto _ : state) {
        DaemonRig rig;
        if (!rig.up()) {
            state.SkipWithError("no rigctld");
            return;
        }
        Watchdog watchdog;
        const auto lostAfter = [&](size_t from) {
            return waitUntil(
                [&] {
                    const auto states = rig.sink.of(Kind::ConnState, from);
                    return std::any_of(states.begin(), states.end(),
                                       [](const ReceiverEvent& e) { return e.err() != 1000; });
                },
                4 * timeoutMs + 1000);
        };
        size_t from = rig.sink.events.size();
        rig.daemon.signal(SIGSTOP);
        const bool hungSeen = lostAfter(from);
        rig.daemon.signal(SIGCONT);
        waitUntil([&] { return rig.rx->connected(); }, 8000);
        from = rig.sink.events.size();
        rig.daemon.signal(SIGKILL);
        const bool deadSeen = lostAfter(from);
        idle(1500); // a reconnect attempt against nobody
        if (!hungSeen || !deadSeen) {
            state.SkipWithError("a lost link was not reported");
        }
        state.counters["stall_ms"] = static_cast<double>(watchdog.longestMs());
    }
}
BENCHMARK(BM_StallWhileDaemonHangsAndDies)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same watchdog on an idle event loop for as long: the machine's own
// scheduling noise, the floor under stall_ms above.
void BM_StallIdleBaseline(benchmark::State& state) {
    for (auto _ : state) {
        Watchdog watchdog;
        idle(5000);
        state.counters["stall_ms"] = static_cast<double>(watchdog.longestMs());
    }
}
BENCHMARK(BM_StallIdleBaseline)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace corvane::testsupport

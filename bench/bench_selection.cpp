// What one selection of a large receiver costs the window, and one reported
// mode change: a selection rebuilds the Filter and AGC lists three times over,
// so the cost grows with every table at once.
#include "bench/MemoryComponent.h"
#include "window/MainWindow.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

class CountingReporter : public controls::ErrorReporter {
public:
    int errors = 0;
    void report(const QString&, const receiver::RuntimeError&) override { ++errors; }
};

// 64 modes with 64 filters each, 16 AGC, NB and ATT entries; the values in
// force lie inside the tables, so every load finds and writes back its entry.
std::unique_ptr<bench::MemoryComponent> largeReceiver() {
    auto c = std::make_unique<bench::MemoryComponent>();
    c->modes = bench::ChoiceTable::numbered(QStringLiteral("Mode "), 64, 37);
    c->agc = bench::ChoiceTable::numbered(QStringLiteral("AGC "), 16, 9);
    c->nb = bench::ChoiceTable::numbered(QStringLiteral("NB "), 16, 9);
    c->att = bench::ChoiceTable::numbered(QStringLiteral("ATT "), 16, 9);
    for (int m = 0; m < 64; ++m) {
        std::vector<int32_t> widths;
        for (int f = 0; f < 64; ++f) {
            widths.push_back(100 + 50 * f + m);
            c->filterNames.insert(widths.back(), QStringLiteral("F%1").arg(widths.back()));
        }
        c->widthsPerMode.push_back(std::move(widths));
    }
    c->filter = c->widthsPerMode[37][40];
    return c;
}

struct Bench {
    bench::MemoryComponent* component = nullptr;
    CountingReporter reporter;
    window::MainWindow window;

    Bench()
        : window(
              [this]() -> std::unique_ptr<receiver::Component> {
                  auto c = largeReceiver();
                  component = c.get();
                  return c;
              },
              &reporter) {
        window.load();
        window.show();
        QCoreApplication::processEvents();
    }
};

// Runs op once per iteration; the toolkit's deferred layout and painting are
// let run between iterations, outside the measurement.
template <typename Op> void measure(benchmark::State& state, Op op) {
    Bench b;
    int64_t calls = 0;
    for (auto _ : state) {
        const int64_t before = b.component->calls;
        op(b.window);
        calls += b.component->calls - before;
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (b.reporter.errors != 0 ||
        b.window.findChild<corvane::controls::ListBox*>(QStringLiteral("Filter"))->listIndex() !=
            40 ||
        b.window.findChild<corvane::controls::ListBox*>(QStringLiteral("Mode"))->listIndex() !=
            37 ||
        b.window.findChild<corvane::controls::ListBox*>(QStringLiteral("Agc"))->listIndex() != 9) {
        state.SkipWithError("the window did not end on the receiver's settings");
    }
    state.counters["calls"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

void BM_DriverClick(benchmark::State& state) {
    measure(state, [](window::MainWindow& w) { w.Driver_Click(); });
}

void BM_RxModUpdated(benchmark::State& state) {
    measure(state, [](window::MainWindow& w) { w.Receiver_RxModUpdated(0, 137, -300); });
}

BENCHMARK(BM_DriverClick)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RxModUpdated)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

} // namespace

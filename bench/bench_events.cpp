// Throughput of the component's running indications (S-meter and frequency
// reports) through the window's handlers, with the labels painting at the
// screen's pace. A receiver may report tens of times a second per receiver,
// several receivers at once; the window must keep up with plenty to spare.
#include "MemoryComponent.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <memory>

using namespace corvane;

namespace {

// Counts the paints of the two labels the stream rewrites, to show the
// measurement included real drawing.
class PaintCounter : public QObject {
public:
    int64_t paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

class NoReports : public controls::ErrorReporter {
public:
    int64_t count = 0;
    void report(const QString&, const receiver::RuntimeError&) override { ++count; }
};

// One event per iteration, alternating S-meter and frequency reports. Of every
// four pairs, range(0) are for the selected receiver (0) and the rest for the
// others (1 to 3) in turn. Every 16 ms of wall time the event loop runs, which
// paints whatever changed, as a screen refresh would.
void BM_IndicationStream(benchmark::State& state) {
    const int64_t selectedOfFour = state.range(0);
    // Four receivers answering from memory, all connected, so a frequency
    // report for the selected one is always shown: what is measured is the
    // window, not a component.
    bench::MemoryComponent* memory = nullptr;
    NoReports reporter;
    window::MainWindow window(
        [&memory]() -> std::unique_ptr<receiver::Component> {
            auto component = std::make_unique<bench::MemoryComponent>();
            component->receivers = 4;
            memory = component.get();
            return component;
        },
        &reporter);
    window.load();
    window.show();
    PaintCounter counter;
    window.findChild<QLabel*>(QStringLiteral("Read"))->installEventFilter(&counter);
    window.findChild<QLabel*>(QStringLiteral("SMet"))->installEventFilter(&counter);
    QCoreApplication::processEvents();
    if (memory == nullptr ||
        window.findChild<corvane::controls::ListBox*>(QStringLiteral("Driver"))->listIndex() != 0) {
        state.SkipWithError("the window did not start on receiver 0");
        return;
    }

    QStringList texts;
    for (int i = 0; i < 64; ++i) {
        texts.append(QStringLiteral("S%1+%2").arg(i % 10).arg(i));
    }
    int64_t n = 0;
    QElapsedTimer frame;
    frame.start();
    for (auto _ : state) {
        const int64_t pair = n / 2;
        const auto index = static_cast<int16_t>(pair % 4 < selectedOfFour ? 0 : 1 + pair % 3);
        if ((n & 1) == 0) {
            emit memory->RxFrqUpdated(index, static_cast<int32_t>(7000000 + (n & 0xffff)), 0);
        } else {
            emit memory->RxSMtUpdated(index, 7000000, 0, 0, texts.at(static_cast<int>(pair & 63)));
        }
        ++n;
        if ((n & 255) == 0 && frame.elapsed() >= 16) {
            QCoreApplication::processEvents();
            frame.restart();
        }
    }
    QCoreApplication::processEvents();
    state.SetItemsProcessed(n);
    state.counters["paints"] = static_cast<double>(counter.paints);
    state.counters["errors"] = static_cast<double>(reporter.count);
    benchmark::DoNotOptimize(window.findChild<QLabel*>(QStringLiteral("Read"))->text());
}

} // namespace

BENCHMARK(BM_IndicationStream)
    ->ArgName("selectedOfFour")
    ->Arg(4)
    ->Arg(1)
    ->Arg(0)
    ->MinTime(1.0)
    ->Unit(benchmark::kNanosecond);

// Throughput of the component's running indications (S-meter and frequency
// reports) through the window's handlers, with the labels painting at the
// screen's pace. A receiver may report tens of times a second per receiver,
// several receivers at once; the window must keep up with plenty to spare.
#include "window/TestWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <memory>

using namespace corvane;

namespace {

// Answers every operation from a few constants and never fails: what is
// measured is the window, not a component. Its receivers are all connected,
// so a frequency report for the selected one is always shown.
class LeanComponent final : public receiver::Component {
public:
    int32_t DrvSetup(const QString&, int16_t) override { return 0; }
    int16_t DrvCount() override { return 4; }
    QString DrvName(int16_t i) override { return QStringLiteral("Rx%1").arg(i); }
    int32_t RxConfigure(int16_t) override { return 0; }
    int32_t RxConnect(int16_t, int16_t) override { return 0; }
    int32_t RxRemote(int16_t, int16_t) override { return 0; }
    int32_t RxKeyPress(int16_t, int16_t) override { return 0; }
    int32_t RxConnected(int16_t) override { return -1; }
    int32_t RxIsRemote(int16_t) override { return -1; }
    QString RxRomId(int16_t) override { return QStringLiteral("lean"); }
    int32_t RxFrqMax(int16_t) override { return 30000000; }
    int32_t RxFrqMin(int16_t) override { return 100000; }
    int32_t RxBfo(int16_t) override { return 0; }
    int32_t RxFrq(int16_t, int16_t) override { return 7000000; }
    void setRxFrq(int16_t, int16_t, int32_t) override {}
    void setRxDeltaF(int16_t, int32_t) override {}
    int16_t RxModCount(int16_t) override { return 0; }
    int32_t RxModAvail(int16_t, int32_t) override { return 0; }
    QString RxModName(int16_t, int32_t) override { return {}; }
    int32_t RxModCode(int16_t, const QString&) override { return -1; }
    int32_t RxMod(int16_t) override { return 0; }
    void setRxMod(int16_t, int32_t) override {}
    int16_t RxAgcCount(int16_t) override { return 0; }
    int32_t RxAgcAvail(int16_t, int32_t) override { return 0; }
    QString RxAgcName(int16_t, int32_t) override { return {}; }
    int32_t RxAgcCode(int16_t, const QString&) override { return -1; }
    int32_t RxAgc(int16_t) override { return 0; }
    void setRxAgc(int16_t, int32_t) override {}
    int16_t RxNBlCount(int16_t) override { return 0; }
    int32_t RxNBlAvail(int16_t, int32_t) override { return 0; }
    QString RxNBlName(int16_t, int32_t) override { return {}; }
    int32_t RxNBlCode(int16_t, const QString&) override { return -1; }
    int32_t RxNBl(int16_t) override { return 0; }
    void setRxNBl(int16_t, int32_t) override {}
    int16_t RxAttCount(int16_t) override { return 0; }
    int32_t RxAttAvail(int16_t, int32_t) override { return 0; }
    QString RxAttName(int16_t, int32_t) override { return {}; }
    int32_t RxAttCode(int16_t, const QString&) override { return -1; }
    int32_t RxAtt(int16_t) override { return 0; }
    void setRxAtt(int16_t, int32_t) override {}
    int16_t RxFltCount(int16_t) override { return 0; }
    int32_t RxFltWidth(int16_t, int16_t) override { return 0; }
    QString RxFltName(int16_t, int16_t) override { return {}; }
    int32_t RxFlt(int16_t) override { return 0; }
    void setRxFlt(int16_t, int32_t) override {}
};

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
    LeanComponent* lean = nullptr;
    NoReports reporter;
    window::Test window(
        [&lean]() -> std::unique_ptr<receiver::Component> {
            auto component = std::make_unique<LeanComponent>();
            lean = component.get();
            return component;
        },
        &reporter);
    window.load();
    window.show();
    PaintCounter counter;
    window.Read->installEventFilter(&counter);
    window.SMet->installEventFilter(&counter);
    QCoreApplication::processEvents();
    if (lean == nullptr || window.Driver->listIndex() != 0) {
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
            emit lean->RxFrqUpdated(index, static_cast<int32_t>(7000000 + (n & 0xffff)), 0);
        } else {
            emit lean->RxSMtUpdated(index, 7000000, 0, 0, texts.at(static_cast<int>(pair & 63)));
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
    benchmark::DoNotOptimize(window.Read->text());
}

} // namespace

BENCHMARK(BM_IndicationStream)
    ->ArgName("selectedOfFour")
    ->Arg(4)
    ->Arg(1)
    ->Arg(0)
    ->MinTime(1.0)
    ->Unit(benchmark::kNanosecond);

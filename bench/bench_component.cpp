// Cost of the component's getters, and the CPU load of eight receivers
// reporting their S-meters on the real event loop.
//
//   bench_component                      Google Benchmark getters
//   bench_component --load [seconds]     the S-meter load (default 10 s)
#include "component/core/CorvaneComponent.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

using corvane::component::CorvaneComponent;
using corvane::component::DrivenClock;

namespace {

// A component with the three built-in receivers, in a throw-away folder.
struct Setup {
    QTemporaryDir dir;
    std::unique_ptr<CorvaneComponent> component;

    Setup() {
        CorvaneComponent::Options o;
        o.clock = std::make_shared<DrivenClock>();
        o.configHome = dir.path();
        o.tracePath = QString();
        component = std::make_unique<CorvaneComponent>(std::move(o));
        component->DrvSetup(QStringLiteral("Test"), 0);
    }
};

void BM_RxMod(benchmark::State& state) {
    Setup s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxMod(0));
    }
}
BENCHMARK(BM_RxMod);

void BM_RxFrq(benchmark::State& state) {
    Setup s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxFrq(1, 0));
    }
}
BENCHMARK(BM_RxFrq);

void BM_RxModName(benchmark::State& state) {
    Setup s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxModName(0, 3));
    }
}
BENCHMARK(BM_RxModName);

void BM_RxModCode(benchmark::State& state) {
    Setup s;
    const QString name = QStringLiteral("RTTY");
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxModCode(0, name));
    }
}
BENCHMARK(BM_RxModCode);

void BM_RxFltWidth(benchmark::State& state) {
    Setup s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxFltWidth(0, 1));
    }
}
BENCHMARK(BM_RxFltWidth);

void BM_RxAgcAvail(benchmark::State& state) {
    Setup s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.component->RxAgcAvail(0, 2));
    }
}
BENCHMARK(BM_RxAgcAvail);

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int runLoad(int seconds) {
    QTemporaryDir dir;
    // The HF profile with a 20 ms S-meter and an immediate connect.
    QFile hf(QStringLiteral(":/corvane/profiles/hf.json"));
    if (!hf.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "built-in profile missing\n");
        return 1;
    }
    QJsonObject profile = QJsonDocument::fromJson(hf.readAll()).object();
    profile[QStringLiteral("behaviour")] =
        QJsonObject{{QStringLiteral("connectDelayMs"), 0},
                    {QStringLiteral("smeterIntervalMs"), 20},
                    {QStringLiteral("stations"),
                     profile[QStringLiteral("behaviour")][QStringLiteral("stations")]}};
    QDir().mkpath(dir.filePath(QStringLiteral("corvane")));
    QFile out(dir.filePath(QStringLiteral("corvane/fast.json")));
    out.open(QIODevice::WriteOnly);
    out.write(QJsonDocument(profile).toJson());
    out.close();
    QJsonArray drivers;
    for (int i = 0; i < 8; ++i) {
        drivers.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("R%1").arg(i)},
                                   {QStringLiteral("kind"), QStringLiteral("sim")},
                                   {QStringLiteral("profile"), QStringLiteral("fast.json")}});
    }
    QFile table(dir.filePath(QStringLiteral("corvane/Load.json")));
    table.open(QIODevice::WriteOnly);
    table.write(QJsonDocument(QJsonObject{{QStringLiteral("drivers"), drivers}}).toJson());
    table.close();

    CorvaneComponent::Options o;
    o.configHome = dir.path();
    o.tracePath = QString();
    CorvaneComponent c(std::move(o));
    c.DrvSetup(QStringLiteral("Load"), 0);
    long readings = 0;
    QObject::connect(&c, &CorvaneComponent::RxSMtUpdated, [&] { ++readings; });
    for (int16_t i = 0; i < 8; ++i) {
        c.RxConnect(i, -1);
    }
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QCoreApplication::exec();
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    std::printf("8 receivers, S-meter every 20 ms: %ld readings in %.2f s (%.0f/s), "
                "CPU %.3f s = %.2f %% of one core\n",
                readings, elapsed, static_cast<double>(readings) / elapsed, cpu,
                100.0 * cpu / elapsed);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load") == 0) {
            const int seconds = i + 1 < argc ? std::atoi(argv[i + 1]) : 10;
            return runLoad(seconds > 0 ? seconds : 10);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

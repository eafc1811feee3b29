// Soak: the program's window on the real component with eight simulated
// receivers (two with link drops and data errors, one refusing an operation),
// coupling on, driven by a seeded random operator for a given time.
//
//   corvane_soak SECONDS [SEED]
//
// Fails (exit 1) when a typed non-number was not reported exactly once, when a
// failing component call (from the call trace) was not reported, when the
// memory held grew by more than 20 % between the end of the warm-up and the
// end, or when the window no longer shows a receiver it is asked for. A
// crash, a sanitizer finding or a leak ends it through the sanitizers.
#include "component/core/CorvaneComponent.h"
#include "component/store/DriverDialog.h"
#include "tests/soak/Operator.h"
#include "tests/support/Controls.h"
#include "window/Test.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cstdio>
#include <deque>
#include <optional>
#include <random>

using corvane::component::CorvaneComponent;
using corvane::component::DriverDialog;
using corvane::soak::CountingReporter;
using corvane::soak::Operator;

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_SOAK_ASAN 1
#endif
#endif

#ifdef CORVANE_SOAK_ASAN
#include <cstddef>

// From the sanitizer's allocator interface (not every compiler ships its header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();

// AddressSanitizer keeps freed memory aside (256 MB by default) to catch late
// uses; filling that would read as growth. A small quarantine still catches
// the uses that follow soon after a free, and leaves the resident size to
// what the program holds. ASAN_OPTIONS given at run time still win.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
#endif

namespace {

QTextStream out(stdout);

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

QJsonObject builtin(const QString& name) {
    QFile f(QStringLiteral(":/corvane/profiles/%1.json").arg(name));
    if (!f.open(QIODevice::ReadOnly)) {
        qFatal("the built-in profile %s is missing", qPrintable(name));
    }
    return QJsonDocument::fromJson(f.readAll()).object();
}

void writeJson(const QString& path, const QJsonObject& object) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(QJsonDocument(object).toJson()) < 0) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

QJsonObject sim(const QString& name, const QString& profile) {
    return {{"name", name}, {"kind", "sim"}, {"profile", profile}};
}

// Eight receivers in <configHome>/corvane/Test.json: six on the built-in
// profiles, two on copies that lose their link and report data errors (the
// second also refuses AGC changes).
void writeDriverStore(const QString& configHome) {
    const QString folder = configHome + QStringLiteral("/corvane");
    QJsonObject flaky = builtin(QStringLiteral("hf"));
    flaky.insert("behaviour", QJsonObject{{"connectDelayMs", 150}, {"smeterIntervalMs", 50}});
    flaky.insert("faults", QJsonObject{{"dropAfterMs", 2500}, {"dataErrorEveryMs", 300}});
    writeJson(folder + QStringLiteral("/flaky-hf.json"), flaky);
    QJsonObject failing = builtin(QStringLiteral("vhf"));
    failing.insert("faults", QJsonObject{{"dropAfterMs", 900},
                                         {"dropErr", 7},
                                         {"dataErrorEveryMs", 120},
                                         {"dataErr", 3},
                                         {"failOps", QJsonArray{"RxAgc"}}});
    writeJson(folder + QStringLiteral("/failing-vhf.json"), failing);

    const QJsonArray drivers{
        sim("HF", "builtin:hf"),     sim("VHF", "builtin:vhf"),
        sim("BC", "builtin:bc"),     sim("Flaky HF", "flaky-hf.json"),
        sim("HF 2", "builtin:hf"),   sim("Failing VHF", "failing-vhf.json"),
        sim("VHF 2", "builtin:vhf"), sim("BC 2", "builtin:bc"),
    };
    writeJson(folder + QStringLiteral("/Test.json"), QJsonObject{{"drivers", drivers}});
}

// Every failing call the component traces must reach the operator: its
// description comes back in a report, in the same order. Reports of the
// window's own errors (typed text, 16-bit overflow) come in between. Checked
// after every action, so that neither side piles up over a long run.
class TraceAudit {
public:
    explicit TraceAudit(const QString& path) : m_trace(path) {
        if (!m_trace.open(QIODevice::ReadOnly)) {
            qFatal("no trace at %s", qPrintable(path));
        }
    }

    void check(CountingReporter& reporter) {
        std::deque<CountingReporter::Report> reports = reporter.takeRecent();
        static const QByteArray marker(" !! ");
        // The component writes whole lines; keep a part line for next time anyway.
        const QByteArray text = m_pending + m_trace.readAll();
        const qsizetype complete = text.lastIndexOf('\n') + 1;
        const QList<QByteArray> lines = text.left(complete).split('\n');
        m_pending = text.mid(complete);
        for (const QByteArray& line : lines) {
            const qsizetype at = line.indexOf(marker);
            if (!line.startsWith("call ") || at < 0) {
                continue;
            }
            ++m_failed;
            const QString description = QString::fromUtf8(line.mid(at + marker.size()).trimmed());
            while (!reports.empty() && reports.front().description != description) {
                reports.pop_front();
            }
            if (reports.empty()) {
                ++m_unreported;
                if (m_firstUnreported.isEmpty()) {
                    m_firstUnreported = QString::fromUtf8(line.trimmed());
                }
                continue;
            }
            reports.pop_front();
        }
    }

    uint64_t failed() const { return m_failed; }
    uint64_t unreported() const { return m_unreported; }
    const QString& firstUnreported() const { return m_firstUnreported; }

private:
    QFile m_trace;
    QByteArray m_pending;
    uint64_t m_failed = 0;
    uint64_t m_unreported = 0;
    QString m_firstUnreported;
};

// What the program holds on the heap. Under AddressSanitizer the resident
// size also carries the sanitizer's own records (allocation stacks, shadow),
// which grow with the run by design; the allocator's count of live bytes does
// not. Without it, the resident size is the measure.
long heldKb() {
#ifdef CORVANE_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return residentKb();
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    bool ok = args.size() >= 2;
    const int seconds = ok ? args.at(1).toInt(&ok) : 0;
    const uint64_t seed = args.size() >= 3 ? args.at(2).toULongLong() : 1;
    if (!ok || seconds <= 0) {
        std::fprintf(stderr, "usage: corvane_soak SECONDS [SEED]\n");
        return 2;
    }
    writeDriverStore(home.path());

    // The dialogs are answered by the same dice: OK or Cancel, unchanged.
    std::mt19937_64 dialogDice(seed ^ 0x5eedULL);
    const QString tracePath = home.filePath(QStringLiteral("trace.txt"));
    CorvaneComponent* component = nullptr;
    auto factory = [&] {
        CorvaneComponent::Options options;
        options.tracePath = tracePath;
        options.runDialog = [&](DriverDialog&) {
            return (dialogDice() % 3 == 0) ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
        auto made = std::make_unique<CorvaneComponent>(std::move(options));
        component = made.get();
        return made;
    };

    CountingReporter reporter;
    QStringList problems;
    uint64_t actions = 0;
    uint64_t garbage = 0;
    long heldWarm = 0;
    long heldEnd = 0;
    long rssWarm = 0;
    long rssEnd = 0;
    std::optional<TraceAudit> audit;
    {
        corvane::window::Test window(factory, &reporter);
        const corvane::testsupport::Controls ui(window);
        window.load();
        if (window.isUnloaded() || ui.Driver->count() != 8) {
            std::fprintf(stderr, "start-up did not show the eight receivers\n");
            return 1;
        }
        audit.emplace(tracePath);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) {
            std::fprintf(stderr, "the window never became active\n");
            return 1;
        }
        QTest::mouseClick(ui.Coupling, Qt::LeftButton);
        if (!ui.Coupling->isChecked() || component->drvForward() == 0) {
            problems.append(QStringLiteral("Coupling did not switch forwarding on"));
        }
        audit->check(reporter);

        Operator op(window, reporter, seed);
        // Warm-up: font and text caches fill as new texts appear, the receivers'
        // timers get going.
        const qint64 warmUpMs = std::max<qint64>(30000, seconds * 1000LL / 4);
        // Memory ten times over the run, to tell a trend from a step.
        const qint64 sampleMs = std::max<qint64>(1000, seconds * 100LL);
        qint64 nextSample = sampleMs;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000LL) {
            op.act();
            audit->check(reporter);
            if (heldWarm == 0 && clock.elapsed() >= warmUpMs) {
                heldWarm = heldKb();
                rssWarm = residentKb();
            }
            if (clock.elapsed() >= nextSample) {
                out << "  " << clock.elapsed() / 1000 << " s: " << op.actions() << " actions, "
                    << reporter.total() << " reports, heap " << heldKb() << " kB, VmRSS "
                    << residentKb() << " kB\n";
                out.flush();
                nextSample += sampleMs;
            }
        }
        if (heldWarm == 0) { // shorter than the warm-up: nothing to compare
            heldWarm = heldKb();
            rssWarm = residentKb();
        }
        actions = op.actions();
        garbage = op.typedGarbage();
        problems += op.problems();

        // Still answering: a picked receiver shows in the status panel.
        for (const int row : {1, 0}) {
            ui.Driver->scrollToItem(ui.Driver->item(row));
            QTest::mouseClick(ui.Driver->viewport(), Qt::LeftButton, Qt::NoModifier,
                              ui.Driver->visualItemRect(ui.Driver->item(row)).center());
        }
        QTest::qWait(50);
        audit->check(reporter);
        if (window.curRx() != 0 || ui.Driver->listIndex() != 0 || ui.RomID->text().isEmpty() ||
            ui.RomID->text() != component->RxRomId(0)) {
            problems.append(QStringLiteral("picking receiver 0 at the end did not show it "
                                           "(CurRx %1, ROM id \"%2\")")
                                .arg(window.curRx())
                                .arg(ui.RomID->text()));
        }
        heldEnd = heldKb();
        rssEnd = residentKb();
    }

    if (audit->unreported() > 0) {
        problems.append(QStringLiteral("%1 of %2 failing calls were never reported, first: %3")
                            .arg(audit->unreported())
                            .arg(audit->failed())
                            .arg(audit->firstUnreported()));
    }
    const double growth = double(heldEnd - heldWarm) / double(std::max(heldWarm, 1L));
    if (growth > 0.20) {
        problems.append(
            QStringLiteral("memory grew by %1 % after the warm-up").arg(growth * 100, 0, 'f', 1));
    }

    out << "soak: seed " << seed << ", " << seconds << " s, " << actions << " actions, " << garbage
        << " non-numbers typed, " << reporter.total() << " reports (" << audit->failed()
        << " failing calls); heap " << heldWarm << " -> " << heldEnd << " kB ("
        << QString::number(growth * 100, 'f', 1) << " %), VmRSS " << rssWarm << " -> " << rssEnd
        << " kB\n";
    for (const auto& [kind, count] : reporter.byKind()) {
        out << "  " << kind << ": " << count << " (e.g. " << reporter.examples().at(kind) << ")\n";
    }
    for (const QString& p : problems) {
        out << "FAIL: " << p << '\n';
    }
    out.flush();
    return problems.isEmpty() ? 0 : 1;
}

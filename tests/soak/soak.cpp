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
#include "component/dialog/DriverDialog.h"
#include "tests/support/Controls.h"
#include "tests/support/WindowInput.h"
#include "window/MainWindow.h"

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
#include <map>
#include <optional>
#include <random>

using corvane::component::CorvaneComponent;
using corvane::component::DriverDialog;
using corvane::controls::ListBox;
using corvane::receiver::RuntimeError;
using namespace corvane::testsupport;

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

// Counts the run-time errors the window reports by handler and error number,
// and keeps the ones not yet looked at (`recent`, drained after every action)
// so that a long run holds no growing list of its own.
struct CountingReporter : corvane::controls::ErrorReporter {
    struct Report {
        QString handler;
        int32_t number;
        QString description;
    };
    uint64_t total = 0;
    std::deque<Report> recent;
    std::map<QString, uint64_t> byKind; // "Freq_Validate error 13"

    void report(const QString& handler, const RuntimeError& error) override {
        ++total;
        recent.push_back({handler, error.number(), error.description()});
        ++byKind[QStringLiteral("%1 error %2").arg(handler).arg(error.number())];
    }
};

// An operator with a seeded dice: picks receivers and setting entries with the
// mouse, clicks every button (Config Driver also with Shift and Ctrl+Shift) and
// the Coupling box, types numbers and garbage into Freq and DeltaF and leaves
// them with Tab, types stray keys, and lets the event loop run in between.
// Every click and key goes to the window at a point of it (WindowInput.h).
// Typed text that can be no number must be reported by the box's Validate,
// exactly once; anything else that goes wrong lands in `problems`.
class Operator {
public:
    Operator(corvane::window::MainWindow& window, CountingReporter& reporter, uint64_t seed)
        : m_window(window), m_reporter(reporter), m_dice(seed) {}

    uint64_t actions = 0;
    uint64_t garbage = 0; // non-numbers typed
    QStringList problems;

    void act() {
        ++actions;
        // Coupling is meant to be on: once switched off, it soon comes back.
        if (!m_ui.Coupling->isChecked() && chance(30)) {
            clickAt(*m_ui.Coupling);
            return;
        }
        const int roll = below(100);
        if (roll < 12) {
            pickEntry(*m_ui.Driver);
        } else if (roll < 32) {
            ListBox* lists[] = {m_ui.Mode, m_ui.Filter, m_ui.Agc, m_ui.NB, m_ui.Att};
            pickEntry(*lists[below(5)]);
        } else if (roll < 52) {
            clickButton();
        } else if (roll < 54) {
            clickAt(*m_ui.Coupling);
        } else if (roll < 70) {
            typeInto(chance(50) ? *m_ui.Freq : *m_ui.DeltaF);
        } else if (roll < 78) {
            for (int n = 1 + below(4); n > 0; --n) {
                typeText(QString(kStrayKeys.at(below(kStrayKeys.size()))));
            }
        } else if (roll < 84) {
            press(m_window, Qt::Key_Tab, chance(30) ? Qt::ShiftModifier : Qt::NoModifier);
        } else {
            idle();
        }
    }

private:
    static inline const QString kStrayKeys = QStringLiteral("aZ09 .,-+*\u00e4\r\b\x1b");

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_dice); }
    bool chance(int percent) { return below(100) < percent; }
    // Timers (connect delays, S-meter, link drops, data errors) and the
    // component's queued events run here.
    void idle() { QTest::qWait(below(40)); }

    void pickEntry(ListBox& list) {
        if (list.count() == 0) {
            idle();
        } else {
            pick(list, below(list.count()));
        }
    }

    void clickButton() {
        corvane::controls::Button* buttons[] = {m_ui.Connect, m_ui.Connect, m_ui.Disconnect,
                                                m_ui.Remote,  m_ui.Remote,  m_ui.Local,
                                                m_ui.Dialog};
        auto* button = buttons[below(std::size(buttons))];
        const Qt::KeyboardModifiers dialog[] = {Qt::NoModifier, Qt::ShiftModifier,
                                                Qt::ShiftModifier | Qt::ControlModifier};
        clickAt(*button, {-1, -1}, button == m_ui.Dialog ? dialog[below(3)] : Qt::NoModifier);
    }

    // Types where the focus is, key by key: Return, Backspace and Escape by
    // their keys; characters without a key of their own on a US keyboard come
    // as key events carrying just their text, as an input method delivers them.
    void typeText(const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x7f) {
                QTest::keyClick(handleOf(m_window), static_cast<char>(c.unicode()));
            } else {
                QTest::sendKeyEvent(QTest::Click, handleOf(m_window), Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        }
    }

    void typeInto(corvane::controls::TextBox& box) {
        // What the operator types, and whether it can be read as a number at
        // all (the window reads in the user's locale; these read the same in any).
        struct Typed {
            QString text;
            int32_t error; // 0: a number (sending it may still fail)
        };
        static const Typed kGarbage[] = {
            {QStringLiteral("abc"), RuntimeError::TypeMismatch},
            {QStringLiteral("12q"), RuntimeError::TypeMismatch},
            {QStringLiteral("   "), RuntimeError::TypeMismatch},
            {QStringLiteral("--5"), RuntimeError::TypeMismatch},
            {QStringLiteral("0x1F"), RuntimeError::TypeMismatch},
            {QStringLiteral("7 050 000 Hz"), RuntimeError::TypeMismatch},
            {QStringLiteral("\u00e9\u00df!"), RuntimeError::TypeMismatch},
            {QStringLiteral("2147483648"), RuntimeError::Overflow},
            {QStringLiteral("-99999999999"), RuntimeError::Overflow},
        };
        Typed typed;
        if (chance(40)) {
            typed = kGarbage[below(std::size(kGarbage))];
        } else {
            // A frequency near the receivers' bands, or a small delta-F, or nothing.
            const int32_t value = chance(50) ? 100000 + below(30000000) : below(4001) - 2000;
            typed = {chance(10) ? QString() : QString::number(value), 0};
        }

        clickAt(box);
        if (QApplication::focusWidget() != &box) {
            problems.append(
                QStringLiteral("a click did not give %1 the focus").arg(box.objectName()));
            return;
        }
        // Clear the box with keys that type nothing.
        press(m_window, Qt::Key_End);
        press(m_window, Qt::Key_Home, Qt::ShiftModifier);
        press(m_window, Qt::Key_Backspace);
        typeText(typed.text);

        // Only this action's reports are in `recent`: the audit drains it after each.
        const QString handler = box.objectName() + QStringLiteral("_Validate");
        const size_t from = m_reporter.recent.size();
        press(m_window, Qt::Key_Tab);
        std::vector<int32_t> numbers;
        for (size_t i = from; i < m_reporter.recent.size(); ++i) {
            if (m_reporter.recent[i].handler == handler) {
                numbers.push_back(m_reporter.recent[i].number);
            }
        }
        const int32_t number = numbers.empty() ? 0 : numbers.back();
        if (typed.error == 0) {
            if (number == RuntimeError::TypeMismatch || number == RuntimeError::Overflow) {
                problems.append(
                    QStringLiteral("\"%1\" in %2 refused as no number").arg(typed.text, handler));
            }
            return;
        }
        ++garbage;
        if (numbers.size() != 1 || number != typed.error) {
            problems.append(QStringLiteral("\"%1\" left in %2: %3 reports, expected one error %4")
                                .arg(typed.text, handler)
                                .arg(numbers.size())
                                .arg(typed.error));
        }
    }

    corvane::window::MainWindow& m_window;
    Controls m_ui{m_window};
    CountingReporter& m_reporter;
    std::mt19937_64 m_dice;
};

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
struct TraceAudit {
    QFile trace;
    QByteArray pending; // a part line, kept for the next check
    uint64_t failed = 0;
    uint64_t unreported = 0;
    QString firstUnreported;

    explicit TraceAudit(const QString& path) : trace(path) {
        if (!trace.open(QIODevice::ReadOnly)) {
            qFatal("no trace at %s", qPrintable(path));
        }
    }

    void check(CountingReporter& reporter) {
        std::deque<CountingReporter::Report> reports = std::exchange(reporter.recent, {});
        static const QByteArray marker(" !! ");
        const QByteArray text = pending + trace.readAll();
        const qsizetype complete = text.lastIndexOf('\n') + 1;
        pending = text.mid(complete);
        for (const QByteArray& line : text.left(complete).split('\n')) {
            const qsizetype at = line.indexOf(marker);
            if (!line.startsWith("call ") || at < 0) {
                continue;
            }
            ++failed;
            const QString description = QString::fromUtf8(line.mid(at + marker.size()).trimmed());
            while (!reports.empty() && reports.front().description != description) {
                reports.pop_front();
            }
            if (!reports.empty()) {
                reports.pop_front();
            } else if (unreported++ == 0) {
                firstUnreported = QString::fromUtf8(line.trimmed());
            }
        }
    }
};

// What the program holds, in kB. Under AddressSanitizer the resident size
// also carries the sanitizer's own records (allocation stacks, shadow), which
// grow with the run by design; the allocator's count of live bytes does not.
// Without it, the resident size is the measure.
long heldKb() {
#ifdef CORVANE_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                return line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    return -1;
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
    long warm = 0;
    long end = 0;
    std::optional<TraceAudit> audit;
    {
        corvane::window::MainWindow window(factory, &reporter);
        const Controls ui(window);
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
        clickAt(*ui.Coupling);
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
            if (warm == 0 && clock.elapsed() >= warmUpMs) {
                warm = heldKb();
            }
            if (clock.elapsed() >= nextSample) {
                out << "  " << clock.elapsed() / 1000 << " s: " << op.actions << " actions, "
                    << reporter.total << " reports, " << heldKb() << " kB held" << Qt::endl;
                nextSample += sampleMs;
            }
        }
        if (warm == 0) { // shorter than the warm-up: nothing to compare
            warm = heldKb();
        }
        actions = op.actions;
        garbage = op.garbage;
        problems += op.problems;

        // Still answering: a picked receiver shows in the status panel.
        pick(*ui.Driver, 1);
        pick(*ui.Driver, 0);
        QTest::qWait(50);
        audit->check(reporter);
        if (window.curRx() != 0 || ui.Driver->listIndex() != 0 || ui.RomID->text().isEmpty() ||
            ui.RomID->text() != component->RxRomId(0)) {
            problems.append(QStringLiteral("picking receiver 0 at the end did not show it "
                                           "(CurRx %1, ROM id \"%2\")")
                                .arg(window.curRx())
                                .arg(ui.RomID->text()));
        }
        end = heldKb();
    }

    if (audit->unreported > 0) {
        problems.append(QStringLiteral("%1 of %2 failing calls were never reported, first: %3")
                            .arg(audit->unreported)
                            .arg(audit->failed)
                            .arg(audit->firstUnreported));
    }
    const double growth = double(end - warm) / double(std::max(warm, 1L));
    if (growth > 0.20) {
        problems.append(
            QStringLiteral("memory grew by %1 % after the warm-up").arg(growth * 100, 0, 'f', 1));
    }

    out << "soak: seed " << seed << ", " << seconds << " s, " << actions << " actions, " << garbage
        << " non-numbers typed, " << reporter.total << " reports (" << audit->failed
        << " failing calls); held " << warm << " -> " << end << " kB ("
        << QString::number(growth * 100, 'f', 1) << " %)\n";
    for (const auto& [kind, seen] : reporter.byKind) {
        out << "  " << kind << ": " << seen << '\n';
    }
    for (const QString& p : problems) {
        out << "FAIL: " << p << '\n';
    }
    out.flush();
    return problems.isEmpty() ? 0 : 1;
}

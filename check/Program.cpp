#include "check/Program.h"

#include "check/Interrupt.h"
#include "check/ReceiverCheck.h"
#include "receiver/RuntimeError.h"

#include <QCommandLineParser>

#include <variant>

namespace corvane::check {

namespace {

// The window's application name: its driver table is the one checked.
const QString application = QStringLiteral("Test");

struct Parsed {
    QString name;
    QString outDir;
    Options options;
};

// The parsed arguments, or the text that says what is wrong (or the help).
std::variant<Parsed, QString> parse(const QStringList& arguments) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Checks a receiver of Corvane Test's driver table as the window drives it: reads what "
        "the window shows and, with --remote, sets every entry of every list, tunes to the "
        "limits and past them, times each step and puts back what it found."));
    p.addPositionalArgument(QStringLiteral("NAME"),
                            QStringLiteral("The driver's name in the table, or all."));
    const QCommandLineOption remote(QStringLiteral("remote"),
                                    QStringLiteral("Take remote control and set things; without "
                                                   "it the receiver is only read."));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Write check.md and check.json into DIR."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption step(QStringLiteral("step-ms"),
                                  QStringLiteral("Longest wait for one set (default 3000)."),
                                  QStringLiteral("ms"), QStringLiteral("3000"));
    const QCommandLineOption connect(
        QStringLiteral("connect-ms"),
        QStringLiteral("Longest wait for the link and its first reading (default 10000)."),
        QStringLiteral("ms"), QStringLiteral("10000"));
    const QCommandLineOption listen(QStringLiteral("listen-ms"),
                                    QStringLiteral("S-meter events counted this long (default "
                                                   "2000)."),
                                    QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption deadline(
        QStringLiteral("deadline"),
        QStringLiteral("Seconds the survey of one receiver may take before it is cut short and "
                       "put back (default 300)."),
        QStringLiteral("s"), QStringLiteral("300"));
    const QCommandLineOption plug(
        QStringLiteral("pull-the-plug"),
        QStringLiteral("After the survey, time how long a dead line takes to notice: switch the "
                       "radio off when the count reaches 0, and on again when asked."));
    const QCommandLineOption countdown(QStringLiteral("countdown"),
                                       QStringLiteral("Seconds counted down before the radio is "
                                                      "switched off (default 5)."),
                                       QStringLiteral("s"), QStringLiteral("5"));
    const QCommandLineOption help = p.addHelpOption();
    p.addOptions({remote, out, step, connect, listen, deadline, plug, countdown});
    if (!p.parse(arguments)) {
        return p.errorText();
    }
    if (p.isSet(help)) {
        return p.helpText();
    }
    if (p.positionalArguments().size() != 1) {
        return QStringLiteral("give one driver name, or all (--help says more)");
    }
    Parsed r;
    r.name = p.positionalArguments().front();
    r.outDir = p.value(out);
    r.options.remote = p.isSet(remote);
    r.options.pullThePlug = p.isSet(plug);
    const struct {
        const QCommandLineOption& option;
        int* into;
        int scale;
    } numbers[] = {{step, &r.options.stepMs, 1},
                   {connect, &r.options.connectMs, 1},
                   {listen, &r.options.listenMs, 1},
                   {deadline, &r.options.deadlineMs, 1000},
                   {countdown, &r.options.countdownS, 1}};
    for (const auto& n : numbers) {
        bool ok = false;
        const int v = p.value(n.option).toInt(&ok);
        if (!ok || v < 0 || v > 24 * 3600 * 1000 / n.scale) {
            return QStringLiteral("--%1 takes a whole number, not \"%2\"")
                .arg(n.option.names().front(), p.value(n.option));
        }
        *n.into = v * n.scale;
    }
    return r;
}

} // namespace

int runCheck(const QStringList& arguments, const receiver::ComponentFactory& make,
             const Streams& streams, Interrupt* interrupt) {
    const auto parsed = parse(arguments);
    if (const auto* text = std::get_if<QString>(&parsed)) {
        (text->startsWith(QLatin1String("Usage")) ? streams.out : streams.err)(*text);
        return text->startsWith(QLatin1String("Usage")) ? Clean : Usage;
    }
    const Parsed& args = std::get<Parsed>(parsed);
    std::unique_ptr<receiver::Component> component;
    std::vector<int16_t> chosen;
    QStringList names;
    try {
        component = make();
        component->DrvSetup(application, 0);
        const int16_t n = component->DrvCount();
        for (int16_t i = 0; i < n; ++i) {
            names << component->DrvName(i);
        }
    } catch (const receiver::RuntimeError& e) {
        streams.err(QStringLiteral("corvane-check: %1").arg(e.message()));
        return Usage;
    }
    for (int16_t i = 0; i < names.size(); ++i) {
        if (args.name == QLatin1String("all") || names[i] == args.name) {
            chosen.push_back(i);
        }
    }
    if (chosen.empty()) {
        streams.err(names.isEmpty()
                        ? QStringLiteral("corvane-check: the driver table has no drivers")
                        : QStringLiteral("corvane-check: no driver \"%1\"; the table has: %2")
                              .arg(args.name, names.join(QStringLiteral(", "))));
        return Usage;
    }

    std::vector<ReceiverReport> reports;
    bool stopped = false;
    int status = Clean;
    for (const int16_t i : chosen) {
        if (stopped) {
            break;
        }
        ReceiverCheck check(*component, i, args.options);
        check.progress = streams.err;
        QMetaObject::Connection c;
        if (interrupt != nullptr) {
            c = QObject::connect(interrupt, &Interrupt::interrupted, &check, [&] {
                stopped = true;
                check.interrupt();
            });
        }
        reports.push_back(check.run());
        QObject::disconnect(c);
        const ReceiverReport& r = reports.back();
        streams.out(tableText(r));
        for (const QString& what : r.notPutBack) {
            streams.err(QStringLiteral("%1: not put back: %2").arg(r.driver, what));
        }
        if (!r.clean() && status == Clean) {
            status = Incomplete;
        }
    }
    if (!args.outDir.isEmpty()) {
        if (const QString error = writeReports(reports, args.outDir); !error.isEmpty()) {
            streams.err(QStringLiteral("corvane-check: %1").arg(error));
            status = status == Clean ? Incomplete : status;
        } else {
            streams.err(QStringLiteral("wrote %1/check.md and check.json").arg(args.outDir));
        }
    }
    return stopped ? Interrupted : status;
}

} // namespace corvane::check

// corvane-vradio: a simulated receiver on a pseudo-terminal that speaks a real
// radio's protocol, for programs (ours, Hamlib's rigctl, any other) to drive.
#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "receiver/RuntimeError.h"
#include "vradio/Console.h"
#include "vradio/FrontPanel.h"
#include "vradio/Replay.h"
#include "vradio/Tap.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

using namespace corvane;

namespace {

int quitPipe[2] = {-1, -1};
volatile sig_atomic_t endedBy = 0;

// Signals whose default is to end the program: it ends by them all the same,
// but its link goes at once (while its terminal is still open, so that its
// number cannot have gone to another program yet), and then the program
// closes down as it does at any end.
const int endingSignals[] = {SIGHUP,    SIGINT,  SIGTERM, SIGUSR1, SIGUSR2,  SIGALRM,
                             SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
// Signals of a crash (or a request for a core): the link goes, then the
// signal takes its course as it would have (a sanitizer's report, a core).
const int crashSignals[] = {SIGSEGV, SIGBUS, SIGFPE,  SIGILL,  SIGABRT,
                            SIGTRAP, SIGSYS, SIGQUIT, SIGXCPU, SIGXFSZ};
struct sigaction before[NSIG];

void onEnd(int sig) {
    vradio::Pty::removeLinkOnSignal();
    if (endedBy == 0) {
        endedBy = sig;
    }
    const char b = 'q';
    // A full pipe already holds a wake-up; nothing else can be done here.
    if (::write(quitPipe[1], &b, 1) < 0) {
        return;
    }
}

void onCrash(int sig, siginfo_t* info, void*) {
    vradio::Pty::removeLinkOnSignal();
    sigaction(sig, &before[sig], nullptr);
    if (info == nullptr || info->si_code <= 0) {
        raise(sig); // sent by a program: taken as before once this returns
    }
    // A fault: returning runs the faulting instruction again, which now
    // meets the handling it had before.
}

void handleSignals() {
    struct sigaction a {};
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESTART;
    a.sa_handler = onEnd;
    const auto ending = [&a](int sig) {
        // One ignored from the start stays so (nohup's SIGHUP).
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) {
            sigaction(sig, &a, nullptr);
        }
    };
    for (const int sig : endingSignals) {
        ending(sig);
    }
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
        ending(sig);
    }
    a.sa_handler = nullptr;
    a.sa_sigaction = onCrash;
    a.sa_flags = SA_SIGINFO | SA_RESTART;
    for (const int sig : crashSignals) {
        sigaction(sig, &a, &before[sig]);
    }
    // Standard output or error whose reader has gone ends nothing; nor does
    // a write to the terminal from the background stop it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTOU, SIG_IGN);
}

void say(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

// Runs the radio until a signal or the event loop's end: the signal, 0, or
// -1 when it could not start.
int run(const vradio::RadioModel& model, component::Profile profile, int baud, const QString& link,
        bool log) {
    vradio::ConsoleWriter out(STDOUT_FILENO);
    vradio::ConsoleWriter err(STDERR_FILENO);
    component::RealClock clock;
    vradio::Radio radio(std::move(profile), clock);
    const auto engine = vradio::makeEngine(radio, model);
    if (log) {
        engine->onHeard = [&err](const vradio::Heard& h) {
            err.say(QStringLiteral("%1 %2")
                        .arg(h.refused ? "refused"
                             : h.write ? "write"
                                       : "read",
                             QString::fromLatin1(h.command))
                        .toLocal8Bit());
        };
    }
    {
        vradio::Line line(*engine, baud, link);
        line.guardLinkOnSignals();
        QString error;
        if (!line.open(&error)) {
            say(stderr, QStringLiteral("corvane-vradio: %1").arg(error));
            return -1;
        }
        vradio::FrontPanel panel(radio, *engine, line);

        out.say(line.slavePath().toLocal8Bit());
        if (!line.notice().isEmpty()) {
            err.say(QStringLiteral("corvane-vradio: %1").arg(line.notice()).toLocal8Bit());
        }
        err.say(QStringLiteral("%1 (Hamlib model %2) on %3%4 at %5 baud; type help")
                    .arg(model.name)
                    .arg(model.hamlibModel)
                    .arg(line.slavePath())
                    .arg(line.linkPath().isEmpty() ? QString()
                                                   : QStringLiteral(", link ") + line.linkPath())
                    .arg(baud)
                    .toLocal8Bit());

        QSocketNotifier quit(quitPipe[0], QSocketNotifier::Read);
        QObject::connect(&quit, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);

        vradio::CommandLines commands(
            [&](const QByteArray& command) {
                out.say(panel.command(QString::fromLocal8Bit(command)).toLocal8Bit());
            },
            [&](qsizetype bytes) {
                out.say(QStringLiteral("a command line of %1 bytes, longer than %2: ignored")
                            .arg(bytes)
                            .arg(vradio::CommandLines::longest)
                            .toLocal8Bit());
            });
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, qApp, [&] {
            // One bounded read a turn of the event loop: typing, however
            // much, never keeps the radio from its line.
            static char buffer[65536];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                return;
            }
            if (n <= 0) {
                input.setEnabled(false); // no more commands; the radio plays on
                return;
            }
            commands.feed(buffer, n);
        });
        QCoreApplication::exec();
    } // the link removed, then the terminal closed
    // What is still to be written gets a moment, not more.
    out.flush(std::chrono::milliseconds(300));
    err.flush(std::chrono::milliseconds(300));
    return endedBy;
}

// The program's end: 1 when it could not start (-1), as the signal that ended
// it, else 0.
int ended(int sig) {
    if (sig < 0) {
        return 1;
    }
    if (sig > 0) {
        // Ended by a signal: the program's end says so, as the signal's would have.
        std::signal(sig, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        raise(sig);
    }
    return 0;
}

// --tap PORT --capture FILE, or --replay CAPTURE.
int tapOrReplay(const QCommandLineParser& args, bool tap) {
    if (tap && args.isSet(QStringLiteral("replay"))) {
        say(stderr, QStringLiteral("corvane-vradio: --tap or --replay, not both"));
        return 2;
    }
    if (args.isSet(QStringLiteral("radio")) || args.isSet(QStringLiteral("log"))) {
        say(stderr, QStringLiteral("corvane-vradio: --radio and --log play a radio; a tap or a "
                                   "replay is the radio it records or recorded"));
        return 2;
    }
    bool ok = true;
    const int baud =
        args.isSet(QStringLiteral("speed")) ? args.value(QStringLiteral("speed")).toInt(&ok) : 0;
    if (!ok || (args.isSet(QStringLiteral("speed")) && baud < 50)) {
        say(stderr, QStringLiteral("corvane-vradio: --baud must be a number of baud"));
        return 2;
    }
    const QString pace = args.value(QStringLiteral("pace"));
    if (pace != QLatin1String("recorded") && pace != QLatin1String("line")) {
        say(stderr, QStringLiteral("corvane-vradio: --pace is recorded or line"));
        return 2;
    }
    if (tap && !args.isSet(QStringLiteral("capture"))) {
        say(stderr, QStringLiteral("corvane-vradio: a tap records into --capture FILE"));
        return 2;
    }
    if (::pipe2(quitPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        say(stderr, QStringLiteral("corvane-vradio: no pipe for signals"));
        return 1;
    }
    handleSignals();
    bool started = false;
    if (tap) {
        started = vradio::runTap({args.value(QStringLiteral("tap")), baud > 0 ? baud : 9600,
                                  args.value(QStringLiteral("link")),
                                  args.value(QStringLiteral("capture")),
                                  args.isSet(QStringLiteral("force"))},
                                 quitPipe[0]);
    } else {
        started = vradio::runReplay({args.value(QStringLiteral("replay")),
                                     args.value(QStringLiteral("link")),
                                     pace == QLatin1String("recorded"), baud},
                                    quitPipe[0]);
    }
    return ended(started ? endedBy : -1);
}

} // namespace

int main(int argc, char** argv) {
    // The built-in profiles live in the component's static library.
    Q_INIT_RESOURCE(profiles);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-vradio"));
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "A simulated receiver on a pseudo-terminal, answering as a real radio. Prints the "
        "terminal's path; commands on standard input turn its knobs and break its line "
        "(type help). With --tap it records a real radio's line instead, with --replay it "
        "plays such a recording back (docs/vradio.md)."));
    args.addHelpOption();
    QStringList radios;
    for (const vradio::RadioModel& m : vradio::radioModels()) {
        radios << QStringLiteral("%1 (%2)").arg(m.name).arg(m.hamlibModel);
    }
    args.addOptions({
        {{QStringLiteral("r"), QStringLiteral("radio")},
         QStringLiteral("The radio to play, by name or Hamlib model: %1.").arg(radios.join(", ")),
         QStringLiteral("radio")},
        {{QStringLiteral("p"), QStringLiteral("profile")},
         QStringLiteral("Play another receiver than the radio's own: builtin:hf, builtin:vhf, "
                        "builtin:bc or a profile file."),
         QStringLiteral("profile")},
        {{QStringLiteral("s"), QStringLiteral("speed"), QStringLiteral("baud")},
         QStringLiteral("Line speed in baud (default 9600; a replay: the capture's)."),
         QStringLiteral("baud"),
         QStringLiteral("9600")},
        {{QStringLiteral("l"), QStringLiteral("link")},
         QStringLiteral("Keep a symbolic link at this path pointing at the terminal. A path "
                        "that exists is refused, unless it is the stale link of a radio that "
                        "has ended."),
         QStringLiteral("path")},
        {QStringLiteral("log"), QStringLiteral("Write every command heard on standard error.")},
        {QStringLiteral("tap"),
         QStringLiteral("Sit between a program and the radio on this serial port: forward "
                        "every byte both ways and record it (--capture)."),
         QStringLiteral("port")},
        {QStringLiteral("capture"),
         QStringLiteral("The tap's capture file; one that exists is refused unless --force."),
         QStringLiteral("file")},
        {QStringLiteral("force"), QStringLiteral("The tap replaces a capture file that exists.")},
        {QStringLiteral("replay"),
         QStringLiteral("Play the radio recorded in this capture: answer each request as it "
                        "answered."),
         QStringLiteral("capture")},
        {QStringLiteral("pace"),
         QStringLiteral("A replay's answers at the recorded pace (default) or the line's."),
         QStringLiteral("recorded|line"), QStringLiteral("recorded")},
    });
    args.process(app);

    const bool tap = args.isSet(QStringLiteral("tap"));
    const bool replay = args.isSet(QStringLiteral("replay"));
    if (tap || replay) {
        return tapOrReplay(args, tap);
    }
    const vradio::RadioModel* model = vradio::findRadioModel(args.value(QStringLiteral("radio")));
    if (model == nullptr) {
        say(stderr,
            QStringLiteral("corvane-vradio: --radio must be one of %1").arg(radios.join(", ")));
        return 2;
    }
    bool ok = false;
    const int baud = args.value(QStringLiteral("speed")).toInt(&ok);
    if (!ok || baud < 50) {
        say(stderr, QStringLiteral("corvane-vradio: --speed must be a number of baud"));
        return 2;
    }
    if (!model->speeds.empty() &&
        std::find(model->speeds.begin(), model->speeds.end(), baud) == model->speeds.end()) {
        QStringList speeds;
        for (const int s : model->speeds) {
            speeds << QString::number(s);
        }
        say(stderr, QStringLiteral("corvane-vradio: the %1 runs at %2 baud, not %3")
                        .arg(model->name, speeds.join(QStringLiteral(", ")))
                        .arg(baud));
        return 2;
    }
    component::Profile profile;
    try {
        profile =
            args.isSet(QStringLiteral("profile"))
                ? component::loadProfile(args.value(QStringLiteral("profile")), QDir::currentPath())
                : vradio::modelProfile(*model);
    } catch (const receiver::RuntimeError& e) {
        say(stderr, QStringLiteral("corvane-vradio: %1").arg(e.description()));
        return 2;
    }

    // Before the link is made: from then on no signal that ends the radio
    // leaves it behind.
    if (::pipe2(quitPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        say(stderr, QStringLiteral("corvane-vradio: no pipe for signals"));
        return 1;
    }
    handleSignals();
    return ended(run(*model, std::move(profile), baud, args.value(QStringLiteral("link")),
                     args.isSet(QStringLiteral("log"))));
}

// corvane-vradio: a simulated receiver on a pseudo-terminal that speaks a real
// radio's protocol, for programs (ours, Hamlib's rigctl, any other) to drive.
#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "receiver/RuntimeError.h"
#include "vradio/FrontPanel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace corvane;

namespace {

int quitPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 'q';
    // A full pipe already holds a wake-up; nothing else can be done here.
    if (::write(quitPipe[1], &b, 1) < 0) {
        return;
    }
}

void say(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
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
        "(type help)."));
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
         QStringLiteral("Simulated receiver profile: builtin:hf (default), builtin:vhf, "
                        "builtin:bc or a file."),
         QStringLiteral("profile"),
         QStringLiteral("builtin:hf")},
        {{QStringLiteral("s"), QStringLiteral("speed")},
         QStringLiteral("Line speed in baud (default 9600)."),
         QStringLiteral("baud"),
         QStringLiteral("9600")},
        {{QStringLiteral("l"), QStringLiteral("link")},
         QStringLiteral("Keep a symbolic link at this path pointing at the terminal."),
         QStringLiteral("path")},
        {QStringLiteral("log"), QStringLiteral("Write every command heard on standard error.")},
    });
    args.process(app);

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
    component::Profile profile;
    try {
        profile =
            component::loadProfile(args.value(QStringLiteral("profile")), QDir::currentPath());
    } catch (const receiver::RuntimeError& e) {
        say(stderr, QStringLiteral("corvane-vradio: %1").arg(e.description()));
        return 2;
    }

    component::RealClock clock;
    vradio::Radio radio(std::move(profile), clock);
    const auto engine = vradio::makeEngine(radio, *model);
    if (args.isSet(QStringLiteral("log"))) {
        engine->onHeard = [](const vradio::Heard& h) {
            say(stderr, QStringLiteral("%1 %2").arg(h.refused ? "refused"
                                                    : h.write ? "write"
                                                              : "read",
                                                    QString::fromLatin1(h.command)));
        };
    }
    vradio::Line line(*engine, baud, args.value(QStringLiteral("link")));
    QString error;
    if (!line.open(&error)) {
        say(stderr, QStringLiteral("corvane-vradio: %1").arg(error));
        return 1;
    }
    vradio::FrontPanel panel(radio, *engine, line);

    say(stdout, line.slavePath());
    say(stderr, QStringLiteral("%1 (Hamlib model %2) on %3%4 at %5 baud; type help")
                    .arg(model->name)
                    .arg(model->hamlibModel)
                    .arg(line.slavePath())
                    .arg(line.linkPath().isEmpty() ? QString()
                                                   : QStringLiteral(", link ") + line.linkPath())
                    .arg(baud));

    // Ends cleanly (the link removed) on SIGINT and SIGTERM.
    if (::pipe(quitPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier quit(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(&quit, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    QByteArray typed;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false); // no more commands; the radio plays on
            return;
        }
        typed.append(buffer, n);
        for (qsizetype end; (end = typed.indexOf('\n')) >= 0;) {
            const QString command = QString::fromLocal8Bit(typed.left(end));
            typed.remove(0, end + 1);
            say(stdout, panel.command(command));
        }
    });
    return QCoreApplication::exec();
}

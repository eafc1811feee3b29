// corvane-check: a receiver of Corvane Test's driver table checked from a
// shell, without the window (which reads no command line: hence a program of
// its own). No display is needed.
#include "check/Interrupt.h"
#include "check/Program.h"
#include "component/core/Factory.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void line(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-check"));
    corvane::check::Interrupt interrupt;
    return corvane::check::runCheck(
        QCoreApplication::arguments(), &corvane::component::makeComponent,
        {[](const QString& t) { line(stdout, t); }, [](const QString& t) { line(stderr, t); }},
        &interrupt);
}

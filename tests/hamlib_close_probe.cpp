// Run by test_hamlib_rigctld: a program that holds the component as the real
// one does, connects receiver 0, says "connected" on stdout once the receiver
// is, and closes when a line arrives on stdin, the component going before the
// application object as the window goes before it in the program.
#include "component/core/CorvaneComponent.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: hamlib_close_probe CONFIG_HOME\n");
        return 2;
    }
    corvane::component::CorvaneComponent::Options options;
    options.configHome = QString::fromLocal8Bit(argv[1]);
    auto component = std::make_unique<corvane::component::CorvaneComponent>(std::move(options));
    QObject::connect(component.get(), &corvane::receiver::Component::RxConnState,
                     [](int16_t index, int32_t err) {
                         if (index == 0 && err == 1000) {
                             std::printf("connected\n");
                             std::fflush(stdout);
                         }
                     });
    component->DrvSetup(QStringLiteral("Test"), 0);
    component->RxConnect(0, -1);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    const int result = QApplication::exec();
    component.reset();
    return result;
}

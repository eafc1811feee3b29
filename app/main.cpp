// Corvane Test: one window driving the receivers of the Corvane component.
#include "component/Factory.h"
#include "window/TestWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    corvane::window::Test test(&corvane::component::makeComponent);
    QObject::connect(&test, &corvane::window::Test::unloaded, &app, [] { QApplication::exit(0); });
    test.load();
    if (test.isUnloaded()) {
        return 0; // no driver: the window is never shown
    }
    test.show();
    return QApplication::exec();
}

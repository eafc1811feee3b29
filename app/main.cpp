// Corvane Test: one window driving the receivers of the Corvane component.
#include "app/ProgramIcon.h"
#include "component/core/Factory.h"
#include "window/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The desktop entry and the icon installed with it carry this name; it
    // lets the desktop match the running window to its entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane-test"));
    corvane::window::MainWindow test(&corvane::component::makeComponent);
    corvane::app::setProgramIcon(test);
    QObject::connect(&test, &corvane::window::MainWindow::unloaded, &app,
                     [] { QApplication::exit(0); });
    test.load();
    if (test.isUnloaded()) {
        return 0; // no driver: the window is never shown
    }
    test.show();
    return QApplication::exec();
}

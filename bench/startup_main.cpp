// Start-up probe: builds the program's window with its icon, as the program
// does (or, with CORVANE_BARE, a bare Qt window of the same size that shows a
// label and a button, so both pay for the fonts), shows it, and exits as soon
// as the window system has exposed it. Timing the whole process from outside measures
// process start to window shown; /usr/bin/time -v gives its peak memory.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#ifndef CORVANE_BARE
#include "app/ProgramIcon.h"
#include "component/core/Factory.h"
#include "window/MainWindow.h"
#endif

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
#ifdef CORVANE_BARE
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Bare"));
    window->setFixedSize(386, 119);
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(new QLabel(QStringLiteral("Receiver")));
    layout->addWidget(new QPushButton(QStringLiteral("Connect")));
#else
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane-test"));
    auto window = std::make_unique<corvane::window::MainWindow>(&corvane::component::makeComponent);
    corvane::app::setProgramIcon(*window);
    window->load();
#endif
    window->show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window->windowHandle() != nullptr && window->windowHandle()->isExposed()) {
            QApplication::quit();
        }
    });
    poll.start(0);
    const int status = QApplication::exec();
    // Peak resident memory, for the comparison with the bare window.
    QFile proc(QStringLiteral("/proc/self/status"));
    if (proc.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : proc.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                std::fprintf(stderr, "%s\n", line.simplified().constData());
            }
        }
    }
    return status;
}

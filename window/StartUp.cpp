// Start-up, the Config Driver button and the driver list.
#include "receiver/Int16.h"
#include "window/MainWindow.h"

namespace corvane::window {

namespace {
const QString kApplication = QStringLiteral("Test");
}

void MainWindow::load() {
    controls::runHandler(m_reporter, QStringLiteral("Form_Load"), [this] { Form_Load(); });
}

void MainWindow::unload() {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    close();
    emit unloaded();
}

void MainWindow::fillDriverList() {
    // Entry i is receiver i: appended in index order into an unsorted list.
    const int16_t last = receiver::lastOf(receiver().DrvCount());
    for (int32_t i = 0; i <= last; ++i) {
        Driver->addListItem(receiver().DrvName(static_cast<int16_t>(i)));
    }
}

void MainWindow::Form_Load() {
    Receiver = m_factory ? m_factory() : nullptr;
    if (!Receiver) {
        throw receiver::RuntimeError(receiver::RuntimeError::ObjectNotSet,
                                     QStringLiteral("the component could not be created"));
    }
    connectReceiverEvents();
    receiver().DrvSetup(kApplication, 0);
    if (receiver().DrvCount() == 0) {
        unload();
        return;
    }
    fillDriverList();
    // Selecting entry 0 runs Driver_Click, which shows receiver 0. On an empty
    // list (a negative count) the list refuses, and that is reported.
    Driver->setListIndex(0);
}

void MainWindow::Dialog_MouseDown(int16_t Shift) {
    ConfigShift = Shift;
}

void MainWindow::Dialog_Click() {
    if (ConfigShift == 1) {
        receiver().RxConfigure(CurRx);
        return;
    }
    receiver().DrvSetup(kApplication, 1);
    if (receiver().DrvCount() == 0) {
        unload();
    }
    // A changed table comes back through DrvUpdated.
}

void MainWindow::Receiver_DrvUpdated(int32_t /*Count*/) {
    if (receiver().DrvCount() == 0) {
        unload();
        return;
    }
    Driver->clearList();
    fillDriverList();
    // No entry is selected: CurRx and everything shown stay with the receiver
    // that was selected until the operator picks one.
}

} // namespace corvane::window

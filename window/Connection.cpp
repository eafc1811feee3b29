// Connection commands, link events, coupling and key forwarding.
#include "window/MainWindow.h"

namespace corvane::window {

namespace {
using receiver::comTrue;
constexpr int16_t kFalse = 0;
} // namespace

void MainWindow::Connect_Click() {
    // The new state arrives as RxConnState; nothing is redrawn here.
    receiver().RxConnect(CurRx, comTrue);
}

void MainWindow::Disconnect_Click() {
    receiver().RxConnect(CurRx, kFalse);
    RefreshStatus();
}

void MainWindow::Remote_Click() {
    receiver().RxRemote(CurRx, comTrue);
    RefreshStatus();
}

void MainWindow::Local_Click() {
    receiver().RxRemote(CurRx, kFalse);
    RefreshStatus();
}

void MainWindow::Receiver_RxConnState(int16_t Index, int32_t Err) {
    if (Driver->listIndex() != Index) {
        return;
    }
    if (Err == receiver::linkChanged) {
        RefreshStatus();
    } else {
        showConnState(kRed);
    }
}

void MainWindow::Receiver_RxDataError(int16_t Index, int32_t /*Err*/) {
    if (Driver->listIndex() != Index) {
        return;
    }
    RefreshStatus();
}

void MainWindow::Coupling_Click() {
    const int16_t state = Coupling->isChecked() ? 1 : 0;
    receiver::setPropertyByName(receiver(), "DrvForward", QVariant::fromValue<qint16>(state));
}

void MainWindow::Form_KeyPress(int16_t KeyAscii) {
    receiver().RxKeyPress(CurRx, KeyAscii);
}

} // namespace corvane::window

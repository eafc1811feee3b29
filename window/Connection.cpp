// Connection commands, link events, coupling and key forwarding.
#include "window/Test.h"

namespace corvane::window {

namespace {
using receiver::comTrue;
constexpr int16_t kFalse = 0;
} // namespace

void Test::Connect_Click() {
    // The new state arrives as RxConnState; nothing is redrawn here.
    receiver().RxConnect(CurRx, comTrue);
}

void Test::Disconnect_Click() {
    receiver().RxConnect(CurRx, kFalse);
    RefreshStatus();
}

void Test::Remote_Click() {
    receiver().RxRemote(CurRx, comTrue);
    RefreshStatus();
}

void Test::Local_Click() {
    receiver().RxRemote(CurRx, kFalse);
    RefreshStatus();
}

void Test::Receiver_RxConnState(int16_t Index, int32_t Err) {
    if (Driver->listIndex() != Index) {
        return;
    }
    if (Err == receiver::linkChanged) {
        RefreshStatus();
    } else {
        showConnState(kRed);
    }
}

void Test::Receiver_RxDataError(int16_t Index, int32_t /*Err*/) {
    if (Driver->listIndex() != Index) {
        return;
    }
    RefreshStatus();
}

void Test::Coupling_Click() {
    const int16_t state = Coupling->isChecked() ? 1 : 0;
    receiver::setPropertyByName(receiver(), "DrvForward", QVariant::fromValue<qint16>(state));
}

void Test::Form_KeyPress(int16_t KeyAscii) {
    receiver().RxKeyPress(CurRx, KeyAscii);
}

} // namespace corvane::window

// Selecting a receiver, and the two procedures that show one as a whole.
#include "settings/NumberText.h"
#include "window/MainWindow.h"

namespace corvane::window {

using settings::numberText;

void MainWindow::Driver_Click() {
    CurRx = Driver->listIndex();
    RefreshReceiver();
    RefreshStatus();
}

void MainWindow::RefreshReceiver() {
    // Each value is read right before it is used; the loaders' selections
    // write the receiver's settings back to it.
    LoadModeList(receiver().RxMod(CurRx));
    LoadFilterList(receiver().RxFlt(CurRx));
    LoadAgcList(receiver().RxAgc(CurRx));
    LoadNBList(receiver().RxNBl(CurRx));
    LoadAttList(receiver().RxAtt(CurRx));
    Read->setText(numberText(receiver().RxFrq(CurRx, 0)));
    BFO->setText(numberText(receiver().RxBfo(CurRx)));
}

void MainWindow::RefreshStatus() {
    RomID->setText(receiver().RxRomId(CurRx));
    FrqMax->setText(numberText(receiver().RxFrqMax(CurRx)));
    FrqMin->setText(numberText(receiver().RxFrqMin(CurRx)));
    if (receiver().RxIsRemote(CurRx) != 0) {
        showConnState(kGreen);
    } else if (receiver().RxConnected(CurRx) != 0) {
        showConnState(kYellow);
    } else {
        showConnState(kRed);
    }
    // The lists are shown in any state but usable only under remote control;
    // the state is asked afresh for each.
    for (controls::ListBox* list : {Mode, Filter, Agc, NB, Att}) {
        list->setEnabled(receiver().RxIsRemote(CurRx) != 0);
    }
}

} // namespace corvane::window

#pragma once

#include "controls/Button.h"
#include "controls/ListBox.h"
#include "controls/TextBox.h"

#include <QCheckBox>
#include <QLabel>

#include <stdexcept>

namespace corvane::testsupport {

// A control of a window found by its object name, which is its documented
// name; a missing one ends the test rather than crashing it.
template <typename T = QWidget> T* control(const QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    if (found == nullptr) {
        throw std::logic_error(std::string("no control named ") + name);
    }
    return found;
}

// The main window's controls, by their documented names.
struct Controls {
    explicit Controls(const QWidget& window) : w(window) {}

    const QWidget& w; // first: the others are found in it
    controls::Button* Dialog = control<controls::Button>(w, "Dialog");
    controls::ListBox* Driver = control<controls::ListBox>(w, "Driver");
    controls::Button* Connect = control<controls::Button>(w, "Connect");
    controls::Button* Disconnect = control<controls::Button>(w, "Disconnect");
    QLabel* RomID = control<QLabel>(w, "RomID");
    QLabel* FrqMax = control<QLabel>(w, "FrqMax");
    controls::Button* Remote = control<controls::Button>(w, "Remote");
    controls::Button* Local = control<controls::Button>(w, "Local");
    QLabel* ConnState = control<QLabel>(w, "ConnState");
    controls::TextBox* Freq = control<controls::TextBox>(w, "Freq");
    controls::ListBox* Mode = control<controls::ListBox>(w, "Mode");
    QLabel* Read = control<QLabel>(w, "Read");
    controls::ListBox* Agc = control<controls::ListBox>(w, "Agc");
    controls::ListBox* NB = control<controls::ListBox>(w, "NB");
    controls::ListBox* Att = control<controls::ListBox>(w, "Att");
    controls::ListBox* Filter = control<controls::ListBox>(w, "Filter");
    QLabel* BFO = control<QLabel>(w, "BFO");
    QLabel* FrqMin = control<QLabel>(w, "FrqMin");
    controls::TextBox* DeltaF = control<controls::TextBox>(w, "DeltaF");
    QLabel* SMet = control<QLabel>(w, "SMet");
    QCheckBox* Coupling = control<QCheckBox>(w, "Coupling");
};

} // namespace corvane::testsupport

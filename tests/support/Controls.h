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

// Caption label `index` of the Label group.
inline QLabel* caption(const QWidget& window, int index) {
    for (QLabel* label :
         window.findChildren<QLabel*>(QStringLiteral("Label"), Qt::FindDirectChildrenOnly)) {
        if (label->property("index").toInt() == index) {
            return label;
        }
    }
    throw std::logic_error("no caption label with that index");
}

// The main window's controls, by their documented names.
struct Controls {
    explicit Controls(const QWidget& w)
        : Dialog(control<controls::Button>(w, "Dialog")),
          Driver(control<controls::ListBox>(w, "Driver")),
          Connect(control<controls::Button>(w, "Connect")),
          Disconnect(control<controls::Button>(w, "Disconnect")),
          RomID(control<QLabel>(w, "RomID")), FrqMax(control<QLabel>(w, "FrqMax")),
          Remote(control<controls::Button>(w, "Remote")),
          Local(control<controls::Button>(w, "Local")), ConnState(control<QLabel>(w, "ConnState")),
          Freq(control<controls::TextBox>(w, "Freq")), Mode(control<controls::ListBox>(w, "Mode")),
          Read(control<QLabel>(w, "Read")), Agc(control<controls::ListBox>(w, "Agc")),
          NB(control<controls::ListBox>(w, "NB")), Att(control<controls::ListBox>(w, "Att")),
          Filter(control<controls::ListBox>(w, "Filter")), BFO(control<QLabel>(w, "BFO")),
          FrqMin(control<QLabel>(w, "FrqMin")), DeltaF(control<controls::TextBox>(w, "DeltaF")),
          SMet(control<QLabel>(w, "SMet")), Coupling(control<QCheckBox>(w, "Coupling")) {}

    controls::Button* Dialog;
    controls::ListBox* Driver;
    controls::Button* Connect;
    controls::Button* Disconnect;
    QLabel* RomID;
    QLabel* FrqMax;
    controls::Button* Remote;
    controls::Button* Local;
    QLabel* ConnState;
    controls::TextBox* Freq;
    controls::ListBox* Mode;
    QLabel* Read;
    controls::ListBox* Agc;
    controls::ListBox* NB;
    controls::ListBox* Att;
    controls::ListBox* Filter;
    QLabel* BFO;
    QLabel* FrqMin;
    controls::TextBox* DeltaF;
    QLabel* SMet;
    QCheckBox* Coupling;
};

} // namespace corvane::testsupport

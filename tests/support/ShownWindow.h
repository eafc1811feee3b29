#pragma once

#include "tests/support/Controls.h"
#include "tests/support/Printers.h"
#include "tests/support/RecordingComponent.h"
#include "tests/support/WindowInput.h"
#include "window/Test.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace corvane::testsupport {

// A small receiver with one entry in each table, its values in force: enough
// for a selection to find and write back every setting.
inline FakeReceiver smallReceiver(const QString& name, int32_t frq = 7050000) {
    return {.name = name,
            .romId = name + QStringLiteral(" v1"),
            .frqMin = 100000,
            .frqMax = 30000000,
            .frq = frq,
            .bfo = -300,
            .modes = {{"USB", 1}},
            .agc = {{"Fast", 1}},
            .nb = {{"Off", 0}},
            .att = {{"0dB", 0}},
            .filters = {{2400, "SSB"}},
            .mod = 1,
            .flt = 2400,
            .agcCode = 1};
}

inline QStringList listTexts(const controls::ListBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts.append(list.listText(i));
    }
    return texts;
}

// Everything of the window an event or a click could change, as one comparable
// text: value labels, indicator colour, boxes, and each list's selection,
// Enabled state and items.
inline QString windowState(const QWidget& window) {
    const Controls w(window);
    QStringList parts;
    for (const QLabel* label : {w.RomID, w.FrqMax, w.FrqMin, w.Read, w.BFO, w.SMet}) {
        parts.append(label->objectName() + QLatin1Char('=') + label->text());
    }
    // The indicator's colour, and what a screen reader says for it.
    parts.append(QStringLiteral("ConnState=") + window::backColor(*w.ConnState).name() + ' ' +
                 w.ConnState->accessibleName());
    parts.append(QStringLiteral("Freq=") + w.Freq->text());
    parts.append(QStringLiteral("DeltaF=") + w.DeltaF->text());
    parts.append(QStringLiteral("Coupling=%1").arg(w.Coupling->isChecked()));
    for (const controls::ListBox* list : {w.Driver, w.Mode, w.Filter, w.Agc, w.NB, w.Att}) {
        parts.append(QStringLiteral("%1[%2,%3]=%4")
                         .arg(list->objectName())
                         .arg(list->listIndex())
                         .arg(list->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"))
                         .arg(listTexts(*list).join(QLatin1Char('|'))));
    }
    return parts.join(QLatin1Char('\n'));
}

// A window over the fake holding `receivers`, neither loaded nor shown; its
// error reports are recorded, or shown as the program shows them.
template <typename Fake = RecordingComponent> struct WindowRig {
    std::unique_ptr<Fake> owned = std::make_unique<Fake>(); // until the window takes it
    Fake* fake = owned.get();
    RecordingReporter reporter;
    window::Test window;
    Controls ui{window};

    explicit WindowRig(QVector<FakeReceiver> receivers = {}, bool recordReports = true)
        : window([this] { return std::unique_ptr<receiver::Component>(std::move(owned)); },
                 recordReports ? &reporter : nullptr) {
        fake->receivers = std::move(receivers);
    }
    void showActive() {
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    FakeReceiver& rx(int i = 0) { return fake->receivers[i]; }
};

inline QVector<FakeReceiver> threeReceivers() {
    return {smallReceiver(QStringLiteral("HF")), smallReceiver(QStringLiteral("VHF"), 145500000),
            smallReceiver(QStringLiteral("BC"), 6070000)};
}

// A loaded, shown and active window over threeReceivers(), with receiver
// `selected` picked in the Driver list and the call record cleared. Under
// remote control the setting lists are enabled and take part in the tab order.
template <typename Fake = RecordingComponent> struct ShownWindow : WindowRig<Fake> {
    explicit ShownWindow(int16_t selected = 1, int32_t remote = 0, int32_t connected = 0)
        : WindowRig<Fake>(threeReceivers()) {
        for (FakeReceiver& r : this->fake->receivers) {
            r.remote = remote;
            r.connected = connected;
        }
        this->window.load();
        this->showActive();
        this->ui.Driver->setListIndex(selected);
        this->fake->clearCalls();
    }
};

} // namespace corvane::testsupport

#pragma once

#include "tests/support/Controls.h"
#include "tests/support/Printers.h"
#include "tests/support/RecordingComponent.h"
#include "tests/support/WindowInput.h"
#include "window/MainWindow.h"

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

// Call lines with the receiver index put in for '#'.
inline QStringList forRx(int16_t rx, QStringList lines) {
    return lines.replaceInStrings(QStringLiteral("#"), QString::number(rx));
}

// What loading the lists of a smallReceiver() costs, call by call, read value
// first. A Mode, AGC, NB or ATT load (one entry, in force) reads the setting,
// counts, fills, counts again, converts the entry's text twice (the search
// and the Click it runs) and writes the code back. Mode loads and Mode clicks
// then go on with dependentsRebuild(): filterRebuild() then the AGC load.
inline QStringList choiceLoad(int16_t rx, const char* op, int32_t code, const char* name) {
    const QString count = "Rx@Count(#) -> 1", convert = R"(Rx@Code(#, "$") -> %)";
    return forRx(rx, {"Rx@(#) -> %", count, "Rx@Avail(#, 0) -> -1", R"(Rx@Name(#, 0) -> "$")",
                      count, convert, convert, "Rx@(#) <- %"})
        .replaceInStrings("@", op)
        .replaceInStrings("$", name)
        .replaceInStrings("%", QString::number(code));
}

// The Filter list reads its widths twice: once for the entry, once for its name.
inline QStringList filterRebuild(int16_t rx = 0) {
    return forRx(rx, {"RxFlt(#) -> 2400", "RxFltCount(#) -> 1", "RxFltWidth(#, 0) -> 2400",
                      "RxFltWidth(#, 0) -> 2400", R"(RxFltName(#, 2400) -> "SSB")",
                      "RxFltCount(#) -> 1", "RxFlt(#) <- 2400"});
}

inline QStringList dependentsRebuild(int16_t rx = 0) {
    return filterRebuild(rx) + choiceLoad(rx, "Agc", 1, "Fast");
}

// The reads of one status redraw of receiver `rx`, holding `r`, in the order
// they must happen: identification, limits, indicator, then the remote state
// once per setting list. Connected is only asked when it is not remote.
inline QStringList statusReads(int16_t rx, const FakeReceiver& r) {
    const QString isRemote = QStringLiteral("RxIsRemote(#) -> %1").arg(r.remote);
    QStringList reads{QStringLiteral(R"(RxRomId(#) -> "%1")").arg(r.romId),
                      QStringLiteral("RxFrqMax(#) -> %1").arg(r.frqMax),
                      QStringLiteral("RxFrqMin(#) -> %1").arg(r.frqMin), isRemote};
    if (r.remote == 0) {
        reads.append(QStringLiteral("RxConnected(#) -> %1").arg(r.connected));
    }
    return forRx(rx, reads + QStringList(5, isRemote));
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
    window::MainWindow window;
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

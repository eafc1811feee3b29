#pragma once

#include "tests/support/Controls.h"
#include "tests/support/Printers.h"
#include "tests/support/Receivers.h"
#include "tests/support/WindowInput.h"
#include "window/Test.h"

#include <QStringList>
#include <QTest>

namespace corvane::testsupport {

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
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items.append(list->listText(i));
        }
        parts.append(QStringLiteral("%1[%2,%3]=%4")
                         .arg(list->objectName())
                         .arg(list->listIndex())
                         .arg(list->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"))
                         .arg(items.join(QLatin1Char('|'))));
    }
    return parts.join(QLatin1Char('\n'));
}

// A loaded, shown and active window over three small receivers, with receiver
// `selected` picked in the Driver list and the call record cleared. Under
// remote control the setting lists are enabled and take part in the tab order.
template <typename Fake = RecordingComponent> struct ShownWindow {
    FakeFactory<Fake> factory;
    Fake* fake = factory.fake;
    RecordingReporter reporter;
    window::Test window{factory.factory(), &reporter};
    Controls ui{window};
    bool activated = false; // the window system made the window active

    explicit ShownWindow(int16_t selected = 1, int32_t remote = 0, int32_t connected = 0) {
        fake->receivers = {smallReceiver(QStringLiteral("HF")),
                           smallReceiver(QStringLiteral("VHF"), 145500000),
                           smallReceiver(QStringLiteral("BC"), 6070000)};
        for (FakeReceiver& r : fake->receivers) {
            r.remote = remote;
            r.connected = connected;
        }
        window.load();
        window.show();
        window.activateWindow();
        activated = QTest::qWaitForWindowActive(&window);
        ui.Driver->setListIndex(selected);
        fake->clearCalls();
    }
};

} // namespace corvane::testsupport

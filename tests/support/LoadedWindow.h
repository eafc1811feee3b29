#pragma once

#include "tests/support/Controls.h"
#include "tests/support/Printers.h"
#include "tests/support/Receivers.h"
#include "tests/support/WindowInput.h"
#include "window/Test.h"

#include <QStringList>
#include <QTest>

namespace corvane::testsupport {

// A window loaded and shown over `count` small receivers named Rx0, Rx1...,
// receiver 0 selected by start-up and the call record cleared. Tests change
// the fake's tables afterwards and drive the window from there.
struct LoadedWindow {
    FakeFactory<> factory;
    FakeComponent* fake = factory.fake;
    RecordingReporter reporter;
    window::Test window{factory.factory(), &reporter};
    Controls ui{window};

    explicit LoadedWindow(int count = 1, int32_t remote = 0) {
        for (int i = 0; i < count; ++i) {
            fake->receivers.append(smallReceiver(QStringLiteral("Rx%1").arg(i)));
            fake->receivers.last().remote = remote;
        }
        window.load();
        window.show();
        fake->clearCalls();
    }
    FakeReceiver& rx(int i = 0) { return fake->receivers[i]; }
};

inline QStringList listTexts(const controls::ListBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts.append(list.listText(i));
    }
    return texts;
}

} // namespace corvane::testsupport

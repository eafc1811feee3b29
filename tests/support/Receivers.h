#pragma once

#include "tests/support/RecordingComponent.h"

namespace corvane::testsupport {

// A small receiver with one entry in each table, its values in force: enough
// for a selection to find and write back every setting.
inline FakeReceiver smallReceiver(const QString& name, int32_t frq = 7050000) {
    FakeReceiver r;
    r.name = name;
    r.romId = name + QStringLiteral(" v1");
    r.frqMin = 100000;
    r.frqMax = 30000000;
    r.frq = frq;
    r.bfo = -300;
    r.modes = {{QStringLiteral("USB"), 1}};
    r.filters = {{2400, QStringLiteral("SSB")}};
    r.agc = {{QStringLiteral("Fast"), 1}};
    r.nb = {{QStringLiteral("Off"), 0}};
    r.att = {{QStringLiteral("0dB"), 0}};
    r.mod = 1;
    r.flt = 2400;
    r.agcCode = 1;
    r.nbCode = 0;
    r.attCode = 0;
    return r;
}

} // namespace corvane::testsupport

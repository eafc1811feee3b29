#pragma once

#include "tests/support/RecordingComponent.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvane::testsupport {

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

} // namespace corvane::testsupport

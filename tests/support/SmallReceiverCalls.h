#pragma once

#include "tests/support/RecordingComponent.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvane::testsupport {

// What loading the lists of a smallReceiver() costs, call by call, read value
// first. A Mode, AGC, NB or ATT load (one entry, in force) reads the setting,
// counts, fills, counts again, converts the entry's text twice (the search
// and the Click it runs) and writes the code back. Mode loads and Mode clicks
// then go on with dependentsRebuild(): filterRebuild() then agcRebuild().
inline QStringList choiceLoad(int16_t rx, const char* op, int32_t code, const char* name) {
    const QString x = QString::number(rx);
    const QString o = QString::fromLatin1(op);
    const QString n = QString::fromLatin1(name);
    const QString count = QStringLiteral("Rx%1Count(%2) -> 1").arg(o, x);
    const QString convert = QStringLiteral("Rx%1Code(%2, \"%3\") -> %4").arg(o, x, n).arg(code);
    return {QStringLiteral("Rx%1(%2) -> %3").arg(o, x).arg(code),
            count,
            QStringLiteral("Rx%1Avail(%2, 0) -> -1").arg(o, x),
            QStringLiteral("Rx%1Name(%2, 0) -> \"%3\"").arg(o, x, n),
            count,
            convert,
            convert,
            QStringLiteral("Rx%1(%2) <- %3").arg(o, x).arg(code)};
}

// Loading the Mode list (one entry, USB, in force) up to its write-back; the
// Click it runs goes on with dependentsRebuild().
inline QStringList modeLoad(int16_t rx = 0) {
    return choiceLoad(rx, "Mod", 1, "USB");
}

// The Filter list reads its widths twice: once for the entry, once for its name.
inline QStringList filterRebuild(int16_t rx = 0) {
    const QString x = QString::number(rx);
    return {
        QStringLiteral("RxFlt(%1) -> 2400").arg(x),
        QStringLiteral("RxFltCount(%1) -> 1").arg(x),
        QStringLiteral("RxFltWidth(%1, 0) -> 2400").arg(x),
        QStringLiteral("RxFltWidth(%1, 0) -> 2400").arg(x),
        QStringLiteral("RxFltName(%1, 2400) -> \"SSB\"").arg(x),
        QStringLiteral("RxFltCount(%1) -> 1").arg(x),
        QStringLiteral("RxFlt(%1) <- 2400").arg(x),
    };
}

inline QStringList agcRebuild(int16_t rx = 0) {
    return choiceLoad(rx, "Agc", 1, "Fast");
}

inline QStringList dependentsRebuild(int16_t rx = 0) {
    return filterRebuild(rx) + agcRebuild(rx);
}

// The reads of one status redraw of receiver `rx`, holding `r`, in the order
// they must happen: identification, limits, indicator, then the remote state
// once per setting list. Connected is only asked when it is not remote.
inline QStringList statusReads(int16_t rx, const FakeReceiver& r) {
    const QString x = QString::number(rx);
    const QString isRemote = QStringLiteral("RxIsRemote(%1) -> %2").arg(x).arg(r.remote);
    QStringList reads{QStringLiteral("RxRomId(%1) -> \"%2\"").arg(x, r.romId),
                      QStringLiteral("RxFrqMax(%1) -> %2").arg(x).arg(r.frqMax),
                      QStringLiteral("RxFrqMin(%1) -> %2").arg(x).arg(r.frqMin), isRemote};
    if (r.remote == 0) {
        reads.append(QStringLiteral("RxConnected(%1) -> %2").arg(x).arg(r.connected));
    }
    return reads + QStringList(5, isRemote);
}

// Counts a list loader may be given at its first and second count call:
// nothing to fill, negative, and -32768 (whose last entry overflows 16 bits)
// before or after the list was filled.
struct CountCase {
    int16_t first, second;
    bool filled, overflow;
};
inline constexpr CountCase kCountCases[] = {{0, 0, false, false},
                                            {-3, -3, false, false},
                                            {-32768, 2, false, true},
                                            {2, -32768, true, true}};

} // namespace corvane::testsupport

#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvane::testsupport {

// What rebuilding the Filter and AGC lists of a smallReceiver() costs, call by
// call, read value first: the loader's count, fill and second count, then the
// write-back of the one entry it finds. Mode loads and Mode clicks end with
// filterRebuild() followed by agcRebuild().
// Loading the Mode list (one entry, USB, in force) up to its write-back; the
// Click it runs goes on with dependentsRebuild().
inline QStringList modeLoad(int16_t rx = 0) {
    const QString x = QString::number(rx);
    return {
        QStringLiteral("RxMod(%1) -> 1").arg(x),
        QStringLiteral("RxModCount(%1) -> 1").arg(x),
        QStringLiteral("RxModAvail(%1, 0) -> -1").arg(x),
        QStringLiteral("RxModName(%1, 0) -> \"USB\"").arg(x),
        QStringLiteral("RxModCount(%1) -> 1").arg(x),
        QStringLiteral("RxModCode(%1, \"USB\") -> 1").arg(x),
        QStringLiteral("RxModCode(%1, \"USB\") -> 1").arg(x),
        QStringLiteral("RxMod(%1) <- 1").arg(x),
    };
}

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
    const QString x = QString::number(rx);
    return {
        QStringLiteral("RxAgc(%1) -> 1").arg(x),
        QStringLiteral("RxAgcCount(%1) -> 1").arg(x),
        QStringLiteral("RxAgcAvail(%1, 0) -> -1").arg(x),
        QStringLiteral("RxAgcName(%1, 0) -> \"Fast\"").arg(x),
        QStringLiteral("RxAgcCount(%1) -> 1").arg(x),
        QStringLiteral("RxAgcCode(%1, \"Fast\") -> 1").arg(x),
        QStringLiteral("RxAgcCode(%1, \"Fast\") -> 1").arg(x),
        QStringLiteral("RxAgc(%1) <- 1").arg(x),
    };
}

inline QStringList dependentsRebuild(int16_t rx = 0) {
    return filterRebuild(rx) + agcRebuild(rx);
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

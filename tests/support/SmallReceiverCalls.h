#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvane::testsupport {

// What rebuilding the Filter and AGC lists of a smallReceiver() costs, call by
// call, read value first: the loader's count, fill and second count, then the
// write-back of the one entry it finds. Mode loads and Mode clicks end with
// filterRebuild() followed by agcRebuild().
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

} // namespace corvane::testsupport

#pragma once

#include "receiver/Saturate.h"

#include <QString>

#include <algorithm>
#include <cstdint>

namespace corvane::component::smeter {

// The S-meter scale every receiver reports on: S9 is -73 dBm and one S unit
// below it is 6 dB. A receiver that measures in dB relative to S9 (Hamlib's
// strength) and one that models dBm (the simulation) give the same reading
// for the same signal.
inline constexpr int32_t s9Dbm = -73;
inline constexpr int32_t dbPerSUnit = 6;

// What an RxSMtUpdated carries besides the frequency: the level in dBm, the
// dB over S9 (0 at or below S9) and the text the meter shows.
struct Reading {
    int16_t dBm = 0;
    int16_t overS9 = 0;
    QString text;
};

// "S0".."S9", "S9+10": a level between two S units shows the lower one.
inline QString text(int32_t overS9) {
    if (overS9 > 0) {
        return QStringLiteral("S9+%1").arg(overS9);
    }
    const int64_t below = -int64_t{overS9};
    const int64_t units = std::max<int64_t>(0, 9 - (below + dbPerSUnit - 1) / dbPerSUnit);
    return QStringLiteral("S%1").arg(units);
}

inline Reading fromDbm(int32_t dBm) {
    const int64_t over = int64_t{dBm} - s9Dbm;
    return {receiver::saturate<int16_t>(dBm),
            receiver::saturate<int16_t>(std::max<int64_t>(0, over)),
            text(receiver::saturate<int32_t>(over))};
}

inline Reading fromOverS9(int32_t overS9) {
    return fromDbm(receiver::saturate<int32_t>(int64_t{s9Dbm} + overS9));
}

} // namespace corvane::component::smeter

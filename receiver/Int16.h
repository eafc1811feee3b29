#pragma once

#include "receiver/RuntimeError.h"

#include <cstdint>
#include <limits>

namespace corvane::receiver {

// Receiver indices, counts and some codes are 16-bit. These helpers do the
// 16-bit arithmetic the window relies on and raise Overflow exactly where a
// 16-bit integer would.

// A 32-bit value put into 16 bits, the error naming what the value is:
// `what()` gives e.g. "receiver 0, filter 1: bandwidth 40000", built only
// when it does not fit.
template <typename Describe> int16_t toInt16(int32_t value, Describe&& what) {
    if (value < std::numeric_limits<int16_t>::min() ||
        value > std::numeric_limits<int16_t>::max()) {
        throw RuntimeError::overflow(QStringLiteral("%1 does not fit 16 bits").arg(what()));
    }
    return static_cast<int16_t>(value);
}

// The same for a value that needs no more name than itself.
inline int16_t toInt16(int32_t value) {
    return toInt16(value, [value] { return QString::number(value); });
}

// count - 1 in 16-bit arithmetic: the bound of a 0-based loop over a count.
inline int16_t lastOf(int16_t count) {
    if (count == std::numeric_limits<int16_t>::min()) {
        throw RuntimeError::overflow(QStringLiteral("count %1").arg(count));
    }
    return static_cast<int16_t>(count - 1);
}

} // namespace corvane::receiver

#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <limits>
#include <utility>

namespace corvane::receiver {

// `value` in the integer type T, held at T's nearest limit when it does not
// fit: for readings on their way into a narrower field, where the largest
// value says more than a wrapped one. (Values the operator typed are not
// saturated: they overflow with an error, see Int16.h.)
template <std::integral T, std::integral U> constexpr T saturate(U value) {
    if (std::cmp_less(value, std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (std::cmp_greater(value, std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(value);
}

// The same for a floating-point value, rounded half away from zero first;
// NaN gives 0.
template <std::integral T, std::floating_point U> T saturate(U value) {
    if (std::isnan(value)) {
        return 0;
    }
    const U rounded = std::round(value);
    if (rounded <= static_cast<U>(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (rounded >= static_cast<U>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(rounded);
}

} // namespace corvane::receiver

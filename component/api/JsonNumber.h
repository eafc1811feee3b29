#pragma once

#include <QJsonValue>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace corvane::component {

// A JSON number that is a whole number within 32 bits. Checked before the
// conversion: casting a double beyond the range of int is undefined, and a
// file may hold 1e10 as well as 7.
inline std::optional<int32_t> wholeInt32(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < std::numeric_limits<int32_t>::min() ||
        d > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(d);
}

} // namespace corvane::component

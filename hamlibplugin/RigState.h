#pragma once

#include <cstdint>

namespace corvane::hamlibplugin {

// The receiver as last read. -1 (and NaN-free zeros) until read.
struct RigState {
    int32_t freq = -1;
    int32_t rit = 0;
    int32_t mode = -1; // code in RigTables::modes
    int32_t width = -1;
    int32_t bfo = 0;
    int32_t agc = -1;
    int32_t nb = -1;
    int32_t att = -1;
    bool hasStrength = false;
    int strength = 0; // dB relative to S9
    bool operator==(const RigState&) const = default;
};

} // namespace corvane::hamlibplugin

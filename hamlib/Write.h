#pragma once

#include "component/api/ReceiverBackend.h"

#include <cstdint>

namespace corvane::hamlib {

using component::Origin;

// What a write changes. Writes of one kind replace each other until sent.
enum class WriteKind { Freq, Mode, Filter, Agc, NBl, Att, Rit };

struct Write {
    int32_t value = 0;
    int32_t width = 0; // Mode: the passband to ask for
    Origin origin = Origin::Program;
};

} // namespace corvane::hamlib

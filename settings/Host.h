#pragma once

#include "receiver/Component.h"

#include <cstdint>

namespace corvane::settings {

// What the setting lists and entries need of the window that holds them: its
// component instance, the current receiver, and the Driver list's selection
// at this moment (events are matched against that, not against CurRx).
class Host {
public:
    virtual ~Host() = default;
    virtual receiver::Component& receiver() = 0;
    virtual int16_t curRx() const = 0;
    virtual int16_t selectedReceiver() const = 0;
};

} // namespace corvane::settings

#pragma once

#include "component/api/ReceiverBackend.h"

#include <cstdint>
#include <optional>

namespace corvane::hamlibplugin {

using component::Origin;

// What a write changes. Writes of one kind replace each other until sent.
// Sent in this order: the mode goes before the filter, so that a filter is
// checked against the mode it will be used in.
enum class WriteKind { Freq, Mode, Filter, Agc, NBl, Att, Rit };

// The write of one of the four enumerated settings.
constexpr WriteKind writeKindOf(component::Setting setting) {
    switch (setting) {
    case component::Setting::Mode:
        return WriteKind::Mode;
    case component::Setting::Agc:
        return WriteKind::Agc;
    case component::Setting::NBl:
        return WriteKind::NBl;
    case component::Setting::Att:
    default:
        return WriteKind::Att;
    }
}

// The setting a write changes; none for the frequency, filter and RIT.
constexpr std::optional<component::Setting> settingOf(WriteKind kind) {
    for (const auto setting : {component::Setting::Mode, component::Setting::Agc,
                               component::Setting::NBl, component::Setting::Att}) {
        if (writeKindOf(setting) == kind) {
            return setting;
        }
    }
    return std::nullopt;
}

struct Write {
    int32_t value = 0;
    int32_t width = 0; // Mode: the passband to ask for
    Origin origin = Origin::Program;
};

} // namespace corvane::hamlibplugin

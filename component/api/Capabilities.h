#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::component {

// The four enumerated settings that a receiver publishes as name/code tables.
enum class Setting { Mode, Agc, NBl, Att };

// What one receiver offers, as one value: its identity, its limits and its
// tables. A backend makes it whole and hands it over as an immutable shared
// value; when the receiver's tables change (a radio read at open), it hands
// over a new one instead of changing this. Every look-up on the tables is
// written here, once.
//
// Values are taken as they stand: duplicate codes and names, blank names and
// empty tables are all legal. A look-up by code or by name finds the first
// entry that has it.
struct Capabilities {
    // One entry of the AGC, noise-blanker or attenuator table.
    struct Choice {
        QString name;
        int32_t code = 0;
        // False for an entry the receiver lists but cannot be set to now.
        bool available = true;
    };
    struct Filter {
        int32_t width = 0;
        QString name;
    };
    struct Mode {
        QString name;
        int32_t code = 0;
        bool available = true;
        std::vector<Filter> filters;
        // Codes of the AGC entries allowed in this mode; none: all of them.
        std::optional<std::vector<int32_t>> agc;
    };

    QString romId;
    int32_t frqMin = 0;
    int32_t frqMax = 0;
    std::vector<Mode> modes;
    std::vector<Choice> agc;
    std::vector<Choice> nb;
    std::vector<Choice> att;

    // --- the four tables by setting; indices are checked by the caller ---

    int32_t count(Setting setting) const {
        const size_t n = setting == Setting::Mode ? modes.size() : choices(setting).size();
        return static_cast<int32_t>(n);
    }
    QString name(Setting setting, int32_t i) const {
        const auto at = static_cast<size_t>(i);
        return setting == Setting::Mode ? modes[at].name : choices(setting)[at].name;
    }
    int32_t codeAt(Setting setting, int32_t i) const {
        const auto at = static_cast<size_t>(i);
        return setting == Setting::Mode ? modes[at].code : choices(setting)[at].code;
    }
    // Whether entry `i` can be chosen while the mode with code `mode` is in
    // use: listed as available and, for AGC, allowed in that mode.
    bool available(Setting setting, int32_t i, int32_t mode) const {
        const auto at = static_cast<size_t>(i);
        if (setting == Setting::Mode) {
            return modes[at].available;
        }
        const Choice& c = choices(setting)[at];
        return c.available && (setting != Setting::Agc || agcAllowed(mode, c.code));
    }
    // Code of the first entry with exactly that name; -1 for an unknown name.
    int32_t code(Setting setting, const QString& wanted) const {
        const int32_t n = count(setting);
        for (int32_t i = 0; i < n; ++i) {
            if (name(setting, i) == wanted) {
                return codeAt(setting, i);
            }
        }
        return -1;
    }
    // Index of the first entry with that code; -1 when none has it.
    int32_t indexOf(Setting setting, int32_t code) const {
        const int32_t n = count(setting);
        for (int32_t i = 0; i < n; ++i) {
            if (codeAt(setting, i) == code) {
                return i;
            }
        }
        return -1;
    }
    const std::vector<Choice>& choices(Setting setting) const {
        switch (setting) {
        case Setting::Agc:
            return agc;
        case Setting::NBl:
            return nb;
        case Setting::Att:
        default:
            return att;
        }
    }

    // --- modes and what depends on them ---

    // The first mode with that code; null when none has it.
    const Mode* mode(int32_t code) const {
        const int32_t at = indexOf(Setting::Mode, code);
        return at < 0 ? nullptr : &modes[static_cast<size_t>(at)];
    }
    // The filters of the mode with code `mode`; none for an unknown mode.
    const std::vector<Filter>& filters(int32_t mode) const {
        static const std::vector<Filter> none;
        const Mode* m = this->mode(mode);
        return m == nullptr ? none : m->filters;
    }
    // Name of the first filter of that mode with that width; a null text when
    // the mode has no such filter (a filter with a blank name gives an empty,
    // non-null text).
    QString filterName(int32_t mode, int32_t width) const {
        for (const Filter& f : filters(mode)) {
            if (f.width == width) {
                return f.name;
            }
        }
        return {};
    }
    // Whether the AGC entry with code `agcCode` may be used in that mode; an
    // unknown mode, or one that names no AGC codes, allows them all.
    bool agcAllowed(int32_t mode, int32_t agcCode) const {
        const Mode* m = this->mode(mode);
        if (m == nullptr || !m->agc) {
            return true;
        }
        for (const int32_t allowed : *m->agc) {
            if (allowed == agcCode) {
                return true;
            }
        }
        return false;
    }
};

// Handed from a backend to whoever reads it, on any thread: never changed
// once made.
using CapabilitiesPtr = std::shared_ptr<const Capabilities>;

// The value of a receiver that offers nothing: no tables, no limits.
inline const CapabilitiesPtr& noCapabilities() {
    static const CapabilitiesPtr none = std::make_shared<const Capabilities>();
    return none;
}

} // namespace corvane::component

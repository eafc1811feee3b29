#pragma once

// How a Hamlib rig's own tables become the receiver's tables: modes, filters,
// AGC, noise blanker and attenuator as small codes with names, limits, and the
// S-meter text. Everything here that takes a RIG* runs on the rig's worker
// thread; the result is a plain value that the component's thread only reads.

#include "component/api/Capabilities.h"

#include <QString>

#include <hamlib/rig.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace corvane::hamlibplugin {

using component::Capabilities;
using Choice = Capabilities::Choice;
using Filter = Capabilities::Filter;

// Hamlib's side of one mode of the capabilities: what the worker needs to
// set and read it.
struct RigMode {
    rmode_t bits = RIG_MODE_NONE;
    int32_t normalWidth = 0; // what a change to this mode asks for; 0 if none
    bool cw = false;         // the BFO follows the CW pitch
};

// Noise-blanker codes.
enum NoiseBlanker : int32_t { NbOff = 0, NbOne = 1, NbTwo = 2 };
// Each noise blanker with the Hamlib function that switches it on and its
// name; Off is none of them on, and the first one on is the one in use.
struct NoiseBlankerFunc {
    setting_t func;
    NoiseBlanker code;
    const char* name;
};
inline constexpr NoiseBlankerFunc noiseBlankers[] = {{RIG_FUNC_NB, NbOne, "NB"},
                                                     {RIG_FUNC_NB2, NbTwo, "NB2"}};

// What the rig can do, as read once after opening it.
struct RigTables {
    // What the receiver offers. A mode's code is its index in caps.modes;
    // its filters are rising widths, each width once. AGC codes are Hamlib's
    // agc_level_e values, noise-blanker codes NoiseBlanker, attenuator codes
    // the attenuation in dB (0 first). An entry the rig reports but the
    // backend cannot set is not available.
    Capabilities caps;
    std::vector<RigMode> rigModes; // one per mode, in the order of caps.modes
    // The receive ranges in Hz; a set frequency must lie in one of them.
    std::vector<std::pair<double, double>> ranges;
    int32_t maxRit = 0; // 0: no RIT, so no delta-F
    setting_t getLevels = 0;
    setting_t setLevels = 0;
    setting_t getFuncs = 0;
    setting_t setFuncs = 0;
    // Hamlib keeps its own idea of the rig's VFO; reading the VFO refreshes
    // it, so RIG_VFO_CURR stays the one the radio uses. Only where that read
    // is a plain read (Kenwood's IF): Icom's moves the radio to find out.
    bool refreshVfo = false;

    // -1 when the rig's mode is not in the table.
    int32_t modeCode(rmode_t bits) const;
    // Both halves of the mode with that code; null for an unknown code.
    const Capabilities::Mode* mode(int32_t code) const;
    const RigMode* rigMode(int32_t code) const;
    bool tunable(int32_t hz) const;
    static int32_t indexOf(const std::vector<Choice>& list, int32_t code);
};
using RigTablesPtr = std::shared_ptr<const RigTables>;

// Hamlib settings a serial or USB rig gets before the entry's own: a short
// timeout and no retries, so a radio that stops answering is noticed within
// a second instead of after Hamlib's retries.
std::vector<std::pair<QString, QString>> lineDefaults(const rig_caps* caps);

// The ROM identification: make and model first, then what the rig says of
// itself; for the dummy rig and rigctld, what they say.
QString romIdOf(const rig_caps* caps, const QString& info);

// Reads the tables of an opened rig (its state holds what a rigctld daemon
// reported, caps what the backend declares).
RigTables readTables(RIG* rig);

// The filters of one mode from a Hamlib filter list (ending at RIG_FLT_END):
// those that apply to `mode`, without RIG_FLT_ANY and widths past 16 bits,
// each width once, rising. Named "Narrow", "Normal", "Wide" where the width
// is the rig's passband of that name, else by the width ("2400 Hz").
std::vector<Filter> filtersFor(const filter_list* list, size_t size, rmode_t mode, pbwidth_t narrow,
                               pbwidth_t normal, pbwidth_t wide);

// The AGC table from a caps list of `count` levels; the common four when the
// rig lists none. Each level once, in the rig's order.
std::vector<Choice> agcChoices(const agc_level_e* levels, int count);

// Attenuator table: 0 dB and then each step of the 0-ended list once.
std::vector<Choice> attenuatorChoices(const int* steps, size_t size);

// A Hamlib frequency in the 32-bit range the component passes on, rounded.
int32_t clampHz(double hz);

// Hamlib's error text without its line end, e.g. "Communication timed out".
QString errorText(int code);

// True for the errors that mean the link is gone (after a second timeout for
// RIG_ETIMEOUT), as opposed to a value or feature the rig refuses.
bool linkError(int code);
// True for "this rig has no such feature".
bool missingFeature(int code);

} // namespace corvane::hamlibplugin

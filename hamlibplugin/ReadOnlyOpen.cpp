#include "hamlibplugin/ReadOnlyOpen.h"

#include "hamlibplugin/KenwoodDialect.h"

#include <ctime>

// Exported by libhamlib 4.5.4 but declared only in its internal cache.h.
extern "C" {
int rig_set_cache_freq(RIG* rig, vfo_t vfo, freq_t freq);
int rig_set_cache_mode(RIG* rig, vfo_t vfo, rmode_t mode, pbwidth_t width);
}

namespace corvane::hamlibplugin {

namespace {

// Long enough for any open, however slow the line; lifted right after it.
constexpr int holdSeconds = 1000000000;
// How long the seeded answers hold during the open.
constexpr int seededMs = 60000;

} // namespace

void holdOpenToReads(RIG* rig) {
    // Hamlib counts as twiddling only with a frequency it has seen; any will do.
    rig->state.twiddle_timeout = holdSeconds;
    rig->state.twiddle_time = std::time(nullptr);
    rig->state.current_freq = 1;
    // The open's reads of VFO B's frequency and of VFO A's mode, which it would
    // switch VFOs for, are answered from these instead. The values are never
    // shown: every read after the open goes to the radio.
    rig_set_cache_timeout_ms(rig, HAMLIB_CACHE_ALL, seededMs);
    rig_set_cache_freq(rig, RIG_VFO_B, 1);
    rig_set_cache_mode(rig, RIG_VFO_A, RIG_MODE_USB, RIG_PASSBAND_NORMAL);
    skipKenwoodOpen(rig);
}

void releaseAfterOpen(RIG* rig) {
    rig_set_twiddle(rig, 0);
    rig->state.twiddle_time = 0;
    // Hamlib 4.5 answers a get of the mode from its cache after a set, with
    // the old passband; every read here must reach the rig.
    rig_set_cache_timeout_ms(rig, HAMLIB_CACHE_ALL, 0);
}

} // namespace corvane::hamlibplugin

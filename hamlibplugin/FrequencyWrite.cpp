// A frequency set with no read that the exchange does not need: before it,
// and after it where the radio or Hamlib already says what it holds.
#include "hamlibplugin/HamlibWorker.h"

// Exported by libhamlib 4.5.4 but declared only in its internal cache.h.
extern "C" int rig_set_cache_freq(RIG* rig, vfo_t vfo, freq_t freq);

namespace corvane::hamlibplugin {

namespace {

// How long our own reading answers Hamlib's look at the frequency inside one
// set of it: far longer than the set takes, gone right after.
constexpr int seededFreqMs = 60000;

// Icom's CI-V answers every set with OK or NG, and Hamlib's Icom backends
// turn NG into an error: a frequency set that succeeded is what the radio
// holds. Kenwood radios answer nothing to a set (Hamlib's ID check after it
// passes even when the radio said "?;"), and rigctld only relays what its own
// backend said: there the frequency is read back.
bool acknowledgesSets(rig_model_t model) {
    return RIG_BACKEND_NUM(model) == RIG_ICOM;
}

} // namespace

bool HamlibWorker::setFrequency(int32_t hz) {
    if (dialectCovers(WriteKind::Freq)) {
        // The radio's own command: nothing read before it, and Hamlib has
        // read nothing after it either.
        const int r =
            m_dialect->write(m_rig, *m_tables, WriteKind::Freq, Write{.value = hz}, m_state);
        if (!finishWrite(r)) {
            return false;
        }
        if (r == RIG_OK && acknowledgesSets(m_settings.model)) {
            m_state.freq = hz;
            m_acknowledged = true;
        }
        return true;
    }
    // Hamlib's Icom and Kenwood sets read the frequency before writing it
    // (with the cache off, from the radio), only to skip a set to where the
    // radio already is. The last reading answers that instead; it differs
    // from `hz` (apply() left the equal case out), so the set is always sent.
    const bool seeded = m_state.freq > 0;
    if (seeded) {
        rig_set_cache_timeout_ms(m_rig, HAMLIB_CACHE_ALL, seededFreqMs);
        rig_set_cache_freq(m_rig, RIG_VFO_CURR, m_state.freq);
    }
    const int r = rig_set_freq(m_rig, RIG_VFO_CURR, static_cast<freq_t>(hz));
    if (seeded) {
        // Every other read goes to the radio again.
        rig_set_cache_timeout_ms(m_rig, HAMLIB_CACHE_ALL, 0);
    }
    if (!finishWrite(r)) {
        return false;
    }
    if (r != RIG_OK) {
        return true;
    }
    if (acknowledgesSets(m_settings.model)) {
        m_state.freq = hz;
        m_acknowledged = true;
    } else if (hz % 100 != 0 || hz > 100000000) {
        // Hamlib 4.5 reads such a frequency back itself (its set fails when
        // the read does) and keeps what it read as the current frequency.
        m_state.freq = clampHz(m_rig->state.current_freq);
        m_acknowledged = true;
    }
    return true;
}

} // namespace corvane::hamlibplugin

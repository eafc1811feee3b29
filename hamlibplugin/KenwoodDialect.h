#pragma once

#include "hamlibplugin/ModelDialect.h"

namespace corvane::hamlibplugin {

// The TS-2000 and TS-590SG in their own CAT commands: every mode (CW-R and
// FSK-R too), the filters of the mode in use (the high-cut positions of SH
// on SSB, AM and FM, the widths of FW on CW and FSK) and the AGC time
// constant of GT (off and 1..20, in the radio's own digits); on the TS-590SG
// also its attenuator (RA) and both noise blankers (NB1, NB2). Hamlib 4.5.4
// ignores the width on these radios, writes GT at 84 times a level and reads
// the TS-590SG's GT and RA answers as protocol errors.
std::unique_ptr<ModelDialect> kenwoodDialect(rig_model_t model);

// Before rig_open: Hamlib's Kenwood open reads the radio's auto-information
// state and, when it is on, writes AI0 (and AI1 again at close). For these
// models the handle gets caps whose backend open is left out, so that the
// open only reads (IF, FA); the radio's AI stays as it is. No-op for
// other models.
void skipKenwoodOpen(RIG* rig);

} // namespace corvane::hamlibplugin

#pragma once

#include "hamlibplugin/HamlibMapping.h"
#include "hamlibplugin/RigState.h"
#include "hamlibplugin/Write.h"

#include <hamlib/rig.h>

#include <memory>
#include <optional>

namespace corvane::hamlibplugin {

// Where Hamlib 4.5.4 maps a radio's setting wrongly (an IC-7300's filter
// choice that reprograms the stored width, a TS-2000's AGC written at 84
// times the level), the worker speaks to that model in its own documented
// commands, through rig_send_raw, instead of withholding the setting. A
// dialect covers some settings of one model; everything else still goes
// through Hamlib's own calls.
//
// One dialect per open rig, made after rig_open and used only on the rig's
// worker thread.
class ModelDialect {
public:
    ModelDialect() = default;
    virtual ~ModelDialect() = default;
    ModelDialect(const ModelDialect&) = delete;
    ModelDialect& operator=(const ModelDialect&) = delete;

    // Puts the model's own tables over what Hamlib declares: its filters per
    // mode, its AGC choices. Called once per open, after readTables().
    virtual void correctTables(RigTables& tables) = 0;

    // Whether the dialect reads and writes what `kind` changes. Mode and
    // Filter go together: a dialect that covers one covers both. Freq is
    // the write alone (where Hamlib's set is slow); it is read through Hamlib.
    virtual bool covers(WriteKind kind) const = 0;

    // Reads what `kind` touches into `state` (for Mode and Filter: the mode
    // code and the filter's width; the BFO stays the worker's). Returns a
    // Hamlib result; on an error `state` is left as it was.
    virtual int read(RIG* rig, const RigTables& tables, WriteKind kind, RigState& state) = 0;

    // Writes `w` (a code of the tables; a width for Filter). `state` is the
    // rig as last read. Returns a Hamlib result: -RIG_ERJCTED when the radio
    // said no.
    virtual int write(RIG* rig, const RigTables& tables, WriteKind kind, const Write& w,
                      const RigState& state) = 0;

    // The tables as they stand after what the last read learnt (the width
    // the radio reported for one of its filters); none when nothing changed
    // since the last call.
    virtual std::optional<RigTables> changedTables() { return std::nullopt; }
};

// The dialect for a model; null where Hamlib's own calls do right.
std::unique_ptr<ModelDialect> dialectFor(rig_model_t model);

} // namespace corvane::hamlibplugin

#pragma once

#include "component/api/ReceiverBackend.h"
#include "hamlib/HamlibMapping.h"
#include "hamlib/RigState.h"
#include "hamlib/Write.h"

#include <QtGlobal>

namespace corvane::hamlib {

using component::Origin;

// What the worker tells its backend, tagged with the session (one connect)
// it belongs to. Opened comes only once the rig has given a valid answer on the new link;
// Refused is a write, or a read, the rig would not do.
struct Note {
    enum class Kind { Opened, Published, Lost, Refused };
    Kind kind = Kind::Published;
    quint64 session = 0;
    RigTablesPtr tables; // Opened
    RigState state;      // Published
    Origin origin = Origin::Receiver;
    int err = 0; // Lost, Refused
    // Refused: the write, and whether the rig was read after it (then
    // `state` is what it holds, to be reported as it stands).
    WriteKind what = WriteKind::Freq;
    bool reread = false;
};

} // namespace corvane::hamlib

#pragma once

#include "component/ReceiverBackend.h"
#include "hamlib/HamlibMapping.h"
#include "hamlib/RigState.h"

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
};

} // namespace corvane::hamlib

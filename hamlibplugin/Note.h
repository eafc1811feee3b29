#pragma once

#include "component/api/ReceiverBackend.h"
#include "hamlibplugin/HamlibMapping.h"
#include "hamlibplugin/RigState.h"
#include "hamlibplugin/Write.h"

#include <QtGlobal>

#include <utility>

namespace corvane::hamlibplugin {

using component::Origin;

// What the worker tells its backend, tagged with the session (one connect)
// it belongs to (set when it is said). Made with the constructor of its kind.
struct Note {
    enum class Kind { Opened, Tables, Published, Lost, Refused };

    // The rig has given a valid answer on a new link; these are its tables.
    static Note opened(RigTablesPtr tables) {
        Note n;
        n.kind = Kind::Opened;
        n.tables = std::move(tables);
        return n;
    }
    // The rig's tables changed on a live link (a filter's width read from the
    // radio); said before the state that uses them.
    static Note changedTables(RigTablesPtr tables) {
        Note n;
        n.kind = Kind::Tables;
        n.tables = std::move(tables);
        return n;
    }
    // The rig as read now; `origin` caused what changed.
    static Note published(const RigState& state, Origin origin) {
        Note n;
        n.kind = Kind::Published;
        n.state = state;
        n.origin = origin;
        return n;
    }
    // The link is gone, or could not be made, with that Hamlib error.
    static Note lost(int err) {
        Note n;
        n.kind = Kind::Lost;
        n.err = err;
        return n;
    }
    // A read, or a write whose link then broke, the rig would not do.
    static Note refused(int err) {
        Note n;
        n.kind = Kind::Refused;
        n.err = err;
        return n;
    }
    // A write the rig would not do, read back after it: `state` is what the
    // rig holds, to be reported as it stands.
    static Note refusedWrite(WriteKind what, int err, const RigState& state, Origin origin) {
        Note n;
        n.kind = Kind::Refused;
        n.what = what;
        n.err = err;
        n.state = state;
        n.origin = origin;
        n.reread = true;
        return n;
    }

    Kind kind = Kind::Published;
    quint64 session = 0;
    RigTablesPtr tables; // Opened, Tables
    RigState state;      // Published; Refused after a read-back
    Origin origin = Origin::Receiver;
    int err = 0; // Lost, Refused
    // Refused: the write, and whether the rig was read after it.
    WriteKind what = WriteKind::Freq;
    bool reread = false;
};

} // namespace corvane::hamlibplugin

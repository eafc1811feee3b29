#pragma once

#include <hamlib/rig.h>

#include <QString>

#include <utility>
#include <vector>

namespace corvane::hamlibplugin {

// How to reach one rig.
struct LinkSettings {
    rig_model_t model = RIG_MODEL_DUMMY;
    QString pathname; // device, or "host:port" for rigctld
    int speed = 0;    // 0: the backend's default
    // Further rig_set_conf settings, applied in order after the ones above.
    std::vector<std::pair<QString, QString>> conf;
    // One call waits at most this long before it counts as a timeout. A link
    // on which nothing valid has come back for twice this
    // (every call timed out or was refused) is lost.
    int timeoutMs = 1000;
    int fastPollMs = 300; // frequency and S-meter
    int slowEvery = 5;    // the other settings every this many fast polls
};

// Hands the link settings to a rig made with rig_init (port, speed, the
// further settings); a Hamlib error code, RIG_OK when all were taken.
int configure(RIG* rig, const LinkSettings& settings);

} // namespace corvane::hamlibplugin

#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace corvane::component {

// Hamlib's network model (RIG_MODEL_NETRIGCTL), which a "rigctld" entry
// stands for. Written out here because the component does not see Hamlib's
// headers; the Hamlib plugin checks that the two agree.
constexpr int netRigctlModel = 2;

// A driver entry of kind "hamlib" or "rigctld" as far as it can be read
// without Hamlib: every key has the right type and range. Whether Hamlib
// knows the model is for the Hamlib plugin to say.
struct HamlibEntry {
    QString name;        // the driver's name, for messages
    bool daemon = false; // kind "rigctld"
    int model = 0;       // Hamlib model number; netRigctlModel for a daemon
    QString pathname;    // device, or "host:port" for rigctld
    int speed = 0;       // serial speed in baud; 0: the backend's default
    // rig_set_conf settings as name and text, in the order they are applied:
    // a daemon's defaults first, then the entry's own "conf".
    std::vector<std::pair<QString, QString>> conf;
};

} // namespace corvane::component

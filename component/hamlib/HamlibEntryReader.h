#pragma once

#include "component/api/HamlibEntry.h"

#include <QJsonObject>

namespace corvane::component {

// Reads {"kind": "hamlib", "model": 1, "port": "/dev/ttyUSB0", "speed": 9600,
// "conf": {...}} or {"kind": "rigctld", "host": "...", "port": 4532,
// "conf": {...}}; throws RuntimeError saying what is wrong with it.
// Any thread; pure.
HamlibEntry readHamlibEntry(const QJsonObject& entry);

} // namespace corvane::component

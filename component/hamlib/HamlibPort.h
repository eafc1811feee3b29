#pragma once

#include "component/api/HamlibEntry.h"

#include <QString>

#include <optional>

namespace corvane::component {

// Why the device of a "hamlib" entry cannot be a radio's port, as a sentence
// that names the driver and the port; nothing when it may be one. Refused:
// a path with control characters, anything there that is not a character
// device, the memory devices (/dev/null, /dev/zero...), the terminals that
// are not lines to a radio (/dev/tty, /dev/console, /dev/ptmx) and the
// terminal the program itself runs in. Not refused: a path where nothing is
// yet (a USB adapter plugged in later, or a network model's host:port, which
// Hamlib judges), no port at all (Hamlib's default for the model), and any
// other terminal, pseudo-terminals included. A "rigctld" entry has no device.
//
// Any thread; looks at the path (stat) without opening it.
std::optional<QString> radioPortProblem(const HamlibEntry& entry);

} // namespace corvane::component

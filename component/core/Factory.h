#pragma once

#include "receiver/Component.h"

#include <memory>

namespace corvane::component {

// The component as the program uses it: real time, the user's configuration
// folder, dialogs shown modally, the trace named by CORVANE_TRACE.
std::unique_ptr<receiver::Component> makeComponent();

} // namespace corvane::component

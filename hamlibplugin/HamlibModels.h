#pragma once

#include "component/api/HamlibSupport.h"
#include "hamlibplugin/LinkSettings.h"

#include <vector>

namespace corvane::hamlibplugin {

// Every model of every Hamlib backend, by manufacturer and then name. Any
// thread but the window's: walking every backend's table takes a while.
std::vector<component::HamlibModel> listModels();

// Opens the rig once, reads what identifies it and closes it again; a line
// for the operator. Any thread but the window's: blocks for up to the link's
// timeout.
QString testLink(const LinkSettings& settings);

} // namespace corvane::hamlibplugin

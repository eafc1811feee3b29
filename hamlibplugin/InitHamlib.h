#pragma once

namespace corvane::hamlibplugin {

// Loads Hamlib's backends, quiets its log and fixes LC_NUMERIC, once per
// process, before the first rig is made. The first call on the component's
// thread (the plugin makes it as it is loaded); later ones, any thread.
void initHamlib();

} // namespace corvane::hamlibplugin

#pragma once

// Finding and loading the Hamlib plugin; see component/api/HamlibSupport.h
// for what it offers once loaded.

#include "component/api/HamlibSupport.h"

#include <QString>
#include <QStringList>

namespace corvane::component {

// The plugin as loaded: its HamlibSupport, or why it could not be loaded.
struct HamlibPlugin {
    HamlibSupport* support = nullptr;
    QString problem;
};

// Component's thread: loads the plugin on the first call (Hamlib sets up its
// process-wide state then, which must not race the window's thread) and
// answers from memory after that.
const HamlibPlugin& hamlibPlugin();
// The first of `candidates` that loads, every time it is called; the
// reasons of all of them when none does. A file is loaded only when nobody
// but root or this program's user can have changed it or its folder, and
// its entry point is called only when it is a function of that file; what
// it gives is checked before anything of it is used. Component's thread.
HamlibPlugin loadHamlibPlugin(const QStringList& candidates);

// Any thread: the plugin's file in each directory it is looked for, in order:
// only $CORVANE_PLUGIN_DIR when that is set, else the installed place beside
// the executable and then this build's own.
QStringList hamlibPluginCandidates();
// Any thread: the same for a given executable folder and override; this
// build's own plugin is a candidate only for an executable inside this build.
QStringList hamlibPluginCandidates(const QString& executableDir, const QString& override);

} // namespace corvane::component

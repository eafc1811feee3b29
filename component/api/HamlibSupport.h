#pragma once

// What the Hamlib plugin (libcorvane_hamlib.so, the only part of the program
// that links Hamlib) offers the component. The plugin is loaded when a Hamlib
// receiver is first used or the Hamlib part of the driver dialog is shown, so
// a program that never touches one does not pay for Hamlib's tables.
//
// Plugin and component come from the same build; the exported symbol's name
// carries the version of this interface, so a stray older plugin is refused
// as "undefined symbol" rather than misread.

#include "component/api/HamlibEntry.h"
#include "component/api/ReceiverBackend.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane::component {

// One rig model that Hamlib can drive.
struct HamlibModel {
    int model = 0;
    QString manufacturer;
    QString name;
    QString version;
    QString status; // "Stable", "Beta"...

    // "Icom IC-7300 (3073)": what the model list shows and is searched by.
    QString label() const {
        return QStringLiteral("%1 %2 (%3)").arg(manufacturer, name).arg(model);
    }
};

class HamlibSupport {
public:
    // A backend, or why Hamlib cannot drive the entry.
    struct Made {
        std::unique_ptr<ReceiverBackend> backend;
        QString problem;
    };

    // Component's thread: the receiver of an entry (not yet connected), or the
    // reason it cannot be made (a model Hamlib does not know). No I/O.
    virtual Made create(const HamlibEntry& entry, BackendSink& sink) = 0;
    // Any thread but the window's (reads every backend's models): Hamlib's
    // models by manufacturer and then name.
    virtual std::vector<HamlibModel> listModels() = 0;
    // Any thread but the window's (blocks up to the link's timeout): opens the
    // rig once, reads what identifies it, closes it; a line for the operator.
    virtual QString testLink(const HamlibEntry& entry) = 0;

protected:
    virtual ~HamlibSupport() = default;
};

// The plugin's one exported function (extern "C", by this name) and its type:
// the plugin's HamlibSupport, which lives as long as the process.
inline constexpr char hamlibSupportSymbol[] = "corvane_hamlib_support_v2";

// What the exported function gives: a plain record the loader checks before
// it calls anything of the plugin's, so that a library that merely exports
// the name, or one built from other sources, is refused saying what it gave.
struct HamlibPluginEntry {
    uint32_t magic; // hamlibPluginMagic
    uint32_t size;  // sizeof(HamlibPluginEntry) as the plugin was built
    HamlibSupport* support;
};
inline constexpr uint32_t hamlibPluginMagic = 0x4356484c; // "CVHL"
using HamlibSupportFunction = const HamlibPluginEntry* (*)();

} // namespace corvane::component

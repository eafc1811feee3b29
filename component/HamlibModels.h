#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace corvane::component::hamlib {

// One rig model that Hamlib can drive.
struct ModelInfo {
    int model = 0;
    QString manufacturer;
    QString name;
    QString version;
    QString status; // "Stable", "Beta"...

    // "Icom IC-7300 (3073)": what the model list shows and is searched by.
    QString label() const;
};

// Every model of every Hamlib backend, by manufacturer and then name. Loads
// the backends first if need be, which takes a while: call it off the window's
// thread.
std::vector<ModelInfo> listModels();

// The same list, read once per process on a thread of its own that the first
// call starts; null until it is there. Never waits.
std::shared_ptr<const std::vector<ModelInfo>> modelsWhenReady();

} // namespace corvane::component::hamlib

#include "hamlibplugin/ModelDialect.h"

namespace corvane::hamlibplugin {

std::unique_ptr<ModelDialect> dialectFor(rig_model_t model) {
    switch (model) {
    default:
        return nullptr;
    }
}

} // namespace corvane::hamlibplugin

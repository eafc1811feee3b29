#include "hamlibplugin/ModelDialect.h"

#include "hamlibplugin/IcomDialect.h"
#include "hamlibplugin/KenwoodDialect.h"

namespace corvane::hamlibplugin {

std::unique_ptr<ModelDialect> dialectFor(rig_model_t model) {
    switch (model) {
    case RIG_MODEL_ICR75:
    case RIG_MODEL_IC7300:
        return std::make_unique<IcomDialect>(model);
    case RIG_MODEL_TS2000:
    case RIG_MODEL_TS590SG:
        return kenwoodDialect(model);
    default:
        return nullptr;
    }
}

} // namespace corvane::hamlibplugin

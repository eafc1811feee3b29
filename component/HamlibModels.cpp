#include "component/HamlibModels.h"

#include "component/HamlibWorker.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace corvane::component::hamlib {

QString ModelInfo::label() const {
    return QStringLiteral("%1 %2 (%3)").arg(manufacturer, name).arg(model);
}

std::vector<ModelInfo> listModels() {
    initHamlib();
    std::vector<ModelInfo> out;
    rig_list_foreach(
        [](const rig_caps* caps, rig_ptr_t data) {
            auto* list = static_cast<std::vector<ModelInfo>*>(data);
            list->push_back({static_cast<int>(caps->rig_model),
                             QString::fromUtf8(caps->mfg_name).trimmed(),
                             QString::fromUtf8(caps->model_name).trimmed(),
                             QString::fromUtf8(caps->version).trimmed(),
                             QString::fromLatin1(rig_strstatus(caps->status))});
            return 1; // go on
        },
        &out);
    std::sort(out.begin(), out.end(), [](const ModelInfo& a, const ModelInfo& b) {
        const int byMaker = QString::compare(a.manufacturer, b.manufacturer, Qt::CaseInsensitive);
        if (byMaker != 0) {
            return byMaker < 0;
        }
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.model < b.model;
    });
    return out;
}

std::shared_ptr<const std::vector<ModelInfo>> modelsWhenReady() {
    static std::mutex mutex;
    static std::shared_ptr<const std::vector<ModelInfo>> list; // guarded by mutex
    static std::once_flag started;
    std::call_once(started, [] {
        std::thread([] {
            auto read = std::make_shared<const std::vector<ModelInfo>>(listModels());
            std::lock_guard lock(mutex);
            list = std::move(read);
        }).detach();
    });
    std::lock_guard lock(mutex);
    return list;
}

} // namespace corvane::component::hamlib

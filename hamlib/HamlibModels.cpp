#include "hamlib/HamlibModels.h"

#include "hamlib/HamlibMapping.h"
#include "hamlib/InitHamlib.h"
#include "hamlib/LinkSettings.h"

#include <algorithm>

namespace corvane::hamlib {

using component::HamlibModel;

std::vector<HamlibModel> listModels() {
    initHamlib();
    std::vector<HamlibModel> out;
    rig_list_foreach(
        [](const rig_caps* caps, rig_ptr_t data) {
            auto* list = static_cast<std::vector<HamlibModel>*>(data);
            list->push_back({static_cast<int>(caps->rig_model),
                             QString::fromUtf8(caps->mfg_name).trimmed(),
                             QString::fromUtf8(caps->model_name).trimmed(),
                             QString::fromUtf8(caps->version).trimmed(),
                             QString::fromLatin1(rig_strstatus(caps->status))});
            return 1; // go on
        },
        &out);
    std::sort(out.begin(), out.end(), [](const HamlibModel& a, const HamlibModel& b) {
        const int byMaker = QString::compare(a.manufacturer, b.manufacturer, Qt::CaseInsensitive);
        if (byMaker != 0) {
            return byMaker < 0;
        }
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.model < b.model;
    });
    return out;
}

QString testLink(const LinkSettings& settings) {
    initHamlib();
    RIG* rig = rig_init(settings.model);
    if (rig == nullptr) {
        return QStringLiteral("Hamlib knows no model %1").arg(settings.model);
    }
    int r = configure(rig, settings);
    if (r == RIG_OK) {
        r = rig_open(rig);
    }
    if (r != RIG_OK) {
        rig_cleanup(rig);
        return QStringLiteral("Failed: %1").arg(errorText(r));
    }
    const QString info = QString::fromUtf8(rig_get_info(rig) ? rig_get_info(rig) : "").trimmed();
    freq_t f = 0;
    r = rig_get_freq(rig, RIG_VFO_CURR, &f);
    rig_close(rig);
    rig_cleanup(rig);
    if (r != RIG_OK) {
        return QStringLiteral("Opened, but reading the frequency failed: %1").arg(errorText(r));
    }
    return QStringLiteral("Connected: %1, %2 Hz")
        .arg(info.isEmpty() ? QStringLiteral("rig") : info)
        .arg(static_cast<qint64>(f));
}

} // namespace corvane::hamlib

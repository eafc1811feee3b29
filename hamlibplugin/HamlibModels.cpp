#include "hamlibplugin/HamlibModels.h"

#include "hamlibplugin/HamlibMapping.h"
#include "hamlibplugin/InitHamlib.h"
#include "hamlibplugin/LinkSettings.h"
#include "hamlibplugin/ReadOnlyOpen.h"

#include <algorithm>

namespace corvane::hamlibplugin {

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

namespace {

// Why a rig did not answer, in the operator's words and with what to check.
QString whyNot(int code, const LinkSettings& settings, const rig_caps* caps) {
    const QString speed = settings.speed > 0 ? QStringLiteral("%1 baud").arg(settings.speed)
                                             : QStringLiteral("its speed");
    switch (std::abs(code)) {
    case RIG_ETIMEOUT:
        return QStringLiteral(
                   "Failed: no answer from %1 within %2 ms: is the radio on, set to %3%4?")
            .arg(settings.pathname)
            .arg(settings.timeoutMs)
            .arg(speed, QString::fromUtf8(caps->mfg_name) == QLatin1String("Icom")
                            ? QStringLiteral(" and to this model's CI-V address")
                            : QString());
    case RIG_EIO:
        return QStringLiteral("Failed: cannot use %1: %2").arg(settings.pathname, errorText(code));
    case RIG_EPROTO:
        return QStringLiteral("Failed: the answer was not understood (%1): another protocol, "
                              "speed or address than %2 at %3?")
            .arg(errorText(code), QString::fromUtf8(caps->model_name), speed);
    case RIG_ERJCTED:
        return QStringLiteral("Failed: the radio refused the command (%1)").arg(errorText(code));
    default:
        return QStringLiteral("Failed: %1").arg(errorText(code));
    }
}

} // namespace

QString testLink(const LinkSettings& settings) {
    initHamlib();
    RIG* rig = rig_init(settings.model);
    if (rig == nullptr) {
        return QStringLiteral("Hamlib knows no model %1").arg(settings.model);
    }
    const rig_caps* caps = rig->caps;
    int r = configure(rig, settings);
    if (r != RIG_OK) {
        rig_cleanup(rig);
        return QStringLiteral("Failed: Hamlib refused a setting: %1").arg(errorText(r));
    }
    // The Test only reads, whatever the radio is used for.
    holdOpenToReads(rig);
    r = rig_open(rig);
    if (r != RIG_OK) {
        rig_cleanup(rig);
        return whyNot(r, settings, caps);
    }
    releaseAfterOpen(rig);
    const char* info = rig_get_info(rig);
    const QString id = romIdOf(caps, QString::fromUtf8(info != nullptr ? info : "").trimmed());
    freq_t f = 0;
    r = rig_get_freq(rig, RIG_VFO_CURR, &f);
    rig_close(rig);
    rig_cleanup(rig);
    if (r != RIG_OK) {
        // Some backends open without an answer (an Icom may be switched off).
        return whyNot(r, settings, caps);
    }
    return QStringLiteral("Connected: %1, %2 Hz").arg(id).arg(static_cast<qint64>(f));
}

} // namespace corvane::hamlibplugin

#include "hamlibplugin/LinkSettings.h"

namespace corvane::hamlibplugin {

int configure(RIG* rig, const LinkSettings& settings) {
    std::vector<std::pair<QString, QString>> conf;
    if (!settings.pathname.isEmpty()) {
        conf.emplace_back(QStringLiteral("rig_pathname"), settings.pathname);
    }
    if (settings.speed > 0) {
        conf.emplace_back(QStringLiteral("serial_speed"), QString::number(settings.speed));
    }
    conf.insert(conf.end(), settings.conf.begin(), settings.conf.end());
    for (const auto& [key, value] : conf) {
        const QByteArray k = key.toUtf8();
        const token_t token = rig_token_lookup(rig, k.constData());
        const int r = token == RIG_CONF_END ? -RIG_ECONF
                                            : rig_set_conf(rig, token, value.toUtf8().constData());
        if (r != RIG_OK) {
            return r;
        }
    }
    return RIG_OK;
}

} // namespace corvane::hamlibplugin
